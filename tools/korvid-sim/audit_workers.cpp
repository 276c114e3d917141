// Runs the audit in several processes: the miniport's globals and the video
// port stand-in belong to one machine per process, so parallel machines need
// processes of their own. Each worker reports its codes over a pipe.
#include "audit.h"

#include "sim/board.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>

namespace ksim {

namespace {

constexpr const char* kEndOfRecord = "E\n";

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

[[noreturn]] void work(int fd, const std::vector<uint32_t>& codes, const sim::DriverImage& driver)
{
    for (uint32_t code : codes)
        write_all(fd, serialize(audit_config(code, driver)));
    ::close(fd);
    ::_exit(0);
}

bool start(Worker& w, const sim::DriverImage& driver)
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
        work(fds[1], w.codes, driver);
    }
    ::close(fds[1]);
    w.fd = fds[0];
    return true;
}

// Moves every complete record (each ends with a line "E") out of the buffer.
void collect(Worker& w, std::map<uint32_t, ConfigAudit>& done)
{
    const std::string end = std::string("\n") + kEndOfRecord;
    for (size_t at; (at = w.pending.find(end)) != std::string::npos;) {
        size_t cut = at + end.size();
        if (auto a = deserialize(w.pending.substr(0, cut)))
            done[a->code] = *a;
        w.pending.erase(0, cut);
    }
}

void drain(std::vector<Worker>& workers, std::map<uint32_t, ConfigAudit>& done, size_t total,
           const std::function<void(size_t, size_t)>& progress)
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
            char buf[8192];
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
        return "the worker auditing this code stopped on signal " +
               std::to_string(WTERMSIG(status));
    return "the worker auditing this code stopped with status " +
           std::to_string(WEXITSTATUS(status)) + " before reporting it";
}

} // namespace

AuditRun run_audit(const std::vector<uint32_t>& codes, const sim::DriverImage& driver, int workers,
                   const std::function<void(size_t, size_t)>& progress)
{
    auto t0 = std::chrono::steady_clock::now();
    AuditRun run;
    size_t n =
        std::clamp<size_t>(size_t(std::max(workers, 1)), 1, std::max<size_t>(codes.size(), 1));
    std::map<uint32_t, ConfigAudit> done;
    std::vector<Worker> pool;
    if (n > 1) {
        auto shares = share_out(codes, n);
        for (auto& share : shares) {
            Worker w;
            w.codes = share;
            if (!start(w, driver))
                break;
            pool.push_back(w);
        }
        if (pool.size() != n) { // no processes to be had: fall back to this one
            for (Worker& w : pool) {
                ::close(w.fd);
                ::waitpid(w.pid, nullptr, 0);
            }
            pool.clear();
        }
    }
    if (pool.empty()) {
        n = 1;
        for (uint32_t code : codes) {
            done[code] = audit_config(code, driver);
            if (progress)
                progress(done.size(), codes.size());
        }
    } else {
        drain(pool, done, codes.size(), progress);
        for (Worker& w : pool) {
            int status = 0;
            ::waitpid(w.pid, &status, 0);
            for (uint32_t code : w.codes)
                if (!done.count(code)) {
                    done[code].code = code;
                    done[code].error = stopped(status);
                }
        }
    }
    for (uint32_t code : codes)
        run.configs.push_back(done[code]);
    run.workers = int(n);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return run;
}

std::string serialize(const ConfigAudit& a)
{
    std::ostringstream out;
    out.precision(17);
    out << "C " << a.code << ' ' << (a.memory_type.empty() ? "-" : a.memory_type) << ' '
        << a.memory_bytes << ' ' << a.valid_rows << ' ' << a.reported_all_virtual << ' '
        << a.reported_single << '\n';
    for (const RowMismatch& m : a.mismatches) {
        out << "M " << m.index << ' ' << m.mode << '\n';
        for (const FieldDifference& d : m.differences)
            out << "D " << d.field << ' ' << d.table << ' ' << d.decoded << '\n';
    }
    for (const RefreshOff& r : a.refresh_off)
        out << "R " << r.index << ' ' << r.mode << ' ' << r.frequency << ' ' << r.refresh_hz
            << '\n';
    if (!a.error.empty())
        out << "X " << a.error << '\n';
    out << kEndOfRecord;
    return out.str();
}

std::optional<ConfigAudit> deserialize(const std::string& text)
{
    std::istringstream in(text);
    ConfigAudit a;
    bool header = false;
    for (std::string line; std::getline(in, line);) {
        std::istringstream l(line);
        std::string tag;
        l >> tag;
        if (tag == "C") {
            l >> a.code >> a.memory_type >> a.memory_bytes >> a.valid_rows >>
                a.reported_all_virtual >> a.reported_single;
            if (a.memory_type == "-")
                a.memory_type.clear();
            header = bool(l);
        } else if (tag == "M") {
            RowMismatch m;
            l >> m.index >> m.mode;
            a.mismatches.push_back(m);
        } else if (tag == "D" && !a.mismatches.empty()) {
            FieldDifference d;
            l >> d.field >> d.table >> d.decoded;
            a.mismatches.back().differences.push_back(d);
        } else if (tag == "R") {
            RefreshOff r;
            l >> r.index >> r.mode >> r.frequency >> r.refresh_hz;
            a.refresh_off.push_back(r);
        } else if (tag == "X") {
            a.error = line.size() > 2 ? line.substr(2) : "";
        }
    }
    if (!header)
        return std::nullopt;
    return a;
}

} // namespace ksim
