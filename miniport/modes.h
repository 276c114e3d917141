// Timing records, mode-table rows and the mode database that validates and
// reports them. The tables are writable: one copy shared by every board.
#pragma once

#include "miniport/board.h"

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

// Frequency of a slot row that has not been given a rate yet.
constexpr ULONG FREQUENCY_TEST_SLOT = 0;
constexpr ULONG FREQUENCY_CUSTOM_SLOT = 1;

constexpr ULONG NUM_DISPLAY_MODES_SGRAM = 468;
constexpr ULONG NUM_DISPLAY_MODES_WRAM = 456;

// The tables are references to arrays so that their storage can be built by
// constant expressions (no start-up code); they index and decay like arrays.
extern DISPLAY_MODE (&display_mode_sgram)[NUM_DISPLAY_MODES_SGRAM];
extern DISPLAY_MODE (&display_mode_wram)[NUM_DISPLAY_MODES_WRAM];
extern const ULONG num_display_modes_sgram;
extern const ULONG num_display_modes_wram;

// Mode database globals (shared by all boards).
extern PDISPLAY_MODE display_mode;
extern ULONG num_display_modes;
extern ULONG num_available_modes;
extern ULONG num_selectable_modes;

// Timing records, mode_<width>_<height>_<rate>: rate 00 is the test slot and
// 01 the custom slot of a resolution. A few are referenced by no table row.
extern MODE_TIMING mode_640_480_00, mode_640_480_01, mode_640_480_60, mode_640_480_72,
    mode_640_480_75, mode_640_480_85;
extern MODE_TIMING mode_800_600_00, mode_800_600_01, mode_800_600_60, mode_800_600_72,
    mode_800_600_75, mode_800_600_85;
extern MODE_TIMING mode_1024_768_00, mode_1024_768_01, mode_1024_768_60, mode_1024_768_70,
    mode_1024_768_75, mode_1024_768_85;
extern MODE_TIMING mode_1152_864_00, mode_1152_864_01, mode_1152_864_60, mode_1152_864_70,
    mode_1152_864_75, mode_1152_864_85;
extern MODE_TIMING mode_1280_1024_00, mode_1280_1024_01, mode_1280_1024_60, mode_1280_1024_75,
    mode_1280_1024_85;
extern MODE_TIMING mode_1600_1200_00, mode_1600_1200_01, mode_1600_1200_60, mode_1600_1200_65,
    mode_1600_1200_70, mode_1600_1200_75, mode_1600_1200_80, mode_1600_1200_83;
extern MODE_TIMING mode_1920_1080_00, mode_1920_1080_01, mode_1920_1080_60, mode_1920_1080_72;
extern MODE_TIMING mode_1280_2048_00, mode_1280_2048_01, mode_1280_2048_60;
extern MODE_TIMING mode_1800_1440_71, mode_1024_1280_72, mode_1920_1060_73, mode_1600_1024_76,
    mode_1920_1200_76;

// Bytes per line of a row's whole surface, virtual extra width included.
ULONG ModePitch(const DISPLAY_MODE* mode);
// Bytes of the row's whole surface: visible plus extra lines, each of ModePitch.
ULONG ModeSurfaceSize(const DISPLAY_MODE* mode);
// Display start inside video memory: 0, or 4 MiB mod pitch rounded up to 128.
ULONG ModeStartOffset(const DISPLAY_MODE* mode);

ULONG Zorx_init_mode_info(PBOARD_EXTENSION ext);
ULONG invalidate_modes(PBOARD_EXTENSION ext, LONG count, PDISPLAY_MODE first_row);
ULONG ulZorx_GetModes(PBOARD_EXTENSION ext, PVIDEO_MODE_INFORMATION out, ULONG count);
VOID FillModeInformation(PBOARD_EXTENSION ext, ULONG row, PVIDEO_MODE_INFORMATION out);
// The board's current row, or null when its index lies outside the active table.
PDISPLAY_MODE Zorx_current_row(PBOARD_EXTENSION ext);
BOOLEAN CompareModes(ULONG row_a, ULONG row_b, ULONG mask);
