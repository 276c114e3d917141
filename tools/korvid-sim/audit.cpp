#include "audit.h"

#include "reference.h"
#include "sim/machine/board.h"
#include "sim/machine/decode.h"
#include "sim/display/miniport_client.h"

#include "miniport/private_ioctl.h"

#include <cmath>

namespace ksim {

namespace {

void compare(std::vector<FieldDifference>& out, const char* field, double table, double decoded)
{
    if (table != decoded)
        out.push_back({field, table, decoded});
}

std::vector<FieldDifference> differences(const TableRow& t, const sim::DisplayState& s)
{
    std::vector<FieldDifference> d;
    compare(d, "bpp", t.bpp, s.bpp);
    compare(d, "h_active", t.h[0], s.h_active);
    compare(d, "h_blank", t.h[1], s.h_blank);
    compare(d, "h_front_porch", t.h[2], s.h_front_porch);
    compare(d, "h_sync", t.h[3], s.h_sync);
    compare(d, "v_active", t.v[0], s.v_active);
    compare(d, "v_blank", t.v[1], s.v_blank);
    compare(d, "v_front_porch", t.v[2], s.v_front_porch);
    compare(d, "v_sync", t.v[3], s.v_sync);
    compare(d, "pitch", t.pitch, s.pitch);
    compare(d, "start_offset", t.start, s.start);
    double clock = std::round(s.pixel_clock_hz);
    if (std::fabs(clock - t.pixel_clock_hz) > t.pixel_clock_hz * kClockTolerance)
        d.push_back({"pixel_clock_hz", double(t.pixel_clock_hz), clock});
    return d;
}

void check_row(ConfigAudit& audit, const sim::Board& board, bool sgram, uint32_t row)
{
    sim::DisplayState state = sim::decode_display(board);
    auto entry = table_row(sgram, row);
    if (!entry) {
        audit.mismatches.push_back({row, "beyond-the-table", {}});
        return;
    }
    if (auto differing = differences(*entry, state); !differing.empty())
        audit.mismatches.push_back({row, entry->name(), differing});
    if (entry->frequency > 1 &&
        std::fabs(state.refresh_hz - entry->frequency) > kRefreshToleranceHz)
        audit.refresh_off.push_back({row, entry->name(), entry->frequency, state.refresh_hz});
}

} // namespace

ConfigAudit audit_config(uint32_t code, const korvid_host::DriverImage& driver)
{
    ConfigAudit audit;
    audit.code = code;
    sim::BoardSetup board;
    board.config_code = code;
    korvid_host::System m({board});
    m.trace.set_enabled(false);
    audit.memory_bytes = m.board(0).memory_size();
    ULONG status = m.boot(driver);
    if (status != NO_ERROR || m.devices.empty()) {
        audit.error = "the driver did not load (status " + std::to_string(status) + ")";
        return audit;
    }
    sim::MiniportClient client(m, 0);
    audit.memory_type = client.query_string(IOCTL_PRIV_GET_MEMORY_TYPE_NAME);
    audit.reported_all_virtual = client.count_modes().value_or(0);
    const bool sgram = sim::is_sgram_code(code);
    bool counted_single = false;
    for (uint32_t row = 0; row < kRowsTried; ++row) {
        if (client.set_mode(row) != NO_ERROR)
            continue;
        ++audit.valid_rows;
        check_row(audit, m.board(0), sgram, row);
        auto entry = table_row(sgram, row);
        if (!counted_single && entry && entry->single()) {
            // The list a display driver sees once a single-screen mode is set.
            audit.reported_single = client.count_modes().value_or(0);
            counted_single = true;
        }
    }
    return audit;
}

} // namespace ksim
