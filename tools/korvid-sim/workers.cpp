// The worker processes: each runs its share of the codes and writes one
// frame per code, "CODE LENGTH\n" and then LENGTH bytes of report.
#include "workers.h"

#include "options.h"

#include "sim/machine/board.h"

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
    std::vector<uint32_t> codes;
    std::string pending;
};

// Largest boards first, each to the least loaded worker: clearing video
// memory at every mode set makes a code's cost follow its memory size.
std::vector<std::vector<uint32_t>> share_out(const std::vector<uint32_t>& codes, size_t n)
{
    std::vector<uint32_t> order(codes);
    std::stable_sort(order.begin(), order.end(), [](uint32_t a, uint32_t b) {
        return sim::memory_size_for_code(a) > sim::memory_size_for_code(b);
    });
    std::vector<std::vector<uint32_t>> shares(n);
    std::vector<uint64_t> load(n, 0);
    for (uint32_t code : order) {
        size_t k = size_t(std::min_element(load.begin(), load.end()) - load.begin());
        shares[k].push_back(code);
        load[k] += sim::memory_size_for_code(code);
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

[[noreturn]] void work(int fd, const std::vector<uint32_t>& codes, const CodeJob& job)
{
    for (uint32_t code : codes) {
        std::string report = job(code);
        write_all(fd, std::to_string(code) + " " + std::to_string(report.size()) + "\n" + report);
    }
    ::close(fd);
    ::_exit(0);
}

bool start(Worker& w, const CodeJob& job)
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
        work(fds[1], w.codes, job);
    }
    ::close(fds[1]);
    w.fd = fds[0];
    return true;
}

// Moves every complete frame out of the buffer.
void collect(Worker& w, std::map<uint32_t, std::string>& done)
{
    for (;;) {
        size_t eol = w.pending.find('\n');
        if (eol == std::string::npos)
            return;
        unsigned long code = 0, length = 0;
        if (std::sscanf(w.pending.c_str(), "%lu %lu", &code, &length) != 2)
            return;
        if (w.pending.size() - eol - 1 < length)
            return;
        done[uint32_t(code)] = w.pending.substr(eol + 1, length);
        w.pending.erase(0, eol + 1 + length);
    }
}

void drain(std::vector<Worker>& workers, std::map<uint32_t, std::string>& done, size_t total,
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

std::string stopped(int status)
{
    if (WIFSIGNALED(status))
        return "the worker for this code stopped on signal " + std::to_string(WTERMSIG(status));
    return "the worker for this code stopped with status " + std::to_string(WEXITSTATUS(status)) +
           " before reporting it";
}

std::vector<Worker> start_pool(const std::vector<uint32_t>& codes, size_t n, const CodeJob& job)
{
    std::vector<Worker> pool;
    for (auto& share : share_out(codes, n)) {
        Worker w;
        w.codes = share;
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

void fill_defaults(std::vector<uint32_t>& codes, int& workers)
{
    if (codes.empty())
        for (uint32_t c = 0; c <= kMaxConfigCode; ++c)
            codes.push_back(c);
    if (!workers)
        workers = int(std::clamp<long>(::sysconf(_SC_NPROCESSORS_ONLN), 1, kMaxWorkers));
}

Progress terminal_progress(bool wanted, const char* command)
{
    if (!wanted || !::isatty(STDERR_FILENO))
        return {};
    return [command](size_t done, size_t total) {
        std::fprintf(stderr, "\r%s: %zu of %zu configuration codes done", command, done, total);
        if (done == total)
            std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    };
}

WorkerRun run_workers(const std::vector<uint32_t>& codes, int workers, const CodeJob& job,
                      const Progress& progress)
{
    WorkerRun run;
    size_t n =
        std::clamp<size_t>(size_t(std::max(workers, 1)), 1, std::max<size_t>(codes.size(), 1));
    std::vector<Worker> pool;
    if (n > 1)
        pool = start_pool(codes, n, job);
    if (pool.empty()) {
        run.workers = 1;
        for (uint32_t code : codes) {
            run.reports[code] = job(code);
            if (progress)
                progress(run.reports.size(), codes.size());
        }
        return run;
    }
    drain(pool, run.reports, codes.size(), progress);
    for (Worker& w : pool) {
        int status = 0;
        ::waitpid(w.pid, &status, 0);
        for (uint32_t code : w.codes)
            if (!run.reports.count(code))
                run.lost[code] = stopped(status);
    }
    run.workers = int(n);
    return run;
}

} // namespace ksim
