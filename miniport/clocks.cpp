// The DAC's system-clock synthesizer, which clocks the frame-buffer memory.
// Nothing computes dividers at run time: every PLL word is a constant here,
// an entry of ibm_mclock, or a field of a timing record.
#include "miniport/chip_access.h"
#include "miniport/dac.h"
#include "miniport/hardware.h"

namespace {

// 54.02 MHz: the memory clock the VGA BIOS expects.
constexpr ULONG MCLOCK_VGA = 0x0626;
// 75.53 MHz: SGRAM graphics clock when the user's selection names no entry.
constexpr ULONG MCLOCK_SGRAM_DEFAULT = 0x0647;
// WRAM graphics clocks: 58.22 MHz on the configurations 0, 4, 8 and 12,
// 55.86 MHz on the others.
constexpr ULONG MCLOCK_WRAM_FAST = 0x0849;
constexpr ULONG MCLOCK_WRAM_SLOW = 0x0846;
constexpr ULONG WRAM_FAST_CONFIG_MASK = ~0xCu;

// A synthesizer takes 2.5 ms to settle after a change.
constexpr ULONG PLL_SETTLE_US = 2500;

// The system clock takes its reference divider first, then the VCO byte,
// by auto-increment from 0x15 to 0x16.
VOID load_system_clock(PBOARD_EXTENSION ext, ULONG pllWord)
{
    Zorx_dac_write(ext, pll_ref(pllWord));
    Zorx_dac_write(ext, pll_vco(pllWord));
    Zorx_delay(PLL_SETTLE_US);
}

ULONG sgram_graphics_clock(PBOARD_EXTENSION ext)
{
    ULONG index = ext->ulMclockIndex;
    if (index < NUM_IBM_MCLOCK && ibm_mclock[index] != 0)
        return ibm_mclock[index];
    return MCLOCK_SGRAM_DEFAULT;
}

ULONG wram_graphics_clock(PBOARD_EXTENSION ext)
{
    // Configurations 0, 4, 8 and 12 are the only ones with no bit outside 0xC.
    return (ext->ulBoardConfig & WRAM_FAST_CONFIG_MASK) == 0 ? MCLOCK_WRAM_FAST : MCLOCK_WRAM_SLOW;
}

} // namespace

// PLL words by memory clock in MHz; 0 where there is no setting.
// clang-format off
const ULONG ibm_mclock[NUM_IBM_MCLOCK] = {
    // 0 to 29 MHz: no setting.
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0x0915, 0x0704, 0x0A25, 0x0813, 0x0600, 0x070D, 0x0926, 0x0929, 0x0A38, 0x0A3B, // 30
    0x0718, 0x0935, 0x082A, 0x0611, 0x0613, 0x0615, 0x0508, 0x0619, 0x050B, 0x050D, // 40
    0x061E, 0x0510, 0x0401, 0x0624, 0x0626, 0x0516, 0x0846, 0x0847, 0x0849, 0x084A, // 50
    0x0742, 0x0743, 0x0744, 0x0745, 0x0746, 0x0747, 0x0853, 0x0854, 0x0640, 0x0641, // 60
    0x0642, 0x074E, 0x074F, 0x0750, 0x0646, 0x0647, 0x0860, 0x0861, 0x0862, 0x0757, // 70
    0x0758, 0x0866, 0x0540, 0x0541, 0x064F, 0x0650, 0x0651, 0x0652, 0x0653, 0x0654, // 80
    0x0655, 0x0656, 0x0874, 0x0549, 0x13C6, 0x0983, 0x0879, 0x076B, 0x076C, 0x087D, // 90
    0x087E, 0,      0,      0,      0,      0x11C6, 0,      0,      0,      0,      // 100
    0x0668, 0,      0,      0,      0,      0x077F, 0,      0,      0,      0,      // 110
    0x0EC2, 0,      0,      0,      0,      0x0676,                                 // 120
};
// clang-format on

VOID Zorx_set_declock(PBOARD_EXTENSION ext, ULONG pllWord)
{
    Zorx_dac_select(ext, DAC_REG_SYSCLK_REF);
    load_system_clock(ext, pllWord);
}

VOID Zorx_set_mclock(PBOARD_EXTENSION ext, ULONG selector)
{
    Zorx_dac_select(ext, DAC_REG_SYSCLK_REF);
    ULONG pllWord;
    if (selector == MCLOCK_SELECT_VGA)
        pllWord = MCLOCK_VGA;
    else if (ext->ulMemoryType != MEMORY_TYPE_WRAM)
        pllWord = sgram_graphics_clock(ext);
    else
        pllWord = wram_graphics_clock(ext);
    load_system_clock(ext, pllWord);
}
