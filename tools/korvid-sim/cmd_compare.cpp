// compare: what a change to the driver does on every board, mode and request.
#include "tools/korvid-sim/workers.h"
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/compare.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/errors.h"

#include <unistd.h>

#include <algorithm>
#include <array>

namespace ksim {

namespace {

constexpr size_t kShownPerCode = 6;
constexpr size_t kShownInAll = 30;

constexpr const char* kUsage = "compare A B [MACHINE...] [--jobs N], A and B a korvid.sys or "
                               "'host', MACHINE a configuration code or codes joined by commas";

struct CompareOptions {
    std::string old_path, new_path; // empty: the host build
    std::vector<MachineCodes> machines;
    int workers = 0;
};

std::string image_path(const std::string& word)
{
    return word == "host" ? "" : word;
}

CompareOptions parse(const Args& args)
{
    CompareOptions o;
    std::vector<std::string> images;
    for (size_t i = 0; i < args.size(); ++i) {
        if (take_machine_or_jobs(args, i, o.machines, o.workers))
            continue;
        if (images.size() < 2)
            images.push_back(args[i]);
        else
            o.machines.push_back(parse_machine(args[i]));
    }
    if (images.size() < 2)
        throw UsageError(std::string("missing arguments; usage: ") + kUsage);
    o.old_path = image_path(images[0]);
    o.new_path = image_path(images[1]);
    fill_defaults(o.machines, o.workers);
    return o;
}

// "code 0x11" or "machine 0x13,0x00"
std::string machine_title(const MachineCodes& m)
{
    return (m.size() == 1 ? "code " : "machine ") + machine_name(m);
}

std::string difference_text(const Difference& d)
{
    return format("    %s: %s -> %s\n", d.where.c_str(), d.old_value.c_str(), d.new_value.c_str());
}

std::string first_differences(const CompareRun& run)
{
    std::string out;
    size_t shown = 0, total = 0;
    for (const MachineComparison& c : run.machines) {
        total += c.differences.size();
        if (c.differences.empty() && c.error.empty())
            continue;
        if (shown >= kShownInAll)
            continue;
        out += format("  %s (%s): %zu difference%s\n", machine_title(c.machine).c_str(),
                      machine_text(c.machine).c_str(), c.differences.size(),
                      c.differences.size() == 1 ? "" : "s");
        if (!c.error.empty())
            out += "    " + c.error + "\n";
        for (size_t i = 0; i < c.differences.size() && i < kShownPerCode && shown < kShownInAll;
             ++i, ++shown)
            out += difference_text(c.differences[i]);
    }
    if (total > shown)
        out += format("  ... %zu more (--json lists every one)\n", total - shown);
    return out;
}

std::string machines_text(const std::vector<MachineCodes>& machines)
{
    std::string out;
    for (const MachineCodes& m : machines)
        out += " " + machine_name(m);
    return out;
}

struct Tally {
    std::array<std::vector<MachineCodes>, kNumCategories> different;
    std::vector<MachineCodes> any;
};

Tally tally(const CompareRun& run)
{
    Tally t;
    for (const MachineComparison& c : run.machines) {
        std::array<bool, kNumCategories> seen{};
        for (const Difference& d : c.differences)
            seen[size_t(d.category)] = true;
        for (size_t k = 0; k < kNumCategories; ++k)
            if (seen[k])
                t.different[k].push_back(c.machine);
        if (!c.differences.empty() || !c.error.empty())
            t.any.push_back(c.machine);
    }
    return t;
}

std::string summary_table(const Tally& t, size_t machines, bool several)
{
    std::string out = several ? "  what         machines identical  different\n"
                              : "  what            codes identical  different\n";
    for (size_t k = 0; k < kNumCategories; ++k)
        out += format("  %-15s %15zu  %9zu%s\n", category_name(Category(k)),
                      machines - t.different[k].size(), t.different[k].size(),
                      machines_text(t.different[k]).c_str());
    out += format("  %-15s %15zu  %9zu%s\n", "all", machines - t.any.size(), t.any.size(),
                  machines_text(t.any).c_str());
    return out;
}

// A machine of one board is named by its code, as it always was; one of
// several by its codes, and each of its differences by the board it is on.
Json& identify(Json& j, const MachineCodes& m)
{
    return m.size() == 1 ? j.set("code", m[0]) : j.set("machine", machine_json(m));
}

Json difference_json(const MachineCodes& m, const Difference& d)
{
    Json j = Json::object();
    identify(j, m);
    if (m.size() > 1)
        j.set("board", d.board < 0 ? Json(nullptr) : Json(d.board));
    return j.set("category", category_name(d.category))
        .set("where", d.where)
        .set("old", d.old_value)
        .set("new", d.new_value);
}

Json run_json(const CompareRun& run, const Tally& t)
{
    Json records = Json::array(), codes = Json::array(), summary = Json::object();
    for (const MachineComparison& c : run.machines) {
        for (const Difference& d : c.differences)
            records.push(difference_json(c.machine, d));
        Json code = Json::object();
        identify(code, c.machine)
            .set("identical", c.differences.empty() && c.error.empty())
            .set("differences", c.differences.size());
        if (!c.error.empty())
            code.set("error", c.error);
        codes.push(code);
    }
    for (size_t k = 0; k < kNumCategories; ++k)
        summary.set(category_name(Category(k)),
                    Json::object()
                        .set("identical", run.machines.size() - t.different[k].size())
                        .set("different", t.different[k].size()));
    return Json::object()
        .set("identical", t.any.empty())
        .set("codes", codes)
        .set("summary", summary)
        .set("differences", records)
        .set("seconds", Json(run.seconds, 3))
        .set("workers", run.workers);
}

} // namespace

Result cmd_compare(Context& ctx, const Args& args)
{
    CompareOptions o = parse(args);
    Driver old_driver = load_driver(o.old_path), new_driver = load_driver(o.new_path);
    const bool several = any_several(o.machines);
    const size_t n = o.machines.size();
    Progress progress =
        terminal_progress(ctx.progress, "compare", several ? "machines" : "configuration codes");
    CompareRun run =
        run_compare(o.machines, old_driver.image, new_driver.image, o.workers, progress);
    Tally t = tally(run);

    Result r{run_json(run, t), ""};
    r.json.set("old", old_driver.name()).set("new", new_driver.name());
    r.text = "Comparing " + old_driver.name() + " (old) with " + new_driver.name() +
             " (new):\neach configuration code on two fresh machines, the boot, the mode list, "
             "every row set\n(device accesses and decoded state) and a fixed conversation of "
             "every request.\n";
    if (several)
        r.text += "A machine of several boards opens only device 0, as the display driver does, "
                  "and\nreaches each board by selecting it; its lists are read first, then "
                  "board by board.\n";
    r.text += '\n';
    if (t.any.empty())
        r.text += n == 1 ? "Identical on " + machine_title(o.machines[0]) + ".\n"
                         : format("Identical on all %zu %s.\n", n, run_noun(o.machines, n).c_str());
    else {
        r.text += "First differences (old -> new):\n";
        r.text += first_differences(run);
    }
    r.text += '\n';
    r.text += summary_table(t, n, several);
    r.text +=
        format("\n%zu %s, %.2f s with %d worker process%s.\n", n, run_noun(o.machines, n).c_str(),
               run.seconds, run.workers, run.workers == 1 ? "" : "es");
    r.failed = !t.any.empty();
    return r;
}

} // namespace ksim
