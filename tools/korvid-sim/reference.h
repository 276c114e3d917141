// The mode database as korvid-sim is built with it: the rows and timing
// records of the miniport's tables, as the reference that the audit holds the
// programmed registers against (for a loaded korvid.sys too, whose own copy
// of the tables cannot be read from outside).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ksim {

struct TableRow {
    uint32_t index = 0;
    uint32_t width = 0, height = 0, bpp = 0, frequency = 0;
    uint32_t extra_width = 0, extra_height = 0;
    uint32_t pitch = 0, start = 0;
    // In pixels: active, blank, front porch, sync; vertical ones in lines.
    uint32_t h[4] = {}, v[4] = {};
    uint32_t pixel_clock_hz = 0;
    uint16_t pll = 0;
    bool test_slot = false, custom_slot = false;

    std::string name() const; // "1024x768x16@75:single"
    bool single() const { return !extra_width && !extra_height; }
};

uint32_t table_size(bool sgram);
std::optional<TableRow> table_row(bool sgram, uint32_t index);

} // namespace ksim
