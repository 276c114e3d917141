// audit: every row set on every code, its registers held against the miniport's own tables.
#include "tools/korvid-sim/workers.h"
#include "tools/korvid-sim/audit.h"
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/errors.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace ksim {

namespace {

struct AuditOptions {
    std::vector<MachineCodes> machines;
    int workers = 0;
};

AuditOptions parse(const Args& args)
{
    AuditOptions o;
    for (size_t i = 0; i < args.size(); ++i)
        if (!take_machine_or_jobs(args, i, o.machines, o.workers))
            o.machines.push_back(parse_machine(args[i]));
    fill_defaults(o.machines, o.workers);
    return o;
}

std::string memory_text(const ConfigAudit& a)
{
    return format("%2u MiB %s", a.memory_bytes >> 20, a.memory_type.c_str());
}

// Where a grouped line was seen: codes, or which boards of which machine of
// several ("0x11; boards 0, 2 of 0x11,0x04,0x13").
std::string seen_on(const std::vector<const ConfigAudit*>& boards)
{
    struct Place {
        std::string name;
        std::vector<int> boards; // empty: a code
    };
    std::vector<Place> places;
    for (const ConfigAudit* a : boards) {
        if (a->machine.size() < 2) {
            places.push_back({format("0x%02X", a->code), {}});
            continue;
        }
        std::string name = machine_name(a->machine);
        auto it = std::find_if(places.begin(), places.end(),
                               [&](const Place& p) { return !p.boards.empty() && p.name == name; });
        if (it == places.end())
            places.push_back({name, {a->board}});
        else
            it->boards.push_back(a->board);
    }
    const bool codes_only =
        std::all_of(places.begin(), places.end(), [](const Place& p) { return p.boards.empty(); });
    std::string out;
    for (const Place& p : places) {
        std::string text = p.name;
        if (!p.boards.empty()) {
            std::string list;
            for (int b : p.boards)
                list += (list.empty() ? "" : ", ") + std::to_string(b);
            text = (p.boards.size() > 1 ? "boards " : "board ") + list + " of " + p.name;
        }
        out += (out.empty() || codes_only ? " " : "; ") + text;
    }
    return out;
}

// The table a board's rows index, where it is not the board's own type's.
std::string table_note(const ConfigAudit& a)
{
    bool own = a.table == (sim::is_sgram_code(a.code) ? "SGRAM" : "WRAM");
    return a.table.empty() || own ? "" : "  (rows of the " + a.table + " table)";
}

std::string board_line(const ConfigAudit& a)
{
    return a.error.empty() ? format("  0x%02X  %-11s %10u  %19u / %-6u  %11zu  %11zu%s\n", a.code,
                                    memory_text(a).c_str(), a.valid_rows, a.reported_all_virtual,
                                    a.reported_single, a.mismatches.size(), a.refresh_off.size(),
                                    table_note(a).c_str())
                           : format("  0x%02X  %s\n", a.code, a.error.c_str());
}

std::string diff_text(const RowMismatch& m)
{
    std::string out;
    for (const FieldDifference& d : m.differences)
        out += format("%s%s table %.0f, decoded %.0f", out.empty() ? "" : "; ", d.field.c_str(),
                      d.table, d.decoded);
    return out.empty() ? "the driver accepted a row the table does not have" : out;
}

// The same disagreement usually shows on many codes: one line each, with its codes.
std::string grouped(const std::vector<ConfigAudit>& configs, bool refresh)
{
    std::map<std::string, std::vector<const ConfigAudit*>> lines;
    for (const ConfigAudit& a : configs) {
        const std::string& table = a.table.empty() ? a.memory_type : a.table;
        if (refresh)
            for (const RefreshOff& r : a.refresh_off)
                lines[format("%s row %3u %s: %.2f Hz", table.c_str(), r.index, r.mode.c_str(),
                             r.refresh_hz)]
                    .push_back(&a);
        else
            for (const RowMismatch& m : a.mismatches)
                lines[format("%s row %3u %s: %s", table.c_str(), m.index, m.mode.c_str(),
                             diff_text(m).c_str())]
                    .push_back(&a);
    }
    std::string out;
    for (auto& [line, boards] : lines) {
        const bool codes_only = std::all_of(boards.begin(), boards.end(), [](const ConfigAudit* a) {
            return a->machine.size() < 2;
        });
        out += "  " + line + (codes_only ? boards.size() > 1 ? " (codes" : " (code" : " (on") +
               seen_on(boards) + ")\n";
    }
    return out.empty() ? "  none\n" : out;
}

Json config_json(const ConfigAudit& a)
{
    Json mismatches = Json::array(), refresh = Json::array();
    for (const RowMismatch& m : a.mismatches) {
        Json diffs = Json::array();
        for (const FieldDifference& d : m.differences)
            diffs.push(Json::object()
                           .set("field", d.field)
                           .set("table", Json(d.table, 0))
                           .set("decoded", Json(d.decoded, 0)));
        mismatches.push(
            Json::object().set("index", m.index).set("mode", m.mode).set("differences", diffs));
    }
    for (const RefreshOff& r : a.refresh_off)
        refresh.push(Json::object()
                         .set("index", r.index)
                         .set("mode", r.mode)
                         .set("frequency", r.frequency)
                         .set("refresh_hz", Json(r.refresh_hz, 3)));
    Json j = Json::object().set("code", a.code);
    if (a.machine.size() > 1)
        j.set("machine", machine_json(a.machine))
            .set("board", a.board < 0 ? Json(nullptr) : Json(a.board))
            .set("table", a.table);
    j.set("memory_type", a.memory_type)
        .set("memory_bytes", a.memory_bytes)
        .set("valid_rows", a.valid_rows)
        .set("reported_all_virtual", a.reported_all_virtual)
        .set("reported_single", a.reported_single)
        .set("mismatches", mismatches)
        .set("refresh_off", refresh);
    if (!a.error.empty())
        j.set("error", a.error);
    return j;
}

} // namespace

Result cmd_audit(Context& ctx, const Args& args)
{
    AuditOptions o = parse(args);
    const bool several = any_several(o.machines);
    Progress progress =
        terminal_progress(ctx.progress, "audit", several ? "machines" : "configuration codes");
    AuditRun run = run_audit(o.machines, ctx.session.driver().image, o.workers, progress);

    Result r{Json::object(), ""};
    Json configs = Json::array();
    uint64_t sets = 0;
    r.text = "Consistency audit of " + ctx.session.driver().name() +
             ": each configuration code on a freshly booted machine,\nevery row the miniport "
             "accepts set with IOCTL_VIDEO_SET_CURRENT_MODE and decoded from the\nboard's "
             "registers and DAC. " +
             kAuditReference + "\n";
    if (several)
        r.text += "A machine of several boards opens only device 0, as the display driver does; "
                  "every\nboard's list is counted first, then each board, selected, has its rows "
                  "set. Its boards\nshare one mode table.\n";
    r.text += "\n"
              "  code  memory      valid rows  listed: all layouts / single  mismatching  "
              "refresh off\n";
    // Each machine has one record a board, in chain order.
    for (size_t k = 0, left = 0; k < run.configs.size(); ++k) {
        const ConfigAudit& a = run.configs[k];
        configs.push(config_json(a));
        sets += a.valid_rows;
        if (left == 0 && a.machine.size() > 1)
            r.text += "  machine " + machine_name(a.machine) + ", its boards in chain order:\n";
        left = (left ? left : a.machine.size()) - 1;
        r.text += board_line(a);
        r.failed |= !a.error.empty();
    }
    r.text += "\nRows whose programmed timing, pitch, start or clock differ from the table:\n" +
              grouped(run.configs, false) +
              "Rows whose programmed refresh is more than 1 Hz from their rate:\n" +
              grouped(run.configs, true) +
              format("\n%zu %s, %llu mode sets, %.2f s with %d worker process%s.\n",
                     several ? o.machines.size() : run.configs.size(),
                     several ? run_noun(o.machines, o.machines.size()).c_str() : "codes",
                     static_cast<unsigned long long>(sets), run.seconds, run.workers,
                     run.workers == 1 ? "" : "es");
    r.json.set("driver", ctx.session.driver().name())
        .set("check", "consistency")
        .set("reference", kAuditReference)
        .set("configs", configs)
        .set("seconds", Json(run.seconds, 3))
        .set("workers", run.workers);
    return r;
}

} // namespace ksim
