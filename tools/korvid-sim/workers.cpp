// The worker processes: each runs its share of the machines and writes one
// frame per machine, "POSITION LENGTH\n" and then LENGTH bytes of report.
#include "tools/korvid-sim/workers.h"

#include "tools/korvid-sim/errors.h"
#include "tools/korvid-sim/options.h"

#include "display/miniport_requests.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ksim {

namespace {

struct Worker {
    pid_t pid = -1;
    int fd = -1;
    std::vector<size_t> machines; // positions in the list
    std::string pending;
};

// Largest machines first, each to the least loaded worker: clearing video
// memory at every mode set makes a machine's cost follow its memory size.
std::vector<std::vector<size_t>> share_out(const std::vector<MachineCodes>& machines, size_t n)
{
    std::vector<size_t> order(machines.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return machine_memory(machines[a]) > machine_memory(machines[b]);
    });
    std::vector<std::vector<size_t>> shares(n);
    std::vector<uint64_t> load(n, 0);
    for (size_t i : order) {
        size_t k = size_t(std::min_element(load.begin(), load.end()) - load.begin());
        shares[k].push_back(i);
        load[k] += machine_memory(machines[i]);
    }
    return shares;
}

void write_all(int fd, const std::string& s)
{
    size_t done = 0;
    while (done < s.size()) {
        ssize_t n = ::write(fd, s.data() + done, s.size() - done);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

[[noreturn]] void work(int fd, const std::vector<size_t>& machines, const MachineJob& job)
{
    for (size_t n : machines) {
        std::string report = job(n);
        write_all(fd, std::to_string(n) + " " + std::to_string(report.size()) + "\n" + report);
    }
    ::close(fd);
    ::_exit(0);
}

bool start(Worker& w, const MachineJob& job)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    std::fflush(nullptr);
    w.pid = ::fork();
    if (w.pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (w.pid == 0) {
        ::close(fds[0]);
        work(fds[1], w.machines, job);
    }
    ::close(fds[1]);
    w.fd = fds[0];
    return true;
}

// Moves every complete frame out of the buffer.
void collect(Worker& w, std::map<size_t, std::string>& done)
{
    for (;;) {
        size_t eol = w.pending.find('\n');
        if (eol == std::string::npos)
            return;
        unsigned long position = 0, length = 0;
        if (std::sscanf(w.pending.c_str(), "%lu %lu", &position, &length) != 2)
            return;
        if (w.pending.size() - eol - 1 < length)
            return;
        done[size_t(position)] = w.pending.substr(eol + 1, length);
        w.pending.erase(0, eol + 1 + length);
    }
}

void drain(std::vector<Worker>& workers, std::map<size_t, std::string>& done, size_t total,
           const Progress& progress)
{
    std::vector<pollfd> fds;
    for (Worker& w : workers)
        fds.push_back({w.fd, POLLIN, 0});
    size_t open = workers.size();
    while (open > 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0)
            break;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[65536];
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            workers[i].pending.append(buf, size_t(n));
            size_t before = done.size();
            collect(workers[i], done);
            if (progress && done.size() != before)
                progress(done.size(), total);
        }
    }
}

std::string stopped(int status, const char* noun)
{
    if (WIFSIGNALED(status))
        return "the worker for this " + std::string(noun) + " stopped on signal " +
               std::to_string(WTERMSIG(status));
    return "the worker for this " + std::string(noun) + " stopped with status " +
           std::to_string(WEXITSTATUS(status)) + " before reporting it";
}

std::vector<Worker> start_pool(const std::vector<MachineCodes>& machines, size_t n,
                               const MachineJob& job)
{
    std::vector<Worker> pool;
    for (auto& share : share_out(machines, n)) {
        Worker w;
        w.machines = share;
        if (!start(w, job))
            break;
        pool.push_back(w);
    }
    if (pool.size() != n) { // no processes to be had: the caller falls back to its own
        for (Worker& w : pool) {
            ::close(w.fd);
            ::waitpid(w.pid, nullptr, 0);
        }
        pool.clear();
    }
    return pool;
}

} // namespace

void fill_defaults(std::vector<MachineCodes>& machines, int& workers)
{
    if (machines.empty())
        for (uint32_t c = 0; c <= kMaxConfigCode; ++c)
            machines.push_back({c});
    if (!workers)
        workers = int(std::clamp<long>(::sysconf(_SC_NPROCESSORS_ONLN), 1, kMaxWorkers));
}

Progress terminal_progress(bool wanted, const char* command, const std::string& noun)
{
    if (!wanted || !::isatty(STDERR_FILENO))
        return {};
    return [command, noun](size_t done, size_t total) {
        std::fprintf(stderr, "\r%s: %zu of %zu %s done", command, done, total, noun.c_str());
        if (done == total)
            std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    };
}

WorkerRun run_workers(const std::vector<MachineCodes>& machines, int workers, const MachineJob& job,
                      const Progress& progress)
{
    WorkerRun run;
    size_t n =
        std::clamp<size_t>(size_t(std::max(workers, 1)), 1, std::max<size_t>(machines.size(), 1));
    std::vector<Worker> pool;
    if (n > 1)
        pool = start_pool(machines, n, job);
    if (pool.empty()) {
        run.workers = 1;
        for (size_t i = 0; i < machines.size(); ++i) {
            run.reports[i] = job(i);
            if (progress)
                progress(run.reports.size(), machines.size());
        }
        return run;
    }
    drain(pool, run.reports, machines.size(), progress);
    const char* noun = any_several(machines) ? "machine" : "code";
    for (Worker& w : pool) {
        int status = 0;
        ::waitpid(w.pid, &status, 0);
        for (size_t i : w.machines)
            if (!run.reports.count(i))
                run.lost[i] = stopped(status, noun);
    }
    run.workers = int(n);
    return run;
}

bool take_machine_or_jobs(const std::vector<std::string>& args, size_t& i,
                          std::vector<MachineCodes>& machines, int& workers)
{
    const std::string& a = args[i];
    if (a == "--jobs") {
        auto n = i + 1 < args.size() ? sim::parse_number(args[++i]) : std::nullopt;
        if (!n || *n == 0 || *n > kMaxWorkers)
            throw UsageError("--jobs takes 1 to " + std::to_string(kMaxWorkers));
        workers = int(*n);
        return true;
    }
    if (a == "--machine") {
        if (i + 1 >= args.size())
            throw UsageError("--machine needs configuration codes joined by commas, e.g. "
                             "--machine 0x13,0x00");
        machines.push_back(parse_machine(args[++i]));
        return true;
    }
    return false;
}

} // namespace ksim
