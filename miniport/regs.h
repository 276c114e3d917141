// The board's register map: every register the miniport touches and the bits
// and values it gives them, block by block in address order. The PCI
// configuration space, the register aperture (the DAC's ports, the display
// controller, memory window 0, the busy status and the two XY windows), the
// I/O-port block, and the DAC's indexed registers behind its index ports.
// Chip registers are 32 bits wide; the DAC's ports and registers 8 bits.
#pragma once

#include "miniport/platform.h"

// ---------------------------------------------------------------------------
// PCI configuration space (dword offsets)

constexpr ULONG PCI_COMMAND = 0x04;        // command register
constexpr ULONG PCI_CLASS_REVISION = 0x08; // revision, programming interface, sub-class, class
constexpr ULONG PCI_SUBSYSTEM = 0x2C;      // subsystem vendor (low), subsystem id (high)

constexpr ULONG PCI_COMMAND_DECODE = 0x3; // I/O and memory space decoding
// Byte 2 of the class dword is the sub-class; 0 is a VGA-compatible controller.
constexpr ULONG PCI_SUBCLASS_SHIFT = 16;
constexpr ULONG PCI_SUBCLASS_MASK = 0xFF;
constexpr ULONG PCI_SUBCLASS_VGA = 0x00;
// The subsystem id, the board's configuration code, is the high word.
constexpr ULONG PCI_SUBSYSTEM_ID_SHIFT = 16;

// ---------------------------------------------------------------------------
// Register aperture: the DAC's ports. Eight byte-wide ports, 4 bytes apart.

constexpr ULONG DAC_PALETTE_WRITE_ADDRESS = 0x00; // first palette entry to write
constexpr ULONG DAC_PALETTE_DATA = 0x04;          // red, green, blue of one entry in turn
constexpr ULONG DAC_PIXEL_MASK = 0x08;            // pixel read mask
constexpr ULONG DAC_PALETTE_READ_ADDRESS = 0x0C;  // not used: the DAC is never read
constexpr ULONG DAC_INDEX_LOW = 0x10;             // indexed register number, low byte
constexpr ULONG DAC_INDEX_HIGH = 0x14;            // indexed register number, high byte
constexpr ULONG DAC_INDEX_DATA = 0x18;            // data of the selected indexed register
constexpr ULONG DAC_INDEX_CONTROL = 0x1C;         // index control

constexpr UCHAR DAC_PIXEL_MASK_ALL = 0xFF;
// Every register in use lies below 0x100, so index high is always 0.
constexpr UCHAR DAC_INDEX_HIGH_ZERO = 0;
// Index control: advance the index after every index-data access.
constexpr UCHAR DAC_INDEX_AUTO_INCREMENT = 1;

// ---------------------------------------------------------------------------
// Register aperture: display controller. The four reserved registers around
// the timing block have no use in the native modes and are kept 0.

constexpr ULONG REG_DISPLAY_RESERVED0 = 0x20;
constexpr ULONG REG_DISPLAY_RESERVED1 = 0x24;
constexpr ULONG REG_DISPLAY_START = 0x28; // start address, in bytes
constexpr ULONG REG_DISPLAY_PITCH = 0x2C; // bytes per line
constexpr ULONG REG_H_ACTIVE = 0x30;      // horizontal active
constexpr ULONG REG_H_BLANK = 0x34;       // horizontal blanking
constexpr ULONG REG_H_FRONT_PORCH = 0x38; // horizontal front porch
constexpr ULONG REG_H_SYNC = 0x3C;        // horizontal sync width
constexpr ULONG REG_V_ACTIVE = 0x40;      // vertical active
constexpr ULONG REG_V_BLANK = 0x44;       // vertical blanking
constexpr ULONG REG_V_FRONT_PORCH = 0x48; // vertical front porch
constexpr ULONG REG_V_SYNC = 0x4C;        // vertical sync width
constexpr ULONG REG_DISPLAY_RESERVED2 = 0x50;
constexpr ULONG REG_DISPLAY_RESERVED3 = 0x54;
constexpr ULONG REG_DISPLAY_CONTROL = 0x58; // sync polarity and display enable
constexpr ULONG REG_MEMORY_CONFIG = 0x5C;   // memory controller layout

constexpr ULONG DISPLAY_CONTROL_ENABLE = 0x100;

