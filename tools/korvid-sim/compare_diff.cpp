// Two drivers' observations side by side: which fields differ, where two
// device-access traces part (the register by name, with both values), and
// the comparison of many machines in worker processes.
#include "tools/korvid-sim/compare.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/trace_notes.h"
#include "tools/korvid-sim/workers.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <sstream>

namespace ksim {

namespace {

constexpr size_t kExcerptWords = 4; // words of a long answer shown around a difference
constexpr const char* kNone = "(none)";

struct Key {
    Category category;
    std::string where;
    bool is_trace;
    auto operator<=>(const Key&) const = default;
};

Key key(const Observation& o)
{
    return {o.category, o.where, o.is_trace};
}

std::vector<std::string> words(const std::string& s)
{
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

std::string join(const std::vector<std::string>& w, size_t from, size_t count)
{
    std::string out = from > 0 ? "... " : "";
    for (size_t i = from; i < std::min(w.size(), from + count); ++i)
        out += w[i] + (i + 1 < w.size() ? " " : "");
    return out + (from + count < w.size() ? "..." : "");
}

// Long answers (a mode list's bytes) are shown from the word where they part.
std::pair<std::string, std::string> excerpt(const std::string& a, const std::string& b,
                                            std::string* at)
{
    std::vector<std::string> wa = words(a), wb = words(b);
    if (wa.size() <= 2 * kExcerptWords && wb.size() <= 2 * kExcerptWords)
        return {a, b};
    size_t parting = 0;
    while (parting < wa.size() && parting < wb.size() && wa[parting] == wb[parting])
        ++parting;
    *at = format(" from word %zu", parting);
    return {join(wa, parting, kExcerptWords), join(wb, parting, kExcerptWords)};
}

// What a difference of `o` is named by: its place, and the label that says
// what is there.
std::string named(const Observation& o)
{
    return o.where + (o.label.empty() ? "" : " " + o.label);
}

void diff_fields(std::vector<Difference>& out, const Observation& a, const Observation& b)
{
    std::map<std::string, std::string> theirs(b.fields.begin(), b.fields.end());
    auto report = [&](const std::string& name, const std::string& old_v, const std::string& new_v) {
        std::string at;
        auto [o, n] = excerpt(old_v, new_v, &at);
        out.push_back({a.category, named(a) + ": " + name + at, o, n, a.board});
    };
    for (const auto& [name, value] : a.fields) {
        auto it = theirs.find(name);
        std::string other = it == theirs.end() ? kNone : it->second;
        if (other != value)
            report(name, value, other);
        if (it != theirs.end())
            theirs.erase(it);
    }
    for (const auto& [name, value] : b.fields)
        if (theirs.count(name))
            report(name, kNone, value);
}

// An access as a register name and the value that went through it.
std::pair<std::string, std::string> access_text(const sim::Event& e, const std::string& note)
{
    const bool read = e.op == sim::Op::Read;
    switch (e.op) {
    case sim::Op::Stall:
        return {"stall", format("%u us", e.value)};
    case sim::Op::ZeroMemory:
        return {format("clear %s from +0x%X", sim::aperture_name(e.aperture), e.offset),
                format("0x%X bytes", e.value)};
    case sim::Op::Int10:
        return {"video BIOS call, eax", format("0x%X", e.value)};
    default:
        break;
    }
    std::string value = format("0x%0*X", e.width * 2, e.value);
    std::string place = format("%s+0x%04X", sim::aperture_name(e.aperture), e.offset);
    if (note.empty())
        return {(read ? "read " : "write ") + place, value};
    size_t eq = note.rfind(" = ");
    if (eq != std::string::npos) { // "DAC index data: DAC 0x20 pixel clock VCO divider = 0x08"
        size_t colon = note.find(": ");
        size_t from = colon != std::string::npos && colon < eq ? colon + 2 : 0;
        return {note.substr(from, eq - from), note.substr(eq + 3)};
    }
    return {(read ? "read " : "write ") + note + " (" + place + ")", value};
}

void diff_traces(std::vector<Difference>& out, const Observation& a, const Observation& b)
{
    const std::vector<sim::Event>&ea = a.trace, &eb = b.trace;
    size_t i = 0;
    while (i < ea.size() && i < eb.size() && ea[i] == eb[i])
        ++i;
    if (i == ea.size() && i == eb.size())
        return;
    std::vector<std::string> na = annotate(ea), nb = annotate(eb);
    std::string where = format("%s: device access %zu", named(a).c_str(), i + 1);
    if (i < ea.size() && i < eb.size()) {
        auto [la, va] = access_text(ea[i], na[i]);
        auto [lb, vb] = access_text(eb[i], nb[i]);
        if (la == lb)
            out.push_back({a.category, where + ", " + la, va, vb, a.board});
        else
            out.push_back({a.category, where, la + " = " + va, lb + " = " + vb, a.board});
        return;
    }
    auto side = [&](const std::vector<sim::Event>& e, const std::vector<std::string>& n) {
        if (i >= e.size())
            return format("(no more: %zu accesses)", e.size());
        auto [l, v] = access_text(e[i], n[i]);
        return l + " = " + v;
    };
    out.push_back({a.category, where, side(ea, na), side(eb, nb), a.board});
}

void diff(std::vector<Difference>& out, const Observation& a, const Observation& b)
{
    if (a.is_trace)
        diff_traces(out, a, b);
    else
        diff_fields(out, a, b);
}

// An observation one side has and the other lacks: a row the driver now
// refuses has no trace; its refusal is the difference to report.
void unmatched(std::vector<Difference>& out, const Observation& o, bool in_old)
{
    const std::string base = o.where.substr(0, o.where.find(','));
    for (const Difference& d : out)
        if (d.where.rfind(base, 0) == 0)
            return;
    std::string seen = o.is_trace ? format("%zu device accesses", o.trace.size())
                                  : format("%zu values", o.fields.size());
    out.push_back(
        {o.category, o.where, in_old ? seen : "(not seen)", in_old ? "(not seen)" : seen, o.board});
}

// When one boot fails, what the other driver went on to do is one line per
// category, not one per row and request.
void after_failed_boot(std::vector<Difference>& out, const std::vector<const Observation*>& lacking,
                       bool in_old)
{
    std::array<size_t, kNumCategories> count{};
    for (const Observation* o : lacking)
        ++count[size_t(o->category)];
    for (size_t k = 0; k < kNumCategories; ++k) {
        if (!count[k])
            continue;
        std::string seen = format("%zu observation%s", count[k], count[k] == 1 ? "" : "s");
        const char* none = "(none: the driver did not load)";
        out.push_back(
            {Category(k), category_name(Category(k)), in_old ? seen : none, in_old ? none : seen});
    }
}

std::string one_line(std::string s)
{
    std::replace(s.begin(), s.end(), '\t', ' ');
    std::replace(s.begin(), s.end(), '\n', ' ');
    return s;
}

} // namespace

const char* category_name(Category c)
{
    static const char* const kNames[kNumCategories] = {"boot", "registry", "mode list", "row sets",
                                                       "requests"};
    return kNames[size_t(c)];
}

std::vector<Difference> differences(const Snapshot& a, const Snapshot& b)
{
    std::map<Key, const Observation*> theirs;
    for (const Observation& o : b)
        theirs[key(o)] = &o;
    std::vector<Difference> out;
    std::vector<const Observation*> only_old;
    for (const Observation& o : a) {
        auto it = theirs.find(key(o));
        if (it == theirs.end()) {
            only_old.push_back(&o);
            continue;
        }
        diff(out, o, *it->second);
        theirs.erase(it);
    }
    std::vector<const Observation*> only_new;
    for (const Observation& o : b)
        if (theirs.count(key(o)))
            only_new.push_back(&o);
    const bool boot_parted = std::any_of(out.begin(), out.end(), [](const Difference& d) {
        return d.where == "boot: status" || d.where == "boot: devices";
    });
    if (boot_parted) {
        after_failed_boot(out, only_old, true);
        after_failed_boot(out, only_new, false);
        return out;
    }
    for (const Observation* o : only_old)
        unmatched(out, *o, true);
    for (const Observation* o : only_new)
        unmatched(out, *o, false);
    return out;
}

MachineComparison compare_machine(const MachineCodes& machine, const korvid_host::DriverImage& a,
                                  const korvid_host::DriverImage& b)
{
    MachineComparison c;
    c.machine = machine;
    Snapshot old_side = observe(machine, a);
    c.differences = differences(old_side, observe(machine, b));
    return c;
}

std::string serialize(const MachineComparison& c)
{
    std::string out;
    for (const Difference& d : c.differences)
        out += format("D\t%d\t%d\t", int(d.category), d.board) + one_line(d.where) + "\t" +
               one_line(d.old_value) + "\t" + one_line(d.new_value) + "\n";
    if (!c.error.empty())
        out += format("X\t%s\n", one_line(c.error).c_str());
    return out;
}

MachineComparison deserialize_comparison(const MachineCodes& machine, const std::string& text)
{
    MachineComparison c;
    c.machine = machine;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> parts;
        std::istringstream l(line);
        for (std::string part; std::getline(l, part, '\t');)
            parts.push_back(part);
        if (parts.size() == 6 && parts[0] == "D") {
            int category = std::atoi(parts[1].c_str());
            if (category < 0 || size_t(category) >= kNumCategories)
                continue;
            c.differences.push_back(
                {Category(category), parts[3], parts[4], parts[5], std::atoi(parts[2].c_str())});
        } else if (parts.size() == 2 && parts[0] == "X") {
            c.error = parts[1];
        }
    }
    return c;
}

CompareRun run_compare(const std::vector<MachineCodes>& machines, const korvid_host::DriverImage& a,
                       const korvid_host::DriverImage& b, int workers,
                       const std::function<void(size_t, size_t)>& progress)
{
    auto t0 = std::chrono::steady_clock::now();
    WorkerRun done = run_workers(
        machines, workers, [&](size_t n) { return serialize(compare_machine(machines[n], a, b)); },
        progress);
    CompareRun run;
    for (size_t n = 0; n < machines.size(); ++n) {
        auto it = done.reports.find(n);
        run.machines.push_back(
            deserialize_comparison(machines[n], it == done.reports.end() ? "" : it->second));
        if (done.lost.count(n))
            run.machines.back().error = done.lost[n];
    }
    run.workers = done.workers;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return run;
}

} // namespace ksim
