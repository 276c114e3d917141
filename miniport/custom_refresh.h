// Custom and trial refresh rates: the registry value name of a resolution,
// storing a rate in a slot, and the registry callback that reads one back.
#pragma once

#include "miniport/modes.h"

constexpr ULONG CUSTOM_REFRESH_NAME_BYTES = 32;

// Value name, then the 12-byte registry value (refresh, pixel clock, PLL word).
typedef struct _CUSTOM_REFRESH_ENTRY {
    CHAR szValueName[CUSTOM_REFRESH_NAME_BYTES];
    ULONG ulRefresh;
    ULONG ulPixelClock;
    ULONG ulPllWord;
} CUSTOM_REFRESH_ENTRY, *PCUSTOM_REFRESH_ENTRY;

static_assert(sizeof(CUSTOM_REFRESH_ENTRY) == 44);

VOID GetKeyString(PCHAR name_buffer, ULONG row);
VOID UpdateCustomRefresh(ULONG row, ULONG refresh, ULONG pll_word, ULONG pixel_clock);

constexpr ULONG NO_ROW = 0xFFFFFFFF;
// Stores a rate in every custom slot of the current row's resolution; the
// slot row of the current depth and layout, or NO_ROW.
ULONG fill_custom_slots(ULONG current, ULONG refresh, ULONG pll_word, ULONG pixel_clock);
// Stores a rate in the trial slot of the current row's mode; its row, or NO_ROW.
ULONG fill_trial_slot(ULONG current, ULONG refresh, ULONG pll_word, ULONG pixel_clock);
KORVID_API VP_STATUS vrel_custom_refresh_callback(PVOID HwDeviceExtension, PVOID Context,
                                                  PWSTR ValueName, PVOID ValueData,
                                                  ULONG ValueLength);
