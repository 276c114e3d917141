// Where a mode's surface lies in video memory: its pitch, its size and the
// offset at which the display starts.
#include "miniport/modes.h"

namespace {

// A surface that fits in the first 4 MiB is shown from the start of memory.
constexpr ULONG FIRST_BANK_BYTES = 0x400000;
// Display starts are kept to multiples of this many bytes.
constexpr ULONG START_ALIGN_BYTES = 128;

} // namespace

ULONG ModePitch(const DISPLAY_MODE* mode)
{
    const VIDEO_MODE_INFORMATION& info = mode->ModeInformation;
    return ((mode->ulExtraWidth * info.BitsPerPlane) >> 3) + info.ScreenStride;
}

ULONG ModeSurfaceSize(const DISPLAY_MODE* mode)
{
    return (mode->ModeInformation.VisScreenHeight + mode->ulExtraHeight) * ModePitch(mode);
}

ULONG ModeStartOffset(const DISPLAY_MODE* mode)
{
    if (ModeSurfaceSize(mode) <= FIRST_BANK_BYTES)
        return 0;
    // Shifting a larger surface by the remainder makes a scan line begin
    // exactly at the 4 MiB boundary instead of straddling it (with a pitch
    // that is a multiple of 128, as every built-in row's is).
    ULONG remainder = FIRST_BANK_BYTES % ModePitch(mode);
    return (remainder + START_ALIGN_BYTES - 1) & ~(START_ALIGN_BYTES - 1);
}
