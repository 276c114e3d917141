// The per-board state record and the two rules that turn a board's
// configuration code into its memory size and its RAMDAC type.
#pragma once

#include "miniport/platform.h"

// Bits of BOARD_EXTENSION::ulFlags.
constexpr ULONG FLAG_ALL_VIRTUAL_MODES = 0x1;
constexpr ULONG FLAG_GAMMA_ENABLED = 0x2;
constexpr ULONG FLAG_TEST_MODES = 0x4;
// Set by initialisation: the board has left its power-up state.
constexpr ULONG FLAG_INITIALIZED = 0x8;

// Memory types.
constexpr ULONG MEMORY_TYPE_WRAM = 0;
constexpr ULONG MEMORY_TYPE_SGRAM = 1;

// RAMDAC types.
constexpr LONG DAC_TYPE_RGB526 = 0;
constexpr LONG DAC_TYPE_RGB528 = 1;
constexpr LONG DAC_TYPE_RGB526_DRAM = 2;

// Positions of the board's ranges in AccessRanges (its base address registers).
constexpr ULONG RANGE_FRAME_BUFFER = 0;
constexpr ULONG RANGE_XY_WINDOW = 2;
constexpr ULONG RANGE_REGISTERS = 4;
constexpr ULONG RANGE_IO_PORTS = 5;
constexpr ULONG RANGE_VGA_PORTS = 7;
constexpr ULONG NUM_ACCESS_RANGES = 8;
// The part of the XY window the windows are opened with and the display
// driver is offered.
constexpr ULONG XY_WINDOW_LENGTH = 0x2000;

// Configuration code bits.
constexpr ULONG BOARD_CONFIG_SIZE_MASK = 0x7;
constexpr ULONG BOARD_CONFIG_SGRAM = 0x10;
constexpr ULONG BOARD_CONFIG_MAX = 31;

constexpr ULONG GAMMA_ENTRIES = 256;

typedef struct _BOARD_EXTENSION {
    VIDEO_ACCESS_RANGE AccessRanges[NUM_ACCESS_RANGES];
    PUCHAR pRegisters;
    PUCHAR pIoPorts;
    PUCHAR pVgaPorts;
    ULONG ulPciClassRevision;
    PUCHAR pFrameBuffer;
    LONG ulDacType;
    ULONG ulMemoryType;
    ULONG ulCurrentMode;
    ULONG ulBoardConfig;
    ULONG ulMemConfig;
    ULONG fDeclock;
    ULONG ulMclockIndex;
    ULONG ulFlags;
    ULONG ulCursorColor;
    ULONG ulDriverOption;
    UCHAR GammaTable[GAMMA_ENTRIES][3];
    struct _BOARD_EXTENSION* pNextBoard;
} BOARD_EXTENSION, *PBOARD_EXTENSION;

static_assert(sizeof(BOARD_EXTENSION) == 960, "the video port allocates 960 bytes per board");

// Video memory size in bytes; after initialisation RangeLength of range 0
// is the only place that holds it.
inline ULONG board_memory_size(const BOARD_EXTENSION* ext)
{
    return ext->AccessRanges[RANGE_FRAME_BUFFER].RangeLength;
}

ULONG Zorx_vram_size(PBOARD_EXTENSION ext);
LONG Zorx_dac_type(PBOARD_EXTENSION ext);
