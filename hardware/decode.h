// Turns board state into human terms: clocks, timing, pitch, start, format.
#pragma once

#include "hardware/dac.h"

#include <cstdint>
#include <string>

namespace sim {

class Board;

constexpr double kPllReferenceHz = 25'175'000.0;

// Frequency of a DAC clock synthesizer set with a PLL word:
// 25.175 MHz x (VF + 65) / (REF x 2^(3 - DF)). 0 for a reference count of 0.
double pll_frequency_hz(uint16_t word);

// The PLL words the DAC's two synthesizers hold now.
uint16_t pixel_pll_word(const Board& b);
uint16_t memory_pll_word(const Board& b);

enum class MemoryKind : uint8_t { Unknown, Sgram, Wram };

// How the DAC turns pixels into colours: through the palette as a colour
// map (8 bpp), straight to the DACs (16/32 bpp), or through the palette as
// a gamma ramp (16/32 bpp with the depth control set to indirect).
enum class ColourPath : uint8_t { Palette, Direct, Gamma };

struct DisplayState {
    bool native = false;    // memory configuration in the graphics layout
    bool text_mode = false; // the board shows VGA text
    uint32_t memory_config = 0;
    MemoryKind memory = MemoryKind::Unknown;
    unsigned word_bits = 0; // width of a memory word: 32 SGRAM, 64 WRAM

    uint8_t pixel_format = 0; // DAC pixel format register
    unsigned bpp = 0;         // 0 for a format the decoder does not know
    unsigned pixels_per_word = 0;

    uint16_t pixel_pll = 0, memory_pll = 0;
    double pixel_clock_hz = 0, memory_clock_hz = 0;

    // Timing registers as programmed, and in pixels and lines.
    uint32_t h_regs[4] = {}; // active, blank, front porch, sync (memory words)
    uint32_t v_regs[4] = {}; // active, blank, front porch, sync (lines)
    uint32_t h_active = 0, h_blank = 0, h_front_porch = 0, h_sync = 0; // pixels
    uint32_t v_active = 0, v_blank = 0, v_front_porch = 0, v_sync = 0; // lines
    uint32_t h_total = 0, v_total = 0;
    double refresh_hz = 0; // 0 when the totals or the clock are 0

    uint32_t start = 0, pitch = 0; // bytes
    bool hsync_positive = false, vsync_positive = false;

    ColourPath path = ColourPath::Palette;
    bool cursor_on = false;
    Rgb cursor_colour1, cursor_colour2;
    uint8_t pixel_mask = 0;
};

DisplayState decode_display(const Board& b);
const char* memory_kind_name(MemoryKind m);
const char* colour_path_name(ColourPath p);
// One line in plain terms, e.g. "640x480 8 bpp WRAM, 59.94 Hz (800x525 at
// 25.175 MHz), ...".
std::string describe(const DisplayState& s);

} // namespace sim
