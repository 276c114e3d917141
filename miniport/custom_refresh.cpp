// Custom and trial refresh slots: value names, finding the slots of a mode
// and storing a rate in them.
#include "miniport/custom_refresh.h"

#include "platform/freestanding/little_endian.h"

namespace {

const CHAR VALUE_PREFIX[] = "VrelCustomRefresh.";
constexpr ULONG CUSTOM_REFRESH_VALUE_BYTES = 12;
constexpr ULONG KEY_HEX_DIGITS = 8;

CHAR hex_digit(ULONG v)
{
    return static_cast<CHAR>(v < 10 ? '0' + v : 'A' + (v - 10));
}

} // namespace

VOID GetKeyString(PCHAR name_buffer, ULONG row)
{
    const VIDEO_MODE_INFORMATION& info = display_mode[row].ModeInformation;
    ULONG key = (info.VisScreenWidth << 16) | (info.VisScreenHeight & 0xFFFF);
    ULONG n = 0;
    for (; VALUE_PREFIX[n]; ++n)
        name_buffer[n] = VALUE_PREFIX[n];
    for (LONG shift = 28; shift >= 0; shift -= 4)
        name_buffer[n++] = hex_digit((key >> shift) & 0xF);
    while (n < CUSTOM_REFRESH_NAME_BYTES)
        name_buffer[n++] = 0;
    static_assert(sizeof VALUE_PREFIX - 1 + KEY_HEX_DIGITS < CUSTOM_REFRESH_NAME_BYTES);
}

VOID UpdateCustomRefresh(ULONG row, ULONG refresh, ULONG pll_word, ULONG pixel_clock)
{
    display_mode[row].ModeInformation.Frequency = refresh;
    PMODE_TIMING timing = display_mode[row].pTiming;
    timing->ulPll526 = pll_word;
    timing->ulPll528 = pll_word;
    timing->ulNominalClock = pixel_clock;
    timing->ulPixelClock = pixel_clock;
}

ULONG fill_custom_slots(ULONG current, ULONG refresh, ULONG pll_word, ULONG pixel_clock)
{
    const ULONG same_resolution =
        COMPARE_IGNORE_VIRTUAL | COMPARE_IGNORE_DEPTH | COMPARE_IGNORE_REFRESH;
    ULONG found = NO_ROW;
    for (ULONG row = 0; row < num_display_modes; ++row) {
        if (!(display_mode[row].pTiming->ulTimingFlags & TIMING_CUSTOM_SLOT) ||
            !CompareModes(current, row, same_resolution))
            continue;
        UpdateCustomRefresh(row, refresh, pll_word, pixel_clock);
        if (CompareModes(current, row, COMPARE_IGNORE_REFRESH))
            found = row;
    }
    return found;
}

ULONG fill_trial_slot(ULONG current, ULONG refresh, ULONG pll_word, ULONG pixel_clock)
{
    for (ULONG row = 0; row < num_display_modes; ++row) {
        if ((display_mode[row].pTiming->ulTimingFlags & TIMING_TEST_SLOT) &&
            CompareModes(current, row, COMPARE_IGNORE_REFRESH)) {
            UpdateCustomRefresh(row, refresh, pll_word, pixel_clock);
            return row;
        }
    }
    return NO_ROW;
}

KORVID_API VP_STATUS vrel_custom_refresh_callback(PVOID, PVOID Context, PWSTR, PVOID ValueData,
                                                  ULONG ValueLength)
{
    if (ValueLength == CUSTOM_REFRESH_VALUE_BYTES) {
        PCUSTOM_REFRESH_ENTRY entry = static_cast<PCUSTOM_REFRESH_ENTRY>(Context);
        const UCHAR* data = static_cast<const UCHAR*>(ValueData);
        entry->ulRefresh = load_le32(data);
        entry->ulPixelClock = load_le32(data + 4);
        entry->ulPllWord = load_le32(data + 8);
    }
    return NO_ERROR;
}
