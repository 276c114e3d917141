#include "tools/korvid-sim/describe.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <set>

namespace ksim {

std::string mhz(double hz)
{
    return format("%.3f MHz", hz / 1e6);
}

std::string pixel_format_name(const sim::DisplayState& s)
{
    switch (s.bpp) {
    case 8:
        return "8 bpp indexed";
    case 16:
        return "16 bpp RGB 5-6-5";
    case 24:
        return "24 bpp RGB 8-8-8";
    case 32:
        return "32 bpp xRGB 8-8-8-8";
    default:
        return format("unknown (DAC pixel format %u)", s.pixel_format);
    }
}

std::string sync_text(const sim::DisplayState& s)
{
    return std::string(s.hsync_positive ? "+" : "-") + "hsync " + (s.vsync_positive ? "+" : "-") +
           "vsync";
}

namespace {

Json timing_json(uint32_t active, uint32_t blank, uint32_t front, uint32_t sync)
{
    return Json::object()
        .set("active", active)
        .set("front_porch", front)
        .set("sync", sync)
        .set("back_porch", static_cast<int64_t>(blank) - front - sync)
        .set("total", active + blank);
}

std::string timing_line(uint32_t active, uint32_t blank, uint32_t front, uint32_t sync,
                        const char* unit)
{
    return format("%u visible + %u front porch + %u sync + %d back porch = %u %s", active, front,
                  sync, static_cast<int>(blank - front - sync), active + blank, unit);
}

} // namespace

Json state_json(const sim::DisplayState& s, std::optional<uint32_t> row)
{
    Json j = Json::object();
    if (row)
        j.set("index", *row);
    j.set("native", s.native);
    j.set("width", s.h_active).set("height", s.v_active).set("bpp", s.bpp);
    j.set("pitch", s.pitch).set("start_offset", s.start);
    j.set("h_total", s.h_total).set("v_total", s.v_total);
    j.set("pixel_clock_hz", Json(s.pixel_clock_hz, 0));
    j.set("refresh_hz", Json(s.refresh_hz, 3));
    j.set("memory_clock_hz", Json(s.memory_clock_hz, 0));
    j.set("pixel_format", pixel_format_name(s));
    j.set("sync", sync_text(s));
    j.set("colour_path", sim::colour_path_name(s.path));
    j.set("memory_type", sim::memory_kind_name(s.memory));
    j.set("pixel_pll", format("0x%04X", s.pixel_pll));
    j.set("memory_pll", format("0x%04X", s.memory_pll));
    j.set("horizontal", timing_json(s.h_active, s.h_blank, s.h_front_porch, s.h_sync));
    j.set("vertical", timing_json(s.v_active, s.v_blank, s.v_front_porch, s.v_sync));
    j.set("cursor", s.cursor_on ? "on" : "off");
    j.set("pixel_mask", s.pixel_mask);
    return j;
}

std::string state_text(const sim::DisplayState& s, const std::string& in)
{
    std::string out;
    auto line = [&](const char* label, const std::string& text) {
        out += in + format("%-14s", label) + text + "\n";
    };
    if (!s.native) {
        line("mode", std::string("VGA") + (s.text_mode ? " text" : "") +
                         ": no native mode is set (memory configuration " +
                         format("0x%X", s.memory_config) + ")");
        line("memory clock", mhz(s.memory_clock_hz) + format(" (PLL word 0x%04X)", s.memory_pll));
        return out;
    }
    line("picture",
         format("%u x %u pixels, ", s.h_active, s.v_active) + pixel_format_name(s) +
             format(" (DAC pixel format %u), %s", s.pixel_format, sim::colour_path_name(s.path)));
    line("frame buffer",
         format("starts at byte %u of video memory, %u bytes per line", s.start, s.pitch));
    line("horizontal",
         timing_line(s.h_active, s.h_blank, s.h_front_porch, s.h_sync, "pixels a line"));
    line("vertical",
         timing_line(s.v_active, s.v_blank, s.v_front_porch, s.v_sync, "lines a frame"));
    line("refresh", format("pixel clock %s (PLL word 0x%04X) / (%u x %u) = %.2f Hz, %s",
                           mhz(s.pixel_clock_hz).c_str(), s.pixel_pll, s.h_total, s.v_total,
                           s.refresh_hz, sync_text(s).c_str()));
    line("memory", format("%s, %u-bit words (%u pixels a word), memory clock %s (PLL word 0x%04X)",
                          sim::memory_kind_name(s.memory), s.word_bits, s.pixels_per_word,
                          mhz(s.memory_clock_hz).c_str(), s.memory_pll));
    line("DAC",
         format("hardware cursor %s, pixel mask 0x%02X", s.cursor_on ? "on" : "off", s.pixel_mask));
    return out;
}

std::string mode_name(const sim::ModeEntry& m)
{
    return format("%ux%ux%u@%u:%s", m.width(), m.height(), m.bpp(), m.frequency(),
                  sim::layout_name(m.layout()));
}

Json mode_json(const sim::ModeEntry& m)
{
    return Json::object()
        .set("index", m.index())
        .set("width", m.width())
        .set("height", m.height())
        .set("bpp", m.bpp())
        .set("frequency", m.frequency())
        .set("extra_width", m.extra_width)
        .set("extra_height", m.extra_height)
        .set("pitch", m.pitch())
        .set("start_offset", m.start_offset())
        .set("bitmap_height", m.info.VideoMemoryBitmapHeight);
}

std::string mode_table(const std::vector<sim::ModeEntry>& modes)
{
    std::string out =
        "  row  resolution  bpp   Hz  layout  extra      pitch  start  bitmap height\n";
    for (const sim::ModeEntry& m : modes)
        out += format("  %3u  %4ux%-5u  %3u  %3u  %-6s  %4ux%-4u  %5u  %5u  %u\n", m.index(),
                      m.width(), m.height(), m.bpp(), m.frequency(), sim::layout_name(m.layout()),
                      m.extra_width, m.extra_height, m.pitch(), m.start_offset(),
                      unsigned(m.info.VideoMemoryBitmapHeight));
    return out;
}

namespace {

struct Group {
    std::set<uint32_t> depths, rates;
    std::set<int> layouts;
    unsigned count = 0;
};

std::map<std::pair<uint32_t, uint32_t>, Group> group(const std::vector<sim::ModeEntry>& modes)
{
    std::map<std::pair<uint32_t, uint32_t>, Group> g;
    for (const sim::ModeEntry& m : modes) {
        Group& e = g[{m.width(), m.height()}];
        e.depths.insert(m.bpp());
        e.rates.insert(m.frequency());
        e.layouts.insert(static_cast<int>(m.layout()));
        ++e.count;
    }
    return g;
}

template <typename T, typename F> std::string join(const std::set<T>& items, F&& show)
{
    std::string out;
    for (const T& i : items) {
        if (!out.empty())
            out += '/';
        out += show(i);
    }
    return out;
}

std::string layout_of(int l)
{
    return sim::layout_name(static_cast<sim::Layout>(l));
}

} // namespace

std::string mode_summary(const std::vector<sim::ModeEntry>& modes, const std::string& in)
{
    std::string out;
    for (auto& [size, g] : group(modes)) {
        auto num = [](uint32_t v) { return std::to_string(v); };
        out += in + format("%4ux%-5u %3u modes: %-8s bpp at %-14s Hz, layouts %s\n", size.first,
                           size.second, g.count, join(g.depths, num).c_str(),
                           join(g.rates, num).c_str(), join(g.layouts, layout_of).c_str());
    }
    return out;
}

Json mode_summary_json(const std::vector<sim::ModeEntry>& modes)
{
    Json list = Json::array();
    for (auto& [size, g] : group(modes)) {
        Json depths = Json::array(), rates = Json::array(), layouts = Json::array();
        for (uint32_t d : g.depths)
            depths.push(d);
        for (uint32_t r : g.rates)
            rates.push(r);
        for (int l : g.layouts)
            layouts.push(layout_of(l));
        list.push(Json::object()
                      .set("width", size.first)
                      .set("height", size.second)
                      .set("modes", g.count)
                      .set("bpp", depths)
                      .set("frequencies", rates)
                      .set("layouts", layouts));
    }
    return list;
}

} // namespace ksim
