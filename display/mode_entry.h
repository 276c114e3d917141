// Layouts, wanted modes and mode entries: the display driver's vocabulary
// for the modes it chooses from.
#pragma once

#include "platform/videoport/video.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// Virtual-desktop layouts of a mode: one screen, double wide, two tall, both.
enum class Layout : uint8_t { Single, Wide, Tall, Both };
const char* layout_name(Layout l);
std::optional<Layout> parse_layout(std::string_view name);

struct WantedMode {
    uint32_t width = 0, height = 0, bpp = 0;
    uint32_t frequency = 0; // 0: the lowest rate the list offers
    Layout layout = Layout::Single;
};
// "WxHxBPP[@HZ][:single|wide|tall|both]"; null with the reason in *error.
std::optional<WantedMode> parse_wanted_mode(std::string_view text, std::string* error);
std::string to_string(const WantedMode& want);

// One mode of the list, with the virtual extents the private requests give.
struct ModeEntry {
    VIDEO_MODE_INFORMATION info{};
    uint32_t extra_width = 0, extra_height = 0;

    uint32_t index() const { return info.ModeIndex; }
    uint32_t width() const { return info.VisScreenWidth; }
    uint32_t height() const { return info.VisScreenHeight; }
    uint32_t bpp() const { return info.BitsPerPlane * info.NumberOfPlanes; }
    uint32_t frequency() const { return info.Frequency; }
    Layout layout() const;
    // The whole surface: bytes per line, and where it starts in video memory
    // (surfaces above 4 MiB start at 4 MiB mod pitch, rounded up to 128).
    uint32_t pitch() const;
    uint32_t start_offset() const;
    bool matches(const WantedMode& want) const;
    WantedMode as_wanted() const; // this mode, to find it again elsewhere
};

} // namespace sim
