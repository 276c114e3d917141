// Custom and trial refresh slots: value names and storing a rate.
#include "custom_refresh.h"

#include "bytes.h"

namespace {

const CHAR kValuePrefix[] = "VrelCustomRefresh.";
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
    for (; kValuePrefix[n]; ++n)
        name_buffer[n] = kValuePrefix[n];
    for (LONG shift = 28; shift >= 0; shift -= 4)
        name_buffer[n++] = hex_digit((key >> shift) & 0xF);
    while (n < CUSTOM_REFRESH_NAME_BYTES)
        name_buffer[n++] = 0;
    static_assert(sizeof kValuePrefix - 1 + KEY_HEX_DIGITS < CUSTOM_REFRESH_NAME_BYTES);
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

KORVID_API VP_STATUS vrel_custom_refresh_callback(PVOID, PVOID Context, PWSTR, PVOID ValueData,
                                                  ULONG ValueLength)
{
    if (ValueLength == CUSTOM_REFRESH_VALUE_BYTES) {
        PCUSTOM_REFRESH_ENTRY entry = static_cast<PCUSTOM_REFRESH_ENTRY>(Context);
        const UCHAR* data = static_cast<const UCHAR*>(ValueData);
        entry->ulRefresh = load_ulong(data);
        entry->ulPixelClock = load_ulong(data + 4);
        entry->ulPllWord = load_ulong(data + 8);
    }
    return NO_ERROR;
}
