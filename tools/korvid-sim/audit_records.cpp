// The audit over many machines, each in a worker process, and one board's
// result as lines of text (how workers report) and back.
#include "tools/korvid-sim/audit.h"
#include "tools/korvid-sim/workers.h"

#include <chrono>
#include <sstream>

namespace ksim {

namespace {

constexpr const char* kEndOfRecord = "E\n";

std::string serialize_all(const std::vector<ConfigAudit>& boards)
{
    std::string out;
    for (const ConfigAudit& a : boards)
        out += serialize(a);
    return out;
}

// A machine whose worker did not report it: one record a board, saying why.
std::vector<ConfigAudit> unreported(const MachineCodes& machine, const std::string& why)
{
    std::vector<ConfigAudit> boards;
    for (size_t b = 0; b < machine.size(); ++b) {
        ConfigAudit a;
        a.code = machine[b];
        a.board = int(b);
        a.error = why;
        boards.push_back(a);
    }
    return boards;
}

} // namespace

AuditRun run_audit(const std::vector<MachineCodes>& machines,
                   const korvid_host::DriverImage& driver, int workers,
                   const std::function<void(size_t, size_t)>& progress)
{
    auto t0 = std::chrono::steady_clock::now();
    WorkerRun done = run_workers(
        machines, workers,
        [&](size_t n) { return serialize_all(audit_machine(machines[n], driver)); }, progress);
    AuditRun run;
    for (size_t n = 0; n < machines.size(); ++n) {
        auto it = done.reports.find(n);
        std::vector<ConfigAudit> boards =
            it == done.reports.end() ? std::vector<ConfigAudit>{} : deserialize_all(it->second);
        if (done.lost.count(n) || boards.size() != machines[n].size())
            boards = unreported(machines[n], done.lost.count(n) ? done.lost[n] : "");
        for (ConfigAudit& a : boards) {
            a.machine = machines[n];
            run.configs.push_back(a);
        }
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
    if (a.machine.size() > 1)
        out << "B " << a.board << ' ' << (a.table.empty() ? "-" : a.table) << '\n';
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
        } else if (tag == "B") {
            l >> a.board >> a.table;
            if (a.table == "-")
                a.table.clear();
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

std::vector<ConfigAudit> deserialize_all(const std::string& text)
{
    std::vector<ConfigAudit> boards;
    std::istringstream in(text);
    std::string record;
    for (std::string line; std::getline(in, line);) {
        record += line + "\n";
        if (line + "\n" == kEndOfRecord) {
            if (auto a = deserialize(record))
                boards.push_back(*a);
            record.clear();
        }
    }
    return boards;
}

} // namespace ksim
