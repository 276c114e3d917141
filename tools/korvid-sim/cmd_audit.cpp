// audit: every row set on every code, its registers held against the miniport's own tables.
#include "workers.h"
#include "audit.h"
#include "commands.h"
#include "describe.h"
#include "errors.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace ksim {

namespace {

struct AuditOptions {
    std::vector<uint32_t> codes;
    int workers = 0;
};

AuditOptions parse(const Args& args)
{
    AuditOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--jobs" && i + 1 < args.size()) {
            auto n = sim::parse_number(args[++i]);
            if (!n || *n == 0 || *n > kMaxWorkers)
                throw UsageError("--jobs takes 1 to " + std::to_string(kMaxWorkers));
            o.workers = int(*n);
        } else {
            o.codes.push_back(parse_config_code(args[i]));
        }
    }
    fill_defaults(o.codes, o.workers);
    return o;
}

std::string memory_text(const ConfigAudit& a)
{
    return format("%2u MiB %s", a.memory_bytes >> 20, a.memory_type.c_str());
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
    std::map<std::string, std::string> lines;
    for (const ConfigAudit& a : configs) {
        if (refresh)
            for (const RefreshOff& r : a.refresh_off)
                lines[format("%s row %3u %s: %.2f Hz", a.memory_type.c_str(), r.index,
                             r.mode.c_str(), r.refresh_hz)] += format(" 0x%02X", a.code);
        else
            for (const RowMismatch& m : a.mismatches)
                lines[format("%s row %3u %s: %s", a.memory_type.c_str(), m.index, m.mode.c_str(),
                             diff_text(m).c_str())] += format(" 0x%02X", a.code);
    }
    std::string out;
    for (auto& [line, codes] : lines)
        out += "  " + line + " (code" + (codes.size() > 5 ? "s" : "") + codes + ")\n";
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
    Json j = Json::object()
                 .set("code", a.code)
                 .set("memory_type", a.memory_type)
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
    Progress progress = terminal_progress(ctx.progress, "audit");
    AuditRun run = run_audit(o.codes, ctx.session.driver().image, o.workers, progress);

    Result r{Json::object(), ""};
    Json configs = Json::array();
    uint64_t sets = 0;
    r.text = "Consistency audit of " + ctx.session.driver().name() +
             ": each configuration code on a freshly booted machine,\nevery row the miniport "
             "accepts set with IOCTL_VIDEO_SET_CURRENT_MODE and decoded from the\nboard's "
             "registers and DAC. " +
             kAuditReference +
             "\n\n"
             "  code  memory      valid rows  listed: all layouts / single  mismatching  "
             "refresh off\n";
    for (const ConfigAudit& a : run.configs) {
        configs.push(config_json(a));
        sets += a.valid_rows;
        r.text += a.error.empty()
                      ? format("  0x%02X  %-11s %10u  %19u / %-6u  %11zu  %11zu\n", a.code,
                               memory_text(a).c_str(), a.valid_rows, a.reported_all_virtual,
                               a.reported_single, a.mismatches.size(), a.refresh_off.size())
                      : format("  0x%02X  %s\n", a.code, a.error.c_str());
        r.failed |= !a.error.empty();
    }
    r.text += "\nRows whose programmed timing, pitch, start or clock differ from the table:\n" +
              grouped(run.configs, false) +
              "Rows whose programmed refresh is more than 1 Hz from their rate:\n" +
              grouped(run.configs, true) +
              format("\n%zu codes, %llu mode sets, %.2f s with %d worker process%s.\n",
                     run.configs.size(), static_cast<unsigned long long>(sets), run.seconds,
                     run.workers, run.workers == 1 ? "" : "es");
    r.json.set("driver", ctx.session.driver().name())
        .set("check", "consistency")
        .set("reference", kAuditReference)
        .set("configs", configs)
        .set("seconds", Json(run.seconds, 3))
        .set("workers", run.workers);
    return r;
}

} // namespace ksim
