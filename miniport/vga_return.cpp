// The WRAM reset and the return to VGA. The reset callback runs the return
// at raised interrupt level (shutdown, crash), so without the BIOS call it
// and everything it reaches only writes registers and stalls.
#include "miniport/chip_access.h"
#include "miniport/dac.h"
#include "miniport/hardware.h"
#include "miniport/korvid.h"

namespace {

// WRAM needs its reset held, and then time to come out of it.
constexpr ULONG WRAM_RESET_HOLD_US = 100;
constexpr ULONG WRAM_RESET_RECOVER_US = 100;

// Lets a drawing operation in flight finish before memory changes layout.
constexpr ULONG VGA_RETURN_SETTLE_US = 50;

// The VGA settings of the DAC.
constexpr UCHAR VGA_MISC3_4[] = {0, 0};
// Registers 0x02 to 0x08: all off except the DAC operation (0x06) and the
// system clock control (0x08).
constexpr UCHAR VGA_CLOCK_SYNC_OUTPUT[] = {0, 0, 0, 0, 2, 0, 1};

// BIOS function 0 (set video mode), mode 3 (80 x 25 colour text).
constexpr ULONG BIOS_SET_TEXT_MODE_3 = 0x0003;

VOID dac_to_vga(PBOARD_EXTENSION ext)
{
    Zorx_dac_select(ext, DAC_REG_MISC1);
    Zorx_dac_write(ext, DAC_MISC_VGA);
    Zorx_dac_write_run(ext, DAC_REG_MISC3, VGA_MISC3_4);
    Zorx_dac_write_run(ext, DAC_REG_MISC_CLOCK, VGA_CLOCK_SYNC_OUTPUT);
    Zorx_dac_reselect(ext, DAC_REG_PLL_CONTROL1);
    Zorx_dac_write(ext, DAC_PLL_CONTROL1_VGA);
    Zorx_dac_reselect(ext, DAC_REG_MISC2);
    Zorx_dac_write(ext, DAC_MISC_VGA);
    Zorx_dac_reselect(ext, DAC_REG_CURSOR_CONTROL);
    Zorx_dac_write(ext, DAC_CURSOR_OFF);
}

VOID bios_text_mode(PBOARD_EXTENSION ext)
{
    VIDEO_X86_BIOS_ARGUMENTS args;
    VideoPortZeroMemory(&args, sizeof args);
    args.Eax = BIOS_SET_TEXT_MODE_3;
    // Nothing to do about a failure: the board is already out of the native mode.
    VideoPortInt10(ext, &args);
}

} // namespace

VOID Zorx_reset_wram(PBOARD_EXTENSION ext)
{
    if (ext->ulMemoryType != MEMORY_TYPE_WRAM)
        return;
    ULONG reset = Zorx_read_io(ext, IO_MEMORY_RESET);
    Zorx_write_io(ext, IO_MEMORY_RESET, 0);
    Zorx_delay(WRAM_RESET_HOLD_US);
    Zorx_write_io(ext, IO_MEMORY_RESET, reset | WRAM_RESET_RELEASE);
    Zorx_delay(WRAM_RESET_RECOVER_US);
}

VOID Zorx_set_vga_mode(PBOARD_EXTENSION ext, BOOLEAN callBios)
{
    Zorx_delay(VGA_RETURN_SETTLE_US);
    Zorx_write_reg(ext, REG_MEMORY_CONFIG, ext->ulMemConfig & ~MEMORY_CONFIG_GRAPHICS);
    Zorx_reset_wram(ext);
    // A board on the fixed memory clock keeps it in VGA as well.
    if (!ext->fDeclock)
        Zorx_set_mclock(ext, MCLOCK_SELECT_VGA);
    dac_to_vga(ext);
    // The BIOS serves the system's VGA only: a mode-3 call for any other
    // board would reset the primary display instead.
    if (callBios && Zorx_is_primary_vga(ext))
        bios_text_mode(ext);
}
