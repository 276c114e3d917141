// compare: what a change to the driver does on every board, mode and request.
#include "workers.h"
#include "commands.h"
#include "compare.h"
#include "describe.h"
#include "errors.h"

#include "sim/machine/board.h"

#include <unistd.h>

#include <algorithm>
#include <array>

namespace ksim {

namespace {

constexpr size_t kShownPerCode = 6;
constexpr size_t kShownInAll = 30;

struct CompareOptions {
    std::string old_path, new_path; // empty: the host build
    std::vector<uint32_t> codes;
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
        if (args[i] == "--jobs") {
            auto n = i + 1 < args.size() ? sim::parse_number(args[++i]) : std::nullopt;
            if (!n || *n == 0 || *n > kMaxWorkers)
                throw UsageError("--jobs takes 1 to " + std::to_string(kMaxWorkers));
            o.workers = int(*n);
        } else if (images.size() < 2) {
            images.push_back(args[i]);
        } else {
            o.codes.push_back(parse_config_code(args[i]));
        }
    }
    if (images.size() < 2)
        throw UsageError("missing arguments; usage: compare A B [CODE...] [--jobs N], "
                         "A and B a korvid.sys or 'host'");
    o.old_path = image_path(images[0]);
    o.new_path = image_path(images[1]);
    fill_defaults(o.codes, o.workers);
    return o;
}

std::string board_text(uint32_t code)
{
    return format("%u MiB %s", sim::memory_size_for_code(code) >> 20,
                  sim::is_sgram_code(code) ? "SGRAM" : "WRAM");
}

std::string difference_text(const Difference& d)
{
    return format("    %s: %s -> %s\n", d.where.c_str(), d.old_value.c_str(), d.new_value.c_str());
}

std::string first_differences(const CompareRun& run)
{
    std::string out;
    size_t shown = 0, total = 0;
    for (const CodeComparison& c : run.codes) {
        total += c.differences.size();
        if (c.differences.empty() && c.error.empty())
            continue;
        if (shown >= kShownInAll)
            continue;
        out += format("  code 0x%02X (%s): %zu difference%s\n", c.code, board_text(c.code).c_str(),
                      c.differences.size(), c.differences.size() == 1 ? "" : "s");
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

std::string codes_text(const std::vector<uint32_t>& codes)
{
    std::string out;
    for (uint32_t c : codes)
        out += format(" 0x%02X", c);
    return out;
}

struct Tally {
    std::array<std::vector<uint32_t>, kNumCategories> different;
    std::vector<uint32_t> any;
};

Tally tally(const CompareRun& run)
{
    Tally t;
    for (const CodeComparison& c : run.codes) {
        std::array<bool, kNumCategories> seen{};
        for (const Difference& d : c.differences)
            seen[size_t(d.category)] = true;
        for (size_t k = 0; k < kNumCategories; ++k)
            if (seen[k])
                t.different[k].push_back(c.code);
        if (!c.differences.empty() || !c.error.empty())
            t.any.push_back(c.code);
    }
    return t;
}

std::string summary_table(const Tally& t, size_t codes)
{
    std::string out = "  what            codes identical  different\n";
    for (size_t k = 0; k < kNumCategories; ++k)
        out += format("  %-15s %15zu  %9zu%s\n", category_name(Category(k)),
                      codes - t.different[k].size(), t.different[k].size(),
                      codes_text(t.different[k]).c_str());
    out += format("  %-15s %15zu  %9zu%s\n", "all", codes - t.any.size(), t.any.size(),
                  codes_text(t.any).c_str());
    return out;
}

Json run_json(const CompareRun& run, const Tally& t)
{
    Json records = Json::array(), codes = Json::array(), summary = Json::object();
    for (const CodeComparison& c : run.codes) {
        for (const Difference& d : c.differences)
            records.push(Json::object()
                             .set("code", d.code)
                             .set("category", category_name(d.category))
                             .set("where", d.where)
                             .set("old", d.old_value)
                             .set("new", d.new_value));
        Json code = Json::object()
                        .set("code", c.code)
                        .set("identical", c.differences.empty() && c.error.empty())
                        .set("differences", c.differences.size());
        if (!c.error.empty())
            code.set("error", c.error);
        codes.push(code);
    }
    for (size_t k = 0; k < kNumCategories; ++k)
        summary.set(category_name(Category(k)),
                    Json::object()
                        .set("identical", run.codes.size() - t.different[k].size())
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
    Progress progress = terminal_progress(ctx.progress, "compare");
    CompareRun run = run_compare(o.codes, old_driver.image, new_driver.image, o.workers, progress);
    Tally t = tally(run);

    Result r{run_json(run, t), ""};
    r.json.set("old", old_driver.name()).set("new", new_driver.name());
    r.text = "Comparing " + old_driver.name() + " (old) with " + new_driver.name() +
             " (new):\neach configuration code on two fresh machines, the boot, the mode list, "
             "every row set\n(device accesses and decoded state) and a fixed conversation of "
             "every request.\n\n";
    if (t.any.empty())
        r.text += run.codes.size() == 1 ? format("Identical on code 0x%02X.\n", run.codes[0].code)
                                        : format("Identical on all %zu codes.\n", run.codes.size());
    else {
        r.text += "First differences (old -> new):\n";
        r.text += first_differences(run);
    }
    r.text += '\n';
    r.text += summary_table(t, run.codes.size());
    r.text += format("\n%zu code%s, %.2f s with %d worker process%s.\n", run.codes.size(),
                     run.codes.size() == 1 ? "" : "s", run.seconds, run.workers,
                     run.workers == 1 ? "" : "es");
    r.failed = !t.any.empty();
    return r;
}

} // namespace ksim
