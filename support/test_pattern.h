// The pictures a display driver draws to show that a mode comes out right:
// colour bars, a grid, and text. Every colour in them has components of 0 or
// 255 only, so each one survives 8 bpp (through the palette below), 16 bpp
// and 32 bpp unchanged and a scanned-out picture can be compared exactly.
#pragma once

#include "support/image.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

enum class Pattern : uint8_t { Bars, Grid, Text };

const char* pattern_name(Pattern p);
std::optional<Pattern> parse_pattern(std::string_view name);

// The picture of a pattern at a resolution; `caption` is the text that the
// text pattern shows (the others ignore it).
Image render_pattern(Pattern p, uint32_t width, uint32_t height, const std::string& caption = {});

// The palette the display driver loads for 8 bpp: a 3-3-2 colour cube
// (red in bits 7-5, green in bits 4-2, blue in bits 1-0 of the index).
std::array<Rgb, 256> pattern_palette();

// A colour as a pixel of the given depth: its 3-3-2 palette index at 8 bpp,
// RGB 5-6-5 at 16 bpp, 0x00RRGGBB at 32 bpp.
uint32_t pack_pixel(Rgb c, unsigned bpp);

// Writes a picture into a frame buffer of `pitch` bytes per line, starting at
// `base`, `length` bytes long; lines or pixels past the end are left out.
// Returns false when the picture does not fit (nothing past `length` is written).
bool write_picture(const Image& picture, unsigned bpp, uint8_t* base, uint32_t pitch,
                   uint32_t length);

} // namespace sim
