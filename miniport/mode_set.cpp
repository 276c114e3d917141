// Entering a mode: configuration reset, windows, memory clock, display
// timing, pitch and start, the DAC's pixel format and pixel clock, and a
// clear of all of video memory. Reads top to bottom as the hardware sequence.
#include "miniport/chip_access.h"
#include "miniport/dac.h"
#include "miniport/hardware.h"

namespace {

// A chip that never goes idle must not hang the system: each wait gives up
// after one second of polling and the mode set carries on.
constexpr ULONG IDLE_WAIT_STEPS = 1000000 / STALL_STEP_US;

// Configuration reset: a pulse of the reset bit, then the native
// configuration (the window enables are lost; they are reopened at once).
constexpr ULONG CONFIG_PULSE_US = 100;

// Width in bits of one memory word, which carries 32 / bpp or 64 / bpp pixels.
constexpr ULONG SGRAM_WORD_BITS = 32;
constexpr ULONG WRAM_WORD_BITS = 64;

// DAC settings of a native mode, written in runs by auto-increment.
constexpr UCHAR MISC3_4_NATIVE[] = {0, 0};
constexpr UCHAR RGB528_MISC1_TO_5[] = {3, 0x45, 0x85, 0, 0};
// Registers 0x02 to 0x08: clocking, sync and output of a native mode.
constexpr UCHAR RGB526_CLOCK_SYNC_OUTPUT[] = {0x81, 0, 1, 0, 2, 0, 1};
constexpr UCHAR RGB528_CLOCK_SYNC_OUTPUT[] = {0x81, 0, 0, 0, 2, 0, 1};

struct HSCALE {
    ULONG mul; // pixels per character unit of the timing record
    ULONG div; // pixels per memory word
};

// No table row has a zero divisor; should one appear, the value stays
// unscaled rather than trapping.
ULONG divide(ULONG a, ULONG b)
{
    return b ? a / b : a;
}

// The RGB526 boards count horizontal timing in memory words; the other DAC
// types take the character units as stored.
HSCALE horizontal_scale(PBOARD_EXTENSION ext, const DISPLAY_MODE* mode)
{
    if (ext->ulDacType != DAC_TYPE_RGB526)
        return {1, 1};
    ULONG wordBits = ext->ulMemoryType ? SGRAM_WORD_BITS : WRAM_WORD_BITS;
    return {divide(mode->ModeInformation.VisScreenWidth, mode->pTiming->usHActive),
            divide(wordBits, mode->ModeInformation.BitsPerPlane)};
}

ULONG scaled(ULONG field, HSCALE s)
{
    return divide(field * s.mul, s.div);
}

UCHAR pixel_format(ULONG bitsPerPixel)
{
    if (bitsPerPixel == 16)
        return DAC_PIXEL_FORMAT_16BPP;
    if (bitsPerPixel == 32)
        return DAC_PIXEL_FORMAT_32BPP;
    return DAC_PIXEL_FORMAT_8BPP;
}

// Polls until `bits` of `reg` read clear, spending steps from `stepsLeft`.
VOID poll_until_clear(PBOARD_EXTENSION ext, ULONG reg, ULONG bits, ULONG* stepsLeft)
{
    while (Zorx_read_reg(ext, reg) & bits) {
        if (*stepsLeft == 0)
            return;
        --*stepsLeft;
        VideoPortStallExecution(STALL_STEP_US);
    }
}

// No drawing operation may be in flight while timing and memory change.
VOID wait_idle(PBOARD_EXTENSION ext)
{
    ULONG stepsLeft = IDLE_WAIT_STEPS;
    poll_until_clear(ext, REG_BUSY_COUNT, BUSY_COUNT_BITS, &stepsLeft);
    poll_until_clear(ext, REG_BUSY_STATUS, BUSY_STATUS_BITS, &stepsLeft);
}

VOID reset_configuration(PBOARD_EXTENSION ext)
{
    Zorx_set_io_bits(ext, IO_CONFIG, CONFIG_RESET);
    Zorx_delay(CONFIG_PULSE_US);
    Zorx_clear_io_bits(ext, IO_CONFIG, CONFIG_RESET);
    Zorx_delay(CONFIG_PULSE_US);
    Zorx_native_configuration(ext);
    if (ext->ulMemoryType == MEMORY_TYPE_WRAM)
        Zorx_set_io_bits(ext, IO_CONFIG, CONFIG_WRAM);
}

VOID write_memory_config(PBOARD_EXTENSION ext)
{
    ULONG config = MEMORY_CONFIG_SGRAM;
    if (ext->ulMemoryType == MEMORY_TYPE_WRAM)
        config = (Zorx_read_io(ext, IO_CONFIG) & CONFIG_WRAM) ? MEMORY_CONFIG_WRAM
                                                              : MEMORY_CONFIG_WRAM_FALLBACK;
    Zorx_write_reg(ext, REG_MEMORY_CONFIG, config);
    ext->ulMemConfig = config;
}

VOID write_geometry(PBOARD_EXTENSION ext, const DISPLAY_MODE* mode, HSCALE s)
{
    const MODE_TIMING* t = mode->pTiming;
    Zorx_write_reg(ext, REG_DISPLAY_RESERVED0, 0);
    Zorx_write_reg(ext, REG_DISPLAY_RESERVED1, 0);
    Zorx_write_reg(ext, REG_DISPLAY_START, ModeStartOffset(mode));
    Zorx_write_reg(ext, REG_DISPLAY_PITCH, ModePitch(mode));
    Zorx_write_reg(ext, REG_H_ACTIVE, scaled(t->usHActive, s));
    Zorx_write_reg(ext, REG_H_BLANK, scaled(t->usHBlank, s));
    Zorx_write_reg(ext, REG_H_FRONT_PORCH, scaled(t->usHSyncStart, s));
    Zorx_write_reg(ext, REG_H_SYNC, scaled(t->usHSyncWidth, s));
    Zorx_write_reg(ext, REG_V_ACTIVE, t->usVActive);
    Zorx_write_reg(ext, REG_V_BLANK, t->usVBlank);
    Zorx_write_reg(ext, REG_V_FRONT_PORCH, t->usVSyncStart);
    Zorx_write_reg(ext, REG_V_SYNC, t->usVSyncWidth);
    Zorx_write_reg(ext, REG_DISPLAY_RESERVED2, 0);
    Zorx_write_reg(ext, REG_DISPLAY_RESERVED3, 0);
}

// With the VCO register of pair 0 selected: the pixel clock, low byte first,
// then the PLL controls that make it take effect.
VOID write_pixel_clock(PBOARD_EXTENSION ext, ULONG pllWord)
{
    Zorx_dac_write(ext, pll_vco(pllWord));
    Zorx_dac_write(ext, pll_ref(pllWord));
    Zorx_dac_reselect(ext, DAC_REG_PLL_CONTROL1);
    Zorx_dac_write(ext, DAC_PLL_CONTROL1_PAIR);
    Zorx_dac_write(ext, DAC_PLL_CONTROL2_PAIR0);
}

VOID reload_pixel_clock(PBOARD_EXTENSION ext, ULONG pllWord)
{
    Zorx_dac_reselect(ext, DAC_REG_PIXCLK_VCO0);
    write_pixel_clock(ext, pllWord);
}

VOID cursor_off(PBOARD_EXTENSION ext)
{
    Zorx_dac_reselect(ext, DAC_REG_CURSOR_CONTROL);
    Zorx_dac_write(ext, DAC_CURSOR_OFF);
}

// Pixel format, then the 8/16/24/32-bpp controls in direct colour.
VOID write_pixel_controls(PBOARD_EXTENSION ext, UCHAR format)
{
    Zorx_dac_reselect(ext, DAC_REG_PIXEL_FORMAT);
    Zorx_dac_write(ext, format);
    Zorx_dac_write(ext, DAC_8BPP_CONTROL);
    Zorx_dac_write(ext, DAC_16BPP_DIRECT);
    Zorx_dac_write(ext, DAC_24BPP_DIRECT);
    Zorx_dac_write(ext, DAC_32BPP_DIRECT);
}

VOID dac_rgb526(PBOARD_EXTENSION ext, const DISPLAY_MODE* mode)
{
    ULONG pll = mode->pTiming->ulPll526;
    ULONG bpp = mode->ModeInformation.BitsPerPlane;
    BOOLEAN wram = ext->ulMemoryType == MEMORY_TYPE_WRAM;
    write_pixel_clock(ext, pll);
    cursor_off(ext);
    Zorx_dac_reselect(ext, DAC_REG_MISC1);
    Zorx_dac_write(ext, wram ? DAC_MISC1_WRAM : DAC_MISC1_SGRAM);
    Zorx_dac_write(ext, !wram && bpp == 32 ? DAC_MISC2_SGRAM_32BPP : DAC_MISC2_NATIVE);
    for (UCHAR value : MISC3_4_NATIVE)
        Zorx_dac_write(ext, value);
    Zorx_dac_write_run(ext, DAC_REG_MISC_CLOCK, RGB526_CLOCK_SYNC_OUTPUT);
    // The depth controls go in under the 8-bpp format; the real format follows.
    write_pixel_controls(ext, DAC_PIXEL_FORMAT_8BPP);
    Zorx_dac_reselect(ext, DAC_REG_32BPP);
    Zorx_dac_write(ext, DAC_32BPP_DIRECT);
    Zorx_dac_reselect(ext, DAC_REG_PIXEL_FORMAT);
    Zorx_dac_write(ext, pixel_format(bpp));
    reload_pixel_clock(ext, pll);
}

VOID dac_rgb528(PBOARD_EXTENSION ext, const DISPLAY_MODE* mode)
{
    ULONG pll = mode->pTiming->ulPll528;
    write_pixel_clock(ext, pll);
    cursor_off(ext);
    Zorx_dac_write_run(ext, DAC_REG_MISC1, RGB528_MISC1_TO_5);
    Zorx_dac_write_run(ext, DAC_REG_MISC_CLOCK, RGB528_CLOCK_SYNC_OUTPUT);
    write_pixel_controls(ext, pixel_format(mode->ModeInformation.BitsPerPlane));
    reload_pixel_clock(ext, pll);
}

// Every DAC type starts with the pixel-clock VCO register selected; the pixel
// clock is loaded twice, before and after the format change.
VOID program_dac(PBOARD_EXTENSION ext, const DISPLAY_MODE* mode)
{
    Zorx_dac_select(ext, DAC_REG_MISC2);
    Zorx_dac_write(ext, DAC_MISC2_CLOCK_CHANGE);
    Zorx_dac_reselect(ext, DAC_REG_PIXCLK_VCO0);
    if (ext->ulDacType == DAC_TYPE_RGB526 || ext->ulDacType == DAC_TYPE_RGB526_DRAM)
        dac_rgb526(ext, mode);
    else if (ext->ulDacType == DAC_TYPE_RGB528)
        dac_rgb528(ext, mode);
    Zorx_dac_port_write(ext, DAC_PIXEL_MASK, DAC_PIXEL_MASK_ALL);
}

} // namespace

