// screenshot: set a mode, let the display driver draw a pattern through the
// mapped frame buffer, and write what a monitor would show.
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/draw.h"
#include "tools/korvid-sim/errors.h"
#include "support/png.h"
#include "hardware/scanout.h"

namespace ksim {

namespace {

constexpr const char* kUsage = "screenshot MODE FILE.png [--pattern bars|grid|text]";

struct ShotOptions {
    std::string mode, file;
    sim::Pattern pattern = sim::Pattern::Bars;
};

ShotOptions parse(const Args& args)
{
    ShotOptions o;
    Args rest;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--pattern") {
            if (i + 1 >= args.size())
                throw UsageError(std::string("--pattern needs bars, grid or text; usage: ") +
                                 kUsage);
            auto p = sim::parse_pattern(args[++i]);
            if (!p)
                throw UsageError("unknown pattern '" + args[i] + "': bars, grid or text");
            o.pattern = *p;
        } else {
            rest.push_back(args[i]);
        }
    }
    expect_args(rest, 2, 2, kUsage);
    o.mode = rest[0];
    o.file = rest[1];
    return o;
}

} // namespace

Result cmd_screenshot(Context& ctx, const Args& args)
{
    ShotOptions o = parse(args);
    Session& s = ctx.session;
    s.ensure_booted();
    sim::ModeEntry mode = set_mode_text(ctx, o.mode);
    std::string caption = "korvid-sim " + mode_name(mode) +
                          format(", %u MiB ", s.board().memory_size() >> 20) +
                          sim::memory_kind_name(sim::decode_display(s.board()).memory);
    std::string why;
    sim::Image drawn = sim::render_pattern(o.pattern, mode.width(), mode.height(), caption);
    if (!draw(s.client(), drawn, &why))
        throw Failure("the display driver could not draw: " + why);
    sim::DisplayState state = sim::decode_display(s.board());
    auto shown = sim::scan_out(s.board(), state, &why);
    if (!shown)
        throw Failure("nothing to scan out: " + why);
    if (!sim::write_png(o.file, *shown, &why))
        throw UsageError(why);
    sim::ImageDifference diff = sim::compare_images(drawn, *shown);

    Result r{Json::object(), ""};
    r.json.set("file", o.file)
        .set("mode", mode_name(mode))
        .set("index", mode.index())
        .set("pattern", sim::pattern_name(o.pattern))
        .set("width", shown->width)
        .set("height", shown->height)
        .set("bpp", state.bpp)
        .set("pitch", state.pitch)
        .set("start_offset", state.start)
        .set("colour_path", sim::colour_path_name(state.path))
        .set("matches_pattern", !diff)
        .set("differing_pixels", diff.count);
    r.text = format("Set row %u (%s); the display driver drew the %s pattern through the mapped\n"
                    "frame buffer%s. Scan-out read %ux%u pixels of %s\nfrom byte %u of video "
                    "memory, %u bytes a line, through %s, and wrote %s.\n",
                    mode.index(), mode_name(mode).c_str(), sim::pattern_name(o.pattern),
                    state.bpp == 8 ? " (palette loaded)" : "", shown->width, shown->height,
                    pixel_format_name(state).c_str(), state.start, state.pitch,
                    sim::colour_path_name(state.path), o.file.c_str());
    r.text += diff
                  ? format("The picture differs from what was drawn at %llu pixels, first at "
                           "(%u, %u): drawn #%02X%02X%02X, shown #%02X%02X%02X.\n",
                           static_cast<unsigned long long>(diff.count), diff.x, diff.y, diff.want.r,
                           diff.want.g, diff.want.b, diff.got.r, diff.got.g, diff.got.b)
                  : "The picture is what the display driver drew, pixel for pixel.\n";
    return r;
}

} // namespace ksim
