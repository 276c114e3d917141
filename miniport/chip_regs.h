// The chip's registers shared by several hardware sequences, and the access
// helpers they go through: the register aperture is reached with 32-bit
// register operations, the I/O-port block with 32-bit port operations.
#pragma once

#include "board.h"

// Register aperture: display controller.
constexpr ULONG REG_MEMORY_CONFIG = 0x5C;

// Memory configuration words. Bit 8 switches the memory controller to the
// native graphics layout; the return to VGA writes the last word without it.
constexpr ULONG MEMORY_CONFIG_GRAPHICS = 0x100;
constexpr ULONG MEMORY_CONFIG_SGRAM = 0x20000100;
constexpr ULONG MEMORY_CONFIG_WRAM = 0x40100;
// A WRAM board whose configuration refused the WRAM bit.
constexpr ULONG MEMORY_CONFIG_WRAM_FALLBACK = 0x40102;

// I/O-port block.
constexpr ULONG IO_CONFIG = 0x1C;
constexpr ULONG IO_MEMORY_RESET = 0x28;
constexpr ULONG IO_CONTROL = 0x30;

// Bits of IO_CONFIG.
constexpr ULONG CONFIG_RESET = 0x2;
constexpr ULONG CONFIG_WRAM = 0x4;
constexpr ULONG CONFIG_ENABLE_MW0 = 0x10000;
constexpr ULONG CONFIG_ENABLE_XYA = 0x100000;
constexpr ULONG CONFIG_ENABLE_XYB = 0x200000;

// Configuration reset: keep these bits (the window enables among the
// cleared ones), then turn on the native-mode bits 8 to 12.
constexpr ULONG CONFIG_KEEP = 0xF3003F1D;
constexpr ULONG CONFIG_NATIVE = 0x1F00;

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
