// Scan-out: what a monitor attached to a board shows. The picture comes from
// the board's programmed state only (display start, pitch, active size, the
// DAC's pixel format and colour path, palette and pixel mask), never from the
// mode tables, so a wrong register shows up as a wrong picture.
#pragma once

#include "hardware/decode.h"
#include "support/image.h"

#include <optional>
#include <string>

namespace sim {

class Board;

// Largest picture scan-out produces; registers beyond it are not a mode.
constexpr uint32_t kMaxScanoutSide = 4096;

// Scans video memory out as `s` describes it; `s` is normally
// decode_display(b), and a test may hand in an altered copy. Null with the
// reason in *why when the board shows no native mode.
std::optional<Image> scan_out(const Board& b, const DisplayState& s, std::string* why);
std::optional<Image> scan_out(const Board& b, std::string* why);

// The colour one pixel value turns into on its way through the DAC.
Rgb pixel_colour(const Board& b, const DisplayState& s, uint32_t value);

} // namespace sim
