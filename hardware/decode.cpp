#include "hardware/decode.h"

#include "hardware/board.h"

#include <cstdio>

namespace sim {

namespace {

// Depth-control fields that send pixels straight to the DACs.
constexpr uint8_t kDirect16Field = 0xC0; // bits 7-6 both set
constexpr uint8_t kDirect24Bit = 0x01;
constexpr uint8_t kDirect32Field = 0x03; // bits 1-0 both set
constexpr uint8_t kCursorModeBits = 0x03;

unsigned bpp_of_format(uint8_t format)
{
    switch (format & 7) {
    case 3:
        return 8;
    case 4:
        return 16;
    case 5:
        return 24;
    case 6:
        return 32;
    default:
        return 0;
    }
}

ColourPath colour_path(const Dac& dac, unsigned bpp)
{
    switch (bpp) {
    case 16:
        return (dac.reg(dac_reg::Control16) & kDirect16Field) == kDirect16Field ? ColourPath::Direct
                                                                                : ColourPath::Gamma;
    case 24:
        return dac.reg(dac_reg::Control24) & kDirect24Bit ? ColourPath::Direct : ColourPath::Gamma;
    case 32:
        return (dac.reg(dac_reg::Control32) & kDirect32Field) == kDirect32Field ? ColourPath::Direct
                                                                                : ColourPath::Gamma;
    default:
        return ColourPath::Palette;
    }
}

Rgb dac_colour(const Dac& dac, uint16_t first)
{
    return Rgb{dac.reg(first), dac.reg(first + 1), dac.reg(first + 2)};
}

void decode_memory(const Board& b, DisplayState& s)
{
    s.memory_config = b.reg(chip::MemoryConfig);
    s.native = s.memory_config & chip::MemConfigGraphics;
    if (s.memory_config & chip::MemConfigSgram) {
        s.memory = MemoryKind::Sgram;
        s.word_bits = 32;
    } else if (s.memory_config & chip::MemConfigWram) {
        s.memory = MemoryKind::Wram;
        s.word_bits = 64;
    }
    s.memory_pll = memory_pll_word(b);
    s.memory_clock_hz = pll_frequency_hz(s.memory_pll);
}

void decode_timing(const Board& b, DisplayState& s)
{
    const uint32_t h[4] = {chip::HActive, chip::HBlank, chip::HFrontPorch, chip::HSync};
    const uint32_t v[4] = {chip::VActive, chip::VBlank, chip::VFrontPorch, chip::VSync};
    for (int i = 0; i < 4; ++i) {
        s.h_regs[i] = b.reg(h[i]);
        s.v_regs[i] = b.reg(v[i]);
    }
    // Horizontal registers count memory words; a word holds pixels_per_word pixels.
    uint32_t ppw = s.pixels_per_word ? s.pixels_per_word : 1;
    s.h_active = s.h_regs[0] * ppw;
    s.h_blank = s.h_regs[1] * ppw;
    s.h_front_porch = s.h_regs[2] * ppw;
    s.h_sync = s.h_regs[3] * ppw;
    s.v_active = s.v_regs[0];
    s.v_blank = s.v_regs[1];
    s.v_front_porch = s.v_regs[2];
    s.v_sync = s.v_regs[3];
    s.h_total = s.h_active + s.h_blank;
    s.v_total = s.v_active + s.v_blank;
    s.pixel_pll = pixel_pll_word(b);
    s.pixel_clock_hz = pll_frequency_hz(s.pixel_pll);
    double frame = double(s.h_total) * s.v_total;
    s.refresh_hz = frame > 0 ? s.pixel_clock_hz / frame : 0.0;
    s.start = b.reg(chip::DisplayStart);
    s.pitch = b.reg(chip::DisplayPitch);
    uint32_t control = b.reg(chip::DisplayControl);
    s.hsync_positive = control & 1;
    s.vsync_positive = control & 2;
}

} // namespace

double pll_frequency_hz(uint16_t word)
{
    unsigned ref = word >> 8;
    unsigned df = (word >> 6) & 3;
    unsigned vf = word & 0x3F;
    if (ref == 0)
        return 0.0;
    return kPllReferenceHz * (vf + 65) / (ref * double(1u << (3 - df)));
}

uint16_t pixel_pll_word(const Board& b)
{
    return static_cast<uint16_t>((b.dac().reg(dac_reg::PixelRef) << 8) |
                                 b.dac().reg(dac_reg::PixelVco));
}

uint16_t memory_pll_word(const Board& b)
{
    return static_cast<uint16_t>((b.dac().reg(dac_reg::SystemRef) << 8) |
                                 b.dac().reg(dac_reg::SystemVco));
}

DisplayState decode_display(const Board& b)
{
    DisplayState s;
    const Dac& dac = b.dac();
    s.text_mode = b.text_mode();
    decode_memory(b, s);
    s.pixel_format = dac.reg(dac_reg::PixelFormat);
    s.bpp = bpp_of_format(s.pixel_format);
    if (s.bpp && s.word_bits >= s.bpp)
        s.pixels_per_word = s.word_bits / s.bpp;
    decode_timing(b, s);
    s.path = colour_path(dac, s.bpp);
    s.cursor_on = dac.reg(dac_reg::CursorControl) & kCursorModeBits;
    s.cursor_colour1 = dac_colour(dac, dac_reg::CursorColour1);
    s.cursor_colour2 = dac_colour(dac, dac_reg::CursorColour2);
    s.pixel_mask = dac.pixel_mask();
    return s;
}

const char* memory_kind_name(MemoryKind m)
{
    switch (m) {
    case MemoryKind::Sgram:
        return "SGRAM";
    case MemoryKind::Wram:
        return "WRAM";
    default:
        return "memory type unknown";
    }
}

const char* colour_path_name(ColourPath p)
{
    switch (p) {
    case ColourPath::Palette:
        return "palette";
    case ColourPath::Direct:
        return "direct colour";
    default:
        return "gamma ramp";
    }
}

std::string describe(const DisplayState& s)
{
    char buf[384];
    if (!s.native) {
        std::snprintf(buf, sizeof buf, "VGA%s (memory configuration 0x%X), memory clock %.2f MHz",
                      s.text_mode ? " text" : "", s.memory_config, s.memory_clock_hz / 1e6);
        return buf;
    }
    std::snprintf(buf, sizeof buf,
                  "%ux%u %u bpp %s, %.2f Hz (%ux%u at %.3f MHz, %chsync %cvsync), memory clock "
                  "%.2f MHz, pitch %u, start %u, %s, cursor %s (#%02X%02X%02X #%02X%02X%02X), "
                  "pixel mask 0x%02X",
                  s.h_active, s.v_active, s.bpp, memory_kind_name(s.memory), s.refresh_hz,
                  s.h_total, s.v_total, s.pixel_clock_hz / 1e6, s.hsync_positive ? '+' : '-',
                  s.vsync_positive ? '+' : '-', s.memory_clock_hz / 1e6, s.pitch, s.start,
                  colour_path_name(s.path), s.cursor_on ? "on" : "off", s.cursor_colour1.r,
                  s.cursor_colour1.g, s.cursor_colour1.b, s.cursor_colour2.r, s.cursor_colour2.g,
                  s.cursor_colour2.b, s.pixel_mask);
    return buf;
}

} // namespace sim
