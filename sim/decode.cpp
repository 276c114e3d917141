#include "decode.h"

#include "board.h"

namespace sim {

namespace dac_reg {
constexpr uint16_t PixelVco = 0x20;
constexpr uint16_t PixelRef = 0x21;
constexpr uint16_t SystemRef = 0x15;
constexpr uint16_t SystemVco = 0x16;
} // namespace dac_reg

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

} // namespace sim
