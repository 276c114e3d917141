// One colour as a monitor shows it: 8 bits each of red, green and blue.
#pragma once

#include <cstdint>

namespace sim {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

} // namespace sim
