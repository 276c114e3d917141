#include "tools/korvid-sim/reference.h"

#include "miniport/modes.h"
#include "display/miniport_client.h"

namespace ksim {

std::string TableRow::name() const
{
    sim::Layout l = extra_width && extra_height ? sim::Layout::Both
                    : extra_width               ? sim::Layout::Wide
                    : extra_height              ? sim::Layout::Tall
                                                : sim::Layout::Single;
    return std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bpp) + "@" +
           std::to_string(frequency) + ":" + sim::layout_name(l);
}

uint32_t table_size(bool sgram)
{
    return sgram ? num_display_modes_sgram : num_display_modes_wram;
}

std::optional<TableRow> table_row(bool sgram, uint32_t index)
{
    if (index >= table_size(sgram))
        return std::nullopt;
    const DISPLAY_MODE& m = sgram ? display_mode_sgram[index] : display_mode_wram[index];
    const MODE_TIMING& t = *m.pTiming;
    const VIDEO_MODE_INFORMATION& i = m.ModeInformation;
    TableRow r;
    r.index = index;
    r.width = i.VisScreenWidth;
    r.height = i.VisScreenHeight;
    r.bpp = i.BitsPerPlane * i.NumberOfPlanes;
    r.frequency = i.Frequency;
    r.extra_width = m.ulExtraWidth;
    r.extra_height = m.ulExtraHeight;
    r.pitch = ModePitch(&m);
    r.start = ModeStartOffset(&m);
    const uint32_t cw = t.usCharWidth;
    const uint32_t h[4] = {t.usHActive, t.usHBlank, t.usHSyncStart, t.usHSyncWidth};
    const uint32_t v[4] = {t.usVActive, t.usVBlank, t.usVSyncStart, t.usVSyncWidth};
    for (int k = 0; k < 4; ++k) {
        r.h[k] = h[k] * cw;
        r.v[k] = v[k];
    }
    r.pixel_clock_hz = t.ulPixelClock;
    r.pll = static_cast<uint16_t>(t.ulPll526);
    r.test_slot = t.ulTimingFlags & TIMING_TEST_SLOT;
    r.custom_slot = t.ulTimingFlags & TIMING_CUSTOM_SLOT;
    return r;
}

} // namespace ksim
