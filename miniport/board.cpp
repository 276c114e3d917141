#include "miniport/board.h"

namespace {
// Memory size by the low three bits of the configuration code.
const ULONG VRAM_SIZE_BY_CODE[8] = {
    0x400000, 0x800000, 0xC00000, 0x1400000, 0x800000, 0xC00000, 0x1000000, 0x1800000,
};
} // namespace

ULONG Zorx_vram_size(PBOARD_EXTENSION ext)
{
    return VRAM_SIZE_BY_CODE[ext->ulBoardConfig & BOARD_CONFIG_SIZE_MASK];
}

LONG Zorx_dac_type(PBOARD_EXTENSION)
{
    // Every board of the family carries the RGB526.
    return DAC_TYPE_RGB526;
}
