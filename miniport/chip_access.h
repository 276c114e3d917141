// The access helpers every hardware sequence goes through: the register
// aperture is reached with 32-bit register operations, the I/O-port block
// with 32-bit port operations. The registers themselves are named in regs.h.
#pragma once

#include "miniport/board.h"
#include "miniport/regs.h"

// Every delay is a busy wait in steps of this many microseconds.
constexpr ULONG STALL_STEP_US = 50;

inline PULONG chip_reg(PBOARD_EXTENSION ext, ULONG offset)
{
    return reinterpret_cast<PULONG>(ext->pRegisters + offset);
}

inline ULONG Zorx_read_reg(PBOARD_EXTENSION ext, ULONG offset)
{
    return VideoPortReadRegisterUlong(chip_reg(ext, offset));
}

inline VOID Zorx_write_reg(PBOARD_EXTENSION ext, ULONG offset, ULONG value)
{
    VideoPortWriteRegisterUlong(chip_reg(ext, offset), value);
}

inline PULONG chip_port(PBOARD_EXTENSION ext, ULONG offset)
{
    return reinterpret_cast<PULONG>(ext->pIoPorts + offset);
}

inline ULONG Zorx_read_io(PBOARD_EXTENSION ext, ULONG offset)
{
    return VideoPortReadPortUlong(chip_port(ext, offset));
}

inline VOID Zorx_write_io(PBOARD_EXTENSION ext, ULONG offset, ULONG value)
{
    VideoPortWritePortUlong(chip_port(ext, offset), value);
}

// Read-modify-write of an I/O register; the register is read afresh.
inline VOID Zorx_set_io_bits(PBOARD_EXTENSION ext, ULONG offset, ULONG bits)
{
    Zorx_write_io(ext, offset, Zorx_read_io(ext, offset) | bits);
}

inline VOID Zorx_clear_io_bits(PBOARD_EXTENSION ext, ULONG offset, ULONG bits)
{
    Zorx_write_io(ext, offset, Zorx_read_io(ext, offset) & ~bits);
}

// The native configuration: CONFIG_KEEP survives of the old word, the
// native-mode bits are set.
inline VOID Zorx_native_configuration(PBOARD_EXTENSION ext)
{
    Zorx_write_io(ext, IO_CONFIG, (Zorx_read_io(ext, IO_CONFIG) & CONFIG_KEEP) | CONFIG_NATIVE);
}

// Busy wait of `microseconds` (a multiple of the step).
inline VOID Zorx_delay(ULONG microseconds)
{
    for (ULONG waited = 0; waited < microseconds; waited += STALL_STEP_US)
        VideoPortStallExecution(STALL_STEP_US);
}
