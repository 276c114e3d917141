// The audit over many codes, each in a worker process, and one code's result
// as lines of text (how workers report) and back.
#include "audit.h"
#include "workers.h"

#include <chrono>
#include <sstream>

namespace ksim {

namespace {
constexpr const char* kEndOfRecord = "E\n";
} // namespace

AuditRun run_audit(const std::vector<uint32_t>& codes, const korvid_host::DriverImage& driver,
                   int workers, const std::function<void(size_t, size_t)>& progress)
{
    auto t0 = std::chrono::steady_clock::now();
    WorkerRun done = run_workers(
        codes, workers, [&](uint32_t code) { return serialize(audit_config(code, driver)); },
        progress);
    AuditRun run;
    for (uint32_t code : codes) {
        ConfigAudit a;
        auto it = done.reports.find(code);
        if (auto back = it == done.reports.end() ? std::nullopt : deserialize(it->second))
            a = *back;
        a.code = code;
        if (done.lost.count(code))
            a.error = done.lost[code];
        run.configs.push_back(a);
    }
    run.workers = done.workers;
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
