// Access to the RAMDAC: its eight byte-wide ports at the start of the register
// aperture, and the indexed registers behind index low/high/data (regs.h
// names both). Ordinary sequences write the ports 8 bits wide; the gamma
// operations use 32-bit writes that carry the byte on the low lane. The DAC is
// never read.
#pragma once

#include "miniport/board.h"
#include "miniport/regs.h"

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
