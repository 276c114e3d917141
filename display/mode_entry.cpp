// Layouts, wanted modes and mode entries: the display driver's
// vocabulary for the modes it chooses from.
#include "display/mode_entry.h"

#include "display/miniport_requests.h"

namespace sim {

namespace {

constexpr uint32_t kLargeSurface = 0x400000; // surfaces above 4 MiB start further in
constexpr uint32_t kStartAlign = 128;

} // namespace

// ---- layouts and wanted modes ------------------------------------------

const char* layout_name(Layout l)
{
    switch (l) {
    case Layout::Single:
        return "single";
    case Layout::Wide:
        return "wide";
    case Layout::Tall:
        return "tall";
    case Layout::Both:
        return "both";
    }
    return "?";
}

std::optional<Layout> parse_layout(std::string_view name)
{
    for (Layout l : {Layout::Single, Layout::Wide, Layout::Tall, Layout::Both})
        if (name == layout_name(l))
            return l;
    return std::nullopt;
}

std::optional<WantedMode> parse_wanted_mode(std::string_view text, std::string* error)
{
    auto fail = [&](const std::string& why) -> std::optional<WantedMode> {
        *error = "bad mode '" + std::string(text) + "': " + why;
        return std::nullopt;
    };
    WantedMode want;
    std::string_view rest = text;
    if (size_t colon = rest.find(':'); colon != std::string_view::npos) {
        auto layout = parse_layout(rest.substr(colon + 1));
        if (!layout)
            return fail("the layout after ':' is single, wide, tall or both");
        want.layout = *layout;
        rest = rest.substr(0, colon);
    }
    if (size_t at = rest.find('@'); at != std::string_view::npos) {
        auto hz = parse_number(rest.substr(at + 1));
        if (!hz || *hz == 0)
            return fail("the refresh after '@' is a rate in Hz");
        want.frequency = *hz;
        rest = rest.substr(0, at);
    }
    uint32_t* fields[] = {&want.width, &want.height, &want.bpp};
    for (int i = 0; i < 3; ++i) {
        size_t x = i < 2 ? rest.find('x') : rest.size();
        if (x == std::string_view::npos)
            return fail("expected WIDTHxHEIGHTxBPP, e.g. 1024x768x16@75");
        auto v = parse_number(rest.substr(0, x));
        if (!v || *v == 0)
            return fail("expected WIDTHxHEIGHTxBPP, e.g. 1024x768x16@75");
        *fields[i] = *v;
        rest = i < 2 ? rest.substr(x + 1) : std::string_view{};
    }
    return want;
}

std::string to_string(const WantedMode& want)
{
    std::string s = std::to_string(want.width) + "x" + std::to_string(want.height) + "x" +
                    std::to_string(want.bpp);
    if (want.frequency) {
        s += '@';
        s += std::to_string(want.frequency);
    }
    s += ':';
    return s + layout_name(want.layout);
}

Layout ModeEntry::layout() const
{
    if (extra_width && extra_height)
        return Layout::Both;
    return extra_width ? Layout::Wide : extra_height ? Layout::Tall : Layout::Single;
}

uint32_t ModeEntry::pitch() const
{
    return info.ScreenStride + extra_width * bpp() / 8;
}

uint32_t ModeEntry::start_offset() const
{
    uint32_t p = pitch();
    if (!p || uint64_t(height() + extra_height) * p <= kLargeSurface)
        return 0;
    return (kLargeSurface % p + kStartAlign - 1) & ~(kStartAlign - 1);
}

bool ModeEntry::matches(const WantedMode& s) const
{
    return width() == s.width && height() == s.height && bpp() == s.bpp &&
           (s.frequency == 0 || frequency() == s.frequency) && layout() == s.layout;
}

WantedMode ModeEntry::as_wanted() const
{
    return {width(), height(), bpp(), frequency(), layout()};
}

} // namespace sim
