// Timing records, mode-table rows and the mode database that validates and
// reports them. The tables are writable: one copy shared by every board.
#pragma once

#include "board.h"

// Slot flags of MODE_TIMING::ulTimingFlags.
constexpr ULONG TIMING_CUSTOM_SLOT = 0x200;
constexpr ULONG TIMING_TEST_SLOT = 0x400;

// Driver-private AttributeFlags bits of a reported mode (DAC type 0 only).
constexpr ULONG MODE_ATTR_SGRAM = 0x00010000;
constexpr ULONG MODE_ATTR_WRAM = 0x00020000;

// CompareModes mask bits: a set bit leaves that group out of the comparison.
constexpr ULONG COMPARE_IGNORE_RESOLUTION = 0x1;
constexpr ULONG COMPARE_IGNORE_VIRTUAL = 0x2;
constexpr ULONG COMPARE_IGNORE_DEPTH = 0x4;
constexpr ULONG COMPARE_IGNORE_REFRESH = 0x8;

typedef struct _MODE_TIMING {
    ULONG ulTimingFlags;
    ULONG ulSyncControl;
    ULONG ulMemConfigWord;
    ULONG ulPll526;
    ULONG ulPll528;
    USHORT usCharWidth;
    USHORT usHActive;
    USHORT usHBlank;
    USHORT usHSyncStart;
    USHORT usHSyncWidth;
    USHORT usVActive;
    USHORT usVBlank;
    USHORT usVSyncStart;
    USHORT usVSyncWidth;
    USHORT usReserved;
    ULONG ulNominalClock;
    ULONG ulPixelClock;
} MODE_TIMING, *PMODE_TIMING;

typedef struct _DISPLAY_MODE {
    VIDEO_MODE_INFORMATION ModeInformation;
    PMODE_TIMING pTiming;
    UCHAR fValid;
    ULONG ulExtraWidth;
    ULONG ulExtraHeight;
} DISPLAY_MODE, *PDISPLAY_MODE;

constexpr ULONG NUM_DISPLAY_MODES_SGRAM = 468;
constexpr ULONG NUM_DISPLAY_MODES_WRAM = 456;

extern DISPLAY_MODE display_mode_sgram[NUM_DISPLAY_MODES_SGRAM];
extern DISPLAY_MODE display_mode_wram[NUM_DISPLAY_MODES_WRAM];
extern const ULONG num_display_modes_sgram;
extern const ULONG num_display_modes_wram;

// Mode database globals (shared by all boards).
extern PDISPLAY_MODE display_mode;
extern ULONG num_display_modes;
extern ULONG num_available_modes;
extern ULONG num_selectable_modes;

// Bytes per line of a row's whole surface, virtual extra width included.
ULONG ModePitch(const DISPLAY_MODE* mode);
// Display start inside video memory: 0, or 4 MiB mod pitch rounded up to 128.
ULONG ModeStartOffset(const DISPLAY_MODE* mode);

ULONG Zorx_init_mode_info(PBOARD_EXTENSION ext);
ULONG invalidate_modes(PBOARD_EXTENSION ext, LONG count, PDISPLAY_MODE first_row);
ULONG ulZorx_GetModes(PBOARD_EXTENSION ext, PVIDEO_MODE_INFORMATION out, ULONG count);
VOID FillModeInformation(PBOARD_EXTENSION ext, ULONG row, PVIDEO_MODE_INFORMATION out);
BOOLEAN CompareModes(ULONG row_a, ULONG row_b, ULONG mask);