// Memory configuration words. Bit 8 switches the memory controller to the
// native graphics layout; the return to VGA writes the last word without it.
constexpr ULONG MEMORY_CONFIG_GRAPHICS = 0x100;
constexpr ULONG MEMORY_CONFIG_SGRAM = 0x20000100;
constexpr ULONG MEMORY_CONFIG_WRAM = 0x40100;
// A WRAM board whose configuration refused the WRAM bit.
constexpr ULONG MEMORY_CONFIG_WRAM_FALLBACK = 0x40102;

// ---------------------------------------------------------------------------
// Register aperture: memory window 0.

constexpr ULONG REG_MW0_BASE = 0x2000; // placed at the start of video memory
constexpr ULONG REG_MW0_SIZE = 0x2008; // window size code
constexpr ULONG REG_MW0_ORIGIN = 0x200C;
constexpr ULONG REG_MW0_CONTROL = 0x2010;
constexpr ULONG REG_MW0_MASK = 0x2024; // address bits passed through

constexpr ULONG MW0_PASS_ALL = 0xFFFFFFFF;
// Window size codes (REG_MW0_SIZE and the XY windows' size field): a window
// of code c spans WINDOW_SIZE_UNIT << c bytes.
constexpr ULONG WINDOW_SIZE_UNIT = 4096;

// ---------------------------------------------------------------------------
// Register aperture: busy status and the XY windows.

// The chip is idle when the count reads 0 and the two status bits are clear.
constexpr ULONG REG_BUSY_STATUS = 0x4008;
constexpr ULONG REG_BUSY_COUNT = 0x400C;
constexpr ULONG REG_XYA_CONTROL = 0x4010; // XY window A control
constexpr ULONG REG_XYB_CONTROL = 0x6010; // XY window B control

constexpr ULONG BUSY_STATUS_BITS = 0x3;
constexpr ULONG BUSY_COUNT_BITS = 0xFFFFFFFF;
// XY window controls: the size code lives in bits 8 to 11.
constexpr ULONG XY_SIZE_SHIFT = 8;
constexpr ULONG XY_SIZE_FIELD = 0xF00;

// ---------------------------------------------------------------------------
// I/O-port block.

constexpr ULONG IO_MCLOCK_STRAP = 0x18; // read only: memory-clock strap
constexpr ULONG IO_CONFIG = 0x1C;       // configuration
constexpr ULONG IO_MEMORY_TYPE = 0x20;  // memory type
constexpr ULONG IO_SGRAM_TIMING = 0x24; // SGRAM timing
constexpr ULONG IO_MEMORY_RESET = 0x28; // memory reset (WRAM)
constexpr ULONG IO_CONTROL = 0x30;      // control

// Bits 0-2 of the strap all clear: the board runs on the fixed memory clock.
constexpr ULONG MCLOCK_STRAP_MASK = 0x7;

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

// IO_MEMORY_TYPE: the bits kept of the old word and the bits set, by memory.
constexpr ULONG SGRAM_TYPE_KEEP_MASK = 0xFF9FFFFC;
constexpr ULONG SGRAM_TYPE_SET_BITS = 0x100010;
constexpr ULONG WRAM_TYPE_KEEP_MASK = 0xFFFFFFFC;
constexpr ULONG WRAM_TYPE_SET_BITS = 0x500010;

// IO_SGRAM_TIMING: the timing word, then the same word with the load bit.
constexpr ULONG SGRAM_TIMING = 0x1430;
constexpr ULONG SGRAM_TIMING_LOAD = 0x80000000;

// IO_MEMORY_RESET: bit 0 releases the WRAM from reset.
constexpr ULONG WRAM_RESET_RELEASE = 0x1;

// IO_CONTROL: bits 0, 2 and 3, cleared in the native modes.
constexpr ULONG CONTROL_NATIVE_CLEAR = 0x0D;

// ---------------------------------------------------------------------------
// DAC indexed registers, behind index low/high/data.

