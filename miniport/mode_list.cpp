// The mode database: pick the table that matches a board's memory, strike out
// the rows the board cannot carry, and report the rest to the display driver.
#include "miniport/modes.h"

KORVID_DATA PDISPLAY_MODE display_mode = nullptr;
KORVID_DATA ULONG num_display_modes = 0;
KORVID_DATA ULONG num_available_modes = 0;
KORVID_DATA ULONG num_selectable_modes = 0;

namespace {

// Video memory every mode leaves free beyond its surface.
constexpr ULONG MEMORY_RESERVE_BYTES = 0x10000;

// The DAC's highest pixel clock; a row at or above it cannot be shown.
constexpr ULONG PIXEL_CLOCK_CEILING_HZ = 220'000'000;

// Pixel data rate each memory type sustains. The divisor is the memory word
// width in bits; the pixel clock is quartered before it is multiplied by the
// depth so that 32 bpp stays within 32 bits, and the limits are scaled alike.
struct Bandwidth {
    ULONG limit;
    ULONG wordBits;
};
constexpr Bandwidth SGRAM_BANDWIDTH = {25'000'000, 32};
constexpr Bandwidth WRAM_BANDWIDTH = {20'750'000, 64};

bool is_sgram(const BOARD_EXTENSION* ext)
{
    return ext->ulMemoryType == MEMORY_TYPE_SGRAM;
}

bool fits_memory(const BOARD_EXTENSION* ext, const DISPLAY_MODE* row)
{
    ULONG need = ModeSurfaceSize(row) + ModeStartOffset(row) + MEMORY_RESERVE_BYTES;
    return need <= board_memory_size(ext);
}

bool within_bandwidth(const BOARD_EXTENSION* ext, const DISPLAY_MODE* row)
{
    const Bandwidth& bw = is_sgram(ext) ? SGRAM_BANDWIDTH : WRAM_BANDWIDTH;
    ULONG rate = (row->pTiming->ulPixelClock >> 2) * row->ModeInformation.BitsPerPlane;
    return rate / bw.wordBits <= bw.limit;
}

bool board_can_carry(const BOARD_EXTENSION* ext, const DISPLAY_MODE* row)
{
    // The clock ceiling comes before the bandwidth test: it also keeps the
    // bandwidth product from overflowing.
    return fits_memory(ext, row) && row->pTiming->ulPixelClock < PIXEL_CLOCK_CEILING_HZ &&
           within_bandwidth(ext, row);
}

bool is_virtual(const DISPLAY_MODE* row)
{
    return row->ulExtraWidth || row->ulExtraHeight;
}

// A slot row stays hidden until a refresh rate has been stored in it, a test
// slot also while the test modes are off. Unless every layout is wanted, a
// virtual row is listed only in the layout and resolution of the current mode.
bool is_reportable(const BOARD_EXTENSION* ext, ULONG index)
{
    const DISPLAY_MODE* row = &display_mode[index];
    if (!row->fValid)
        return false;
    if ((row->pTiming->ulTimingFlags & TIMING_TEST_SLOT) && !(ext->ulFlags & FLAG_TEST_MODES))
        return false;
    ULONG frequency = row->ModeInformation.Frequency;
    if (frequency == FREQUENCY_TEST_SLOT || frequency == FREQUENCY_CUSTOM_SLOT)
        return false;
    if (!(ext->ulFlags & FLAG_ALL_VIRTUAL_MODES) && is_virtual(row) &&
        !CompareModes(index, ext->ulCurrentMode, COMPARE_IGNORE_DEPTH | COMPARE_IGNORE_REFRESH))
        return false;
    return true;
}

} // namespace

ULONG Zorx_init_mode_info(PBOARD_EXTENSION ext)
{
    // One table serves every board: the board initialised last chooses it.
    if (is_sgram(ext)) {
        display_mode = display_mode_sgram;
        num_display_modes = num_display_modes_sgram;
    } else {
        display_mode = display_mode_wram;
        num_display_modes = num_display_modes_wram;
    }
    num_available_modes = 0;
    num_selectable_modes = 0;
    return invalidate_modes(ext, static_cast<LONG>(num_display_modes), display_mode);
}

ULONG invalidate_modes(PBOARD_EXTENSION ext, LONG count, PDISPLAY_MODE first_row)
{
    // A row struck out for an earlier board stays out: with several boards a
    // row survives only if every one of them can carry it.
    for (LONG i = 0; i < count; ++i) {
        PDISPLAY_MODE row = first_row + i;
        if (!row->fValid)
            continue;
        if (board_can_carry(ext, row))
            ++num_available_modes;
        else
            row->fValid = 0;
    }
    return num_available_modes;
}

ULONG ulZorx_GetModes(PBOARD_EXTENSION ext, PVIDEO_MODE_INFORMATION out, ULONG count)
{
    // count is a number of rows to scan; rows past the table do not exist.
    if (count > num_display_modes)
        count = num_display_modes;
    ULONG reported = 0;
    for (ULONG i = 0; i < count; ++i) {
        if (!is_reportable(ext, i))
            continue;
        if (out)
            FillModeInformation(ext, i, out++);
        ++reported;
    }
    return reported;
}

VOID FillModeInformation(PBOARD_EXTENSION ext, ULONG row, PVIDEO_MODE_INFORMATION out)
{
    const DISPLAY_MODE* mode = &display_mode[row];
    *out = mode->ModeInformation;
    out->ModeIndex = row;
    out->VideoMemoryBitmapHeight =
        (board_memory_size(ext) - ModeStartOffset(mode)) / ModePitch(mode);
    // The driver-private memory-type bits go only to display drivers of the
    // RGB526 boards.
    if (ext->ulDacType == DAC_TYPE_RGB526)
        out->AttributeFlags |= is_sgram(ext) ? MODE_ATTR_SGRAM : MODE_ATTR_WRAM;
}

PDISPLAY_MODE Zorx_current_row(PBOARD_EXTENSION ext)
{
    return ext->ulCurrentMode < num_display_modes ? &display_mode[ext->ulCurrentMode] : nullptr;
}

BOOLEAN CompareModes(ULONG row_a, ULONG row_b, ULONG mask)
{
    // A row index past the active table names no mode and matches nothing.
    if (row_a >= num_display_modes || row_b >= num_display_modes)
        return FALSE;
    const DISPLAY_MODE* a = &display_mode[row_a];
    const DISPLAY_MODE* b = &display_mode[row_b];
    const VIDEO_MODE_INFORMATION& ia = a->ModeInformation;
    const VIDEO_MODE_INFORMATION& ib = b->ModeInformation;
    if (!(mask & COMPARE_IGNORE_VIRTUAL) &&
        (a->ulExtraWidth != b->ulExtraWidth || a->ulExtraHeight != b->ulExtraHeight))
        return FALSE;
    if (!(mask & COMPARE_IGNORE_RESOLUTION) &&
        (ia.VisScreenWidth != ib.VisScreenWidth || ia.VisScreenHeight != ib.VisScreenHeight))
        return FALSE;
    if (!(mask & COMPARE_IGNORE_DEPTH) &&
        (ia.NumberOfPlanes != ib.NumberOfPlanes || ia.BitsPerPlane != ib.BitsPerPlane))
        return FALSE;
    if (!(mask & COMPARE_IGNORE_REFRESH) && ia.Frequency != ib.Frequency)
        return FALSE;
    return TRUE;
}
