#include "hardware/scanout.h"

#include "hardware/board.h"

#include <cstring>

namespace sim {

namespace {

// A 5- or 6-bit component widened to 8 bits, low bits repeating the high ones.
uint8_t widen(uint32_t v, unsigned bits)
{
    return static_cast<uint8_t>((v << (8 - bits)) | (v >> (2 * bits - 8)));
}

Rgb split(uint32_t value, unsigned bpp)
{
    if (bpp == 16)
        return Rgb{widen((value >> 11) & 0x1F, 5), widen((value >> 5) & 0x3F, 6),
                   widen(value & 0x1F, 5)};
    return Rgb{uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
}

std::string not_shown(const DisplayState& s)
{
    if (!s.native)
        return s.text_mode ? "the board shows VGA text, not a native mode"
                           : "the board is in its VGA configuration, not a native mode";
    if (!s.bpp)
        return "the DAC's pixel format " + std::to_string(s.pixel_format) +
               " is not one the board can show";
    if (!s.h_active || !s.v_active || s.h_active > kMaxScanoutSide || s.v_active > kMaxScanoutSide)
        return "the display timing registers give no picture (" + std::to_string(s.h_active) + "x" +
               std::to_string(s.v_active) + ")";
    return {};
}

} // namespace

Rgb pixel_colour(const Board& b, const DisplayState& s, uint32_t value)
{
    const Dac& dac = b.dac();
    if (s.bpp == 8)
        return dac.palette(value & s.pixel_mask & 0xFF);
    Rgb c = split(value, s.bpp);
    if (s.path != ColourPath::Gamma)
        return c;
    // Each component indexes the palette, which holds the gamma ramp.
    return Rgb{dac.palette(c.r).r, dac.palette(c.g).g, dac.palette(c.b).b};
}

std::optional<Image> scan_out(const Board& b, const DisplayState& s, std::string* why)
{
    if (std::string reason = not_shown(s); !reason.empty()) {
        if (why)
            *why = reason;
        return std::nullopt;
    }
    const uint8_t* memory = b.frame_buffer().base();
    const uint64_t size = b.memory_size();
    const uint32_t bytes = s.bpp / 8;
    Image img(s.h_active, s.v_active);
    for (uint32_t y = 0; y < img.height; ++y) {
        uint64_t line = uint64_t(s.start) + uint64_t(y) * s.pitch;
        for (uint32_t x = 0; x < img.width; ++x) {
            uint64_t at = line + uint64_t(x) * bytes;
            if (at + bytes > size)
                continue; // past video memory the DAC sees nothing: black
            uint32_t v = 0;
            std::memcpy(&v, memory + at, bytes);
            img.at(x, y) = pixel_colour(b, s, v);
        }
    }
    return img;
}

std::optional<Image> scan_out(const Board& b, std::string* why)
{
    return scan_out(b, decode_display(b), why);
}

} // namespace sim
