// Turns board state into human terms: clocks, timing, pitch, start, format.
#pragma once

#include <cstdint>

namespace sim {

class Board;

constexpr double kPllReferenceHz = 25'175'000.0;

// Frequency of a DAC clock synthesizer set with a PLL word:
// 25.175 MHz x (VF + 65) / (REF x 2^(3 - DF)). 0 for a reference count of 0.
double pll_frequency_hz(uint16_t word);

// The PLL words the DAC's two synthesizers hold now.
uint16_t pixel_pll_word(const Board& b);
uint16_t memory_pll_word(const Board& b);

} // namespace sim
