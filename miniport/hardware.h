// Hardware programming: DAC access and clocks, memory windows, memory reset
// and the return to VGA, the mode set, palette, gamma ramp and cursor colour.
#pragma once

#include "miniport/modes.h"

// Clocks (the DAC's system-clock and pixel-clock synthesizers).
constexpr ULONG DECLOCK_PLL_WORD = 0x0A25;
constexpr ULONG MCLOCK_SELECT_VGA = 0;
constexpr ULONG MCLOCK_SELECT_GRAPHICS = 1;
constexpr ULONG NUM_IBM_MCLOCK = 126;
extern const ULONG ibm_mclock[NUM_IBM_MCLOCK];

VOID Zorx_set_declock(PBOARD_EXTENSION ext, ULONG pllWord);
VOID Zorx_set_mclock(PBOARD_EXTENSION ext, ULONG selector);

// Memory windows, memory reset, return to VGA.
VOID Zorx_enable_mw0(PBOARD_EXTENSION ext);
VOID Zorx_enable_xyA(PBOARD_EXTENSION ext);
VOID Zorx_enable_xyB(PBOARD_EXTENSION ext);
// Frame-buffer window 0, then XY windows A and B.
VOID Zorx_open_windows(PBOARD_EXTENSION ext);
VOID Zorx_reset_wram(PBOARD_EXTENSION ext);
VOID Zorx_set_vga_mode(PBOARD_EXTENSION ext, BOOLEAN callBios);

// Mode set.
VOID Zorx_set_mode(PBOARD_EXTENSION ext, PDISPLAY_MODE mode);

// Palette, gamma ramp and cursor colour.
VOID Zorx_set_colors(PBOARD_EXTENSION ext, ULONG first, ULONG count, PVIDEO_CLUTDATA entries);
BOOLEAN fQueryGammaSupport(PBOARD_EXTENSION ext);
BOOLEAN fEnableGammaSupport(PBOARD_EXTENSION ext);
BOOLEAN fDisableGammaSupport(PBOARD_EXTENSION ext);
BOOLEAN fUpdateGammaLUT(PBOARD_EXTENSION ext);
BOOLEAN fSetGammaLUT(PBOARD_EXTENSION ext, ULONG first, ULONG count, const ULONG* words,
                     LONG wordBytes);
VOID vSetCursorColor(PBOARD_EXTENSION ext);
