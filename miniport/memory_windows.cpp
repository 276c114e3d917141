// The chip's windows onto video memory: memory window 0 over the whole
// memory, and the two XY windows sized to the XY aperture.
#include "miniport/chip_access.h"
#include "miniport/hardware.h"

namespace {

// Code 20 spans 4 GiB, enough for any 32-bit length; stopping there keeps
// the shift inside 32 bits.
constexpr ULONG WINDOW_CODE_MAX = 20;

ULONG window_size_code(ULONG length)
{
    ULONG code = 0;
    while (code < WINDOW_CODE_MAX && (WINDOW_SIZE_UNIT << code) < length)
        ++code;
    return code;
}

VOID enable_xy(PBOARD_EXTENSION ext, ULONG controlReg, ULONG enableBit)
{
    ULONG code = window_size_code(ext->AccessRanges[RANGE_XY_WINDOW].RangeLength);
    ULONG control = Zorx_read_reg(ext, controlReg) & ~XY_SIZE_FIELD;
    Zorx_write_reg(ext, controlReg, control | ((code << XY_SIZE_SHIFT) & XY_SIZE_FIELD));
    Zorx_set_io_bits(ext, IO_CONFIG, enableBit);
}

} // namespace

VOID Zorx_enable_mw0(PBOARD_EXTENSION ext)
{
    Zorx_write_reg(ext, REG_MW0_BASE, 0);
    Zorx_write_reg(ext, REG_MW0_SIZE, window_size_code(board_memory_size(ext)));
    Zorx_write_reg(ext, REG_MW0_ORIGIN, 0);
    Zorx_write_reg(ext, REG_MW0_CONTROL, 0);
    Zorx_write_reg(ext, REG_MW0_MASK, MW0_PASS_ALL);
    Zorx_set_io_bits(ext, IO_CONFIG, CONFIG_ENABLE_MW0);
}

VOID Zorx_enable_xyA(PBOARD_EXTENSION ext)
{
    enable_xy(ext, REG_XYA_CONTROL, CONFIG_ENABLE_XYA);
}

VOID Zorx_enable_xyB(PBOARD_EXTENSION ext)
{
    enable_xy(ext, REG_XYB_CONTROL, CONFIG_ENABLE_XYB);
}

VOID Zorx_open_windows(PBOARD_EXTENSION ext)
{
    Zorx_enable_mw0(ext);
    Zorx_enable_xyA(ext);
    Zorx_enable_xyB(ext);
}
