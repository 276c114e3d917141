// Rows of the active mode table, found by what they carry.
#pragma once

#include "miniport/hardware.h"

#include <vector>

// The rows that carry the custom-refresh slot of a resolution.
inline std::vector<ULONG> custom_rows(ULONG width, ULONG height)
{
    std::vector<ULONG> rows;
    for (ULONG i = 0; i < num_display_modes; ++i)
        if ((display_mode[i].pTiming->ulTimingFlags & TIMING_CUSTOM_SLOT) &&
            display_mode[i].ModeInformation.VisScreenWidth == width &&
            display_mode[i].ModeInformation.VisScreenHeight == height)
            rows.push_back(i);
    return rows;
}