VOID Zorx_set_mode(PBOARD_EXTENSION ext, PDISPLAY_MODE mode)
{
    reset_configuration(ext);
    Zorx_open_windows(ext);
    if (ext->fDeclock)
        Zorx_set_declock(ext, DECLOCK_PLL_WORD);
    HSCALE scale = horizontal_scale(ext, mode);
    wait_idle(ext);
    Zorx_write_reg(ext, REG_DISPLAY_CONTROL, mode->pTiming->ulSyncControl | DISPLAY_CONTROL_ENABLE);
    write_memory_config(ext);
    Zorx_clear_io_bits(ext, IO_CONTROL, CONTROL_NATIVE_CLEAR);
    Zorx_reset_wram(ext);
    if (!ext->fDeclock)
        Zorx_set_mclock(ext, MCLOCK_SELECT_GRAPHICS);
    write_geometry(ext, mode, scale);
    program_dac(ext, mode);
    // A declocked board gets its fixed memory clock again after the DAC changes.
    if (ext->fDeclock)
        Zorx_set_declock(ext, DECLOCK_PLL_WORD);
    wait_idle(ext);
    // All of memory, not only the visible surface: virtual desktops and the
    // off-screen heap start clean.
    VideoPortZeroDeviceMemory(ext->pFrameBuffer, board_memory_size(ext));
}
