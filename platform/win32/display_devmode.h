// Display modes in the system's DEVMODEA records, as the display-settings
// calls carry them. The platform's record comes from the including file (the
// system's <windows.h>, or the Win32 stand-in's on the host), so that the
// stand-in and a harness on the real system read and fill records alike.
#pragma once

#include "platform/win32/display_device.h"

#include <cstddef>

namespace win32_host {

// A record to change into must reach dmFields: the system reads no field
// past its size field.
constexpr WORD kSmallestChangeRecord = offsetof(DEVMODEA, dmFields);

// The mode a record asks for: a field the record does not mark, or does not
// reach, keeps its value in `in_force`.
inline DisplayMode mode_of_devmode(const DEVMODEA& record, DisplayMode in_force)
{
    auto holds = [&record](size_t offset, DWORD field) {
        return (record.dmFields & field) && record.dmSize >= offset + sizeof(DWORD);
    };
    if (holds(offsetof(DEVMODEA, dmPelsWidth), DM_PELSWIDTH))
        in_force.width = record.dmPelsWidth;
    if (holds(offsetof(DEVMODEA, dmPelsHeight), DM_PELSHEIGHT))
        in_force.height = record.dmPelsHeight;
    if (holds(offsetof(DEVMODEA, dmBitsPerPel), DM_BITSPERPEL))
        in_force.bits_per_pixel = record.dmBitsPerPel;
    if (holds(offsetof(DEVMODEA, dmDisplayFrequency), DM_DISPLAYFREQUENCY))
        in_force.frequency = record.dmDisplayFrequency;
    return in_force;
}

// Fills the record's size, depth and refresh with `mode`, and marks them.
inline void fill_devmode(DEVMODEA& record, const DisplayMode& mode)
{
    record.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    record.dmPelsWidth = mode.width;
    record.dmPelsHeight = mode.height;
    record.dmBitsPerPel = mode.bits_per_pixel;
    record.dmDisplayFrequency = mode.frequency;
}

} // namespace win32_host
