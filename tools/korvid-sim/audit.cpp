#include "tools/korvid-sim/audit.h"

#include "tools/korvid-sim/reference.h"
#include "hardware/board.h"
#include "hardware/decode.h"
#include "display/miniport_client.h"

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

// Which table a board's rows index: on a machine of one board the table of
// its own memory type; on one of several the boards share one table, and the
// board's listed modes say which.
bool lists_from(bool sgram, const std::vector<sim::ModeEntry>& list)
{
    for (const sim::ModeEntry& e : list) {
        auto t = table_row(sgram, e.index());
        if (!t || t->width != e.width() || t->height != e.height() || t->bpp != e.bpp() ||
            t->frequency != e.frequency() || t->extra_width != e.extra_width ||
            t->extra_height != e.extra_height)
            return false;
    }
    return true;
}

const char* table_name(bool sgram)
{
    return sgram ? "SGRAM" : "WRAM";
}

// What the display driver learns of a board at its start: its memory type
// and its mode list, before any mode is set.
void first_look(ConfigAudit& audit, sim::MiniportClient& client)
{
    audit.memory_type = client.query_string(IOCTL_PRIV_GET_MEMORY_TYPE_NAME);
    if (audit.machine.size() == 1) {
        audit.reported_all_virtual = client.count_modes().value_or(0);
        return;
    }
    std::vector<sim::ModeEntry> list = client.list_modes();
    audit.reported_all_virtual = uint32_t(list.size());
    const bool own = sim::is_sgram_code(audit.code);
    audit.table = table_name(lists_from(own, list) ? own : !own);
}

void audit_rows(ConfigAudit& audit, sim::MiniportClient& client, const sim::Board& board)
{
    const bool sgram =
        audit.table.empty() ? sim::is_sgram_code(audit.code) : audit.table == table_name(true);
    bool counted_single = false;
    for (uint32_t row = 0; row < kRowsTried; ++row) {
        if (client.set_mode(row) != NO_ERROR)
            continue;
        ++audit.valid_rows;
        check_row(audit, board, sgram, row);
        auto entry = table_row(sgram, row);
        if (!counted_single && entry && entry->single()) {
            // The list a display driver sees once a single-screen mode is set.
            audit.reported_single = client.count_modes().value_or(0);
            counted_single = true;
        }
    }
}

} // namespace

std::vector<ConfigAudit> audit_machine(const MachineCodes& machine,
                                       const korvid_host::DriverImage& driver)
{
    auto m = fresh_machine(machine);
    m->machine().trace.set_enabled(false);
    ULONG status = m->boot(driver);
    std::vector<ConfigAudit> boards;
    std::vector<bool> found(machine.size(), false);
    for (size_t b = 0; status == NO_ERROR && b < m->device_count(); ++b) {
        int sim_board = m->board_of_device(static_cast<int>(b));
        found.at(size_t(sim_board)) = true;
        ConfigAudit a;
        a.code = machine.at(size_t(sim_board));
        a.machine = machine;
        a.board = int(b);
        a.memory_bytes = m->machine().board(sim_board).memory_size();
        boards.push_back(a);
    }
    for (ConfigAudit& a : boards) {
        sim::MiniportClient client(*m, a.board);
        first_look(a, client);
    }
    for (ConfigAudit& a : boards) {
        sim::MiniportClient client(*m, a.board);
        audit_rows(a, client, chain_board(*m, a.board));
    }
    for (size_t i = 0; i < machine.size(); ++i) {
        if (found[i])
            continue;
        ConfigAudit a;
        a.code = machine[i];
        a.machine = machine;
        a.board = -1;
        a.memory_bytes = m->machine().board(int(i)).memory_size();
        a.error = status != NO_ERROR || m->devices().empty()
                      ? "the driver did not load (status " + std::to_string(status) + ")"
                      : "the driver did not find this board";
        boards.push_back(a);
    }
    return boards;
}

ConfigAudit audit_config(uint32_t code, const korvid_host::DriverImage& driver)
{
    return audit_machine({code}, driver).at(0);
}

} // namespace ksim
