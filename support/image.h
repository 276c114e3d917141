// An RGB picture as a monitor shows it: what scan-out produces, what a test
// pattern should look like, and what PNG files hold.
#pragma once

#include "support/rgb.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<Rgb> pixels; // row by row, top line first

    Image() = default;
    Image(uint32_t w, uint32_t h, Rgb fill = {}) : width(w), height(h), pixels(size_t(w) * h, fill)
    {
    }
    Rgb& at(uint32_t x, uint32_t y) { return pixels[size_t(y) * width + x]; }
    const Rgb& at(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
    bool empty() const { return pixels.empty(); }
};

// Where two pictures first differ, and how many pixels do.
struct ImageDifference {
    uint64_t count = 0; // differing pixels (all of them when the sizes differ)
    uint32_t x = 0, y = 0;
    Rgb want, got;
    bool size_differs = false;
    explicit operator bool() const { return count != 0; }
};
ImageDifference compare_images(const Image& want, const Image& got);

} // namespace sim
