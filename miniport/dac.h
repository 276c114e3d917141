// The RAMDAC: eight byte-wide ports at the start of the register aperture,
// 4 bytes apart, and the indexed registers behind index low/high/data.
// Ordinary sequences write the ports 8 bits wide; the gamma operations use
// 32-bit writes that carry the byte on the low lane. The DAC is never read.
#pragma once

#include "board.h"

// Ports, as offsets into the register aperture.
constexpr ULONG DAC_PALETTE_WRITE_ADDRESS = 0x00;
constexpr ULONG DAC_PALETTE_DATA = 0x04;
constexpr ULONG DAC_PIXEL_MASK = 0x08;
constexpr ULONG DAC_PALETTE_READ_ADDRESS = 0x0C;
constexpr ULONG DAC_INDEX_LOW = 0x10;
constexpr ULONG DAC_INDEX_HIGH = 0x14;
constexpr ULONG DAC_INDEX_DATA = 0x18;
constexpr ULONG DAC_INDEX_CONTROL = 0x1C;

// Index control: advance the index after every index-data access.
constexpr UCHAR DAC_INDEX_AUTO_INCREMENT = 1;
// Every register in use lies below 0x100, so index high is always 0.
constexpr UCHAR DAC_INDEX_HIGH_ZERO = 0;

constexpr UCHAR DAC_PIXEL_MASK_ALL = 0xFF;

// Indexed registers.
constexpr UCHAR DAC_REG_MISC_CLOCK = 0x02;
constexpr UCHAR DAC_REG_SYNC = 0x03;
constexpr UCHAR DAC_REG_HSYNC_POSITION = 0x04;
constexpr UCHAR DAC_REG_POWER = 0x05;
constexpr UCHAR DAC_REG_OPERATION = 0x06;
constexpr UCHAR DAC_REG_PALETTE_CONTROL = 0x07;
constexpr UCHAR DAC_REG_SYSCLK_CONTROL = 0x08;
constexpr UCHAR DAC_REG_PIXEL_FORMAT = 0x0A;
constexpr UCHAR DAC_REG_8BPP = 0x0B;
constexpr UCHAR DAC_REG_16BPP = 0x0C;
constexpr UCHAR DAC_REG_24BPP = 0x0D;
constexpr UCHAR DAC_REG_32BPP = 0x0E;
constexpr UCHAR DAC_REG_PLL_CONTROL1 = 0x10;
constexpr UCHAR DAC_REG_PLL_CONTROL2 = 0x11;
constexpr UCHAR DAC_REG_SYSCLK_REF = 0x15;
constexpr UCHAR DAC_REG_SYSCLK_VCO = 0x16;
constexpr UCHAR DAC_REG_PIXCLK_VCO0 = 0x20;
constexpr UCHAR DAC_REG_PIXCLK_REF0 = 0x21;
constexpr UCHAR DAC_REG_CURSOR_CONTROL = 0x30;
constexpr UCHAR DAC_REG_CURSOR_COLOR1 = 0x40;
constexpr UCHAR DAC_REG_CURSOR_COLOR2 = 0x43;
constexpr UCHAR DAC_REG_MISC1 = 0x70;
constexpr UCHAR DAC_REG_MISC2 = 0x71;
constexpr UCHAR DAC_REG_MISC3 = 0x72;
constexpr UCHAR DAC_REG_MISC4 = 0x73;
constexpr UCHAR DAC_REG_MISC5 = 0x74;

constexpr UCHAR DAC_CURSOR_OFF = 0;

// Pixel-depth controls that send 16-bpp and 32-bpp pixels straight to the
// DACs, leaving the palette out.
constexpr UCHAR DAC_16BPP_DIRECT = 0xC7;
constexpr UCHAR DAC_32BPP_DIRECT = 0x03;

// A PLL word: reference divider in the high byte, VCO divider in the low byte.
inline UCHAR pll_ref(ULONG pllWord)
{
    return static_cast<UCHAR>(pllWord >> 8);
}
inline UCHAR pll_vco(ULONG pllWord)
{
    return static_cast<UCHAR>(pllWord);
}

inline VOID Zorx_dac_port_write(PBOARD_EXTENSION ext, ULONG port, ULONG value)
{
    VideoPortWriteRegisterUchar(ext->pRegisters + port, static_cast<UCHAR>(value));
}

// The gamma operations' form: the same port, written 32 bits wide.
inline VOID Zorx_dac_port_write_ulong(PBOARD_EXTENSION ext, ULONG port, UCHAR value)
{
    VideoPortWriteRegisterUlong(reinterpret_cast<PULONG>(ext->pRegisters + port), value);
}

// Selects an indexed register with auto-increment on; within the same
// sequence another register is then selected by index low alone.
inline VOID Zorx_dac_select(PBOARD_EXTENSION ext, ULONG index)
{
    Zorx_dac_port_write(ext, DAC_INDEX_HIGH, DAC_INDEX_HIGH_ZERO);
    Zorx_dac_port_write(ext, DAC_INDEX_CONTROL, DAC_INDEX_AUTO_INCREMENT);
    Zorx_dac_port_write(ext, DAC_INDEX_LOW, index);
}

inline VOID Zorx_dac_reselect(PBOARD_EXTENSION ext, ULONG index)
{
    Zorx_dac_port_write(ext, DAC_INDEX_LOW, index);
}

// Writes the selected register; the DAC then moves on to the next one.
inline VOID Zorx_dac_write(PBOARD_EXTENSION ext, ULONG value)
{
    Zorx_dac_port_write(ext, DAC_INDEX_DATA, value);
}

// Reselects `first` and fills it and the registers after it.
template <ULONG N>
inline VOID Zorx_dac_write_run(PBOARD_EXTENSION ext, ULONG first, const UCHAR (&values)[N])
{
    Zorx_dac_reselect(ext, first);
    for (ULONG value : values)
        Zorx_dac_write(ext, value);
}