constexpr UCHAR DAC_REG_MISC_CLOCK = 0x02;      // miscellaneous clock control
constexpr UCHAR DAC_REG_SYNC = 0x03;            // sync control
constexpr UCHAR DAC_REG_HSYNC_POSITION = 0x04;  // horizontal sync position
constexpr UCHAR DAC_REG_POWER = 0x05;           // power management
constexpr UCHAR DAC_REG_OPERATION = 0x06;       // DAC operation
constexpr UCHAR DAC_REG_PALETTE_CONTROL = 0x07; // palette control
constexpr UCHAR DAC_REG_SYSCLK_CONTROL = 0x08;  // system clock control
constexpr UCHAR DAC_REG_PIXEL_FORMAT = 0x0A;    // pixel format
constexpr UCHAR DAC_REG_8BPP = 0x0B;            // 8-bpp control
constexpr UCHAR DAC_REG_16BPP = 0x0C;           // 16-bpp control
constexpr UCHAR DAC_REG_24BPP = 0x0D;           // 24-bpp control
constexpr UCHAR DAC_REG_32BPP = 0x0E;           // 32-bpp control
constexpr UCHAR DAC_REG_PLL_CONTROL1 = 0x10;    // PLL control 1
constexpr UCHAR DAC_REG_PLL_CONTROL2 = 0x11;    // PLL control 2
constexpr UCHAR DAC_REG_SYSCLK_REF = 0x15;      // system clock, reference divider
constexpr UCHAR DAC_REG_SYSCLK_VCO = 0x16;      // system clock, VCO divider
constexpr UCHAR DAC_REG_PIXCLK_VCO0 = 0x20;     // pixel clock pair 0, VCO divider
constexpr UCHAR DAC_REG_PIXCLK_REF0 = 0x21;     // pixel clock pair 0, reference divider
constexpr UCHAR DAC_REG_CURSOR_CONTROL = 0x30;  // cursor control
constexpr UCHAR DAC_REG_CURSOR_COLOR1 = 0x40;   // cursor colour 1: red, green, blue
constexpr UCHAR DAC_REG_CURSOR_COLOR2 = 0x43;   // cursor colour 2: red, green, blue
constexpr UCHAR DAC_REG_MISC1 = 0x70;           // miscellaneous control 1
constexpr UCHAR DAC_REG_MISC2 = 0x71;           // miscellaneous control 2
constexpr UCHAR DAC_REG_MISC3 = 0x72;           // miscellaneous control 3
constexpr UCHAR DAC_REG_MISC4 = 0x73;           // written 0 only
constexpr UCHAR DAC_REG_MISC5 = 0x74;           // written 0 only (RGB528)

// DAC_REG_PIXEL_FORMAT.
constexpr UCHAR DAC_PIXEL_FORMAT_8BPP = 3;
constexpr UCHAR DAC_PIXEL_FORMAT_16BPP = 4;
constexpr UCHAR DAC_PIXEL_FORMAT_32BPP = 6;

// The pixel-depth controls. Direct colour sends 16-bpp and 32-bpp pixels
// straight to the DACs; with gamma on they go through the palette, which then
// holds the ramp. The gamma operations switch the 24-bpp control off with 1,
// where the mode set leaves 0.
constexpr UCHAR DAC_8BPP_CONTROL = 0;
constexpr UCHAR DAC_16BPP_DIRECT = 0xC7;
constexpr UCHAR DAC_24BPP_DIRECT = 0;
constexpr UCHAR DAC_32BPP_DIRECT = 0x03;
constexpr UCHAR DAC_16BPP_GAMMA = 0x02;
constexpr UCHAR DAC_24BPP_GAMMA = 0x00;
constexpr UCHAR DAC_32BPP_GAMMA = 0x00;
constexpr UCHAR DAC_24BPP_GAMMA_OFF = 0x01;

// PLL controls that put a freshly loaded pixel clock (register pair 0) in
// effect; the return to VGA writes PLL control 1 as 0.
constexpr UCHAR DAC_PLL_CONTROL1_PAIR = 3;
constexpr UCHAR DAC_PLL_CONTROL2_PAIR0 = 0;
constexpr UCHAR DAC_PLL_CONTROL1_VGA = 0;

constexpr UCHAR DAC_CURSOR_OFF = 0;

// Miscellaneous controls 1 and 2 of a native mode; miscellaneous control 2
// takes DAC_MISC2_CLOCK_CHANGE before the first pixel-clock load, and the
// return to VGA writes both as DAC_MISC_VGA.
constexpr UCHAR DAC_MISC1_WRAM = 1;
constexpr UCHAR DAC_MISC1_SGRAM = 0;
constexpr UCHAR DAC_MISC2_CLOCK_CHANGE = 1;
constexpr UCHAR DAC_MISC2_NATIVE = 0x45;
constexpr UCHAR DAC_MISC2_SGRAM_32BPP = 0x05;
constexpr UCHAR DAC_MISC_VGA = 0;
