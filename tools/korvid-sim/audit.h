// The audit: every configuration code (or machine of several boards) on a
// freshly booted machine, every valid row set through the miniport on every
// board and decoded from the board's registers.
// It is a consistency check: the decoded timing, pitch, start and clock are
// held against the miniport's own mode tables (reference.h), so a row whose
// table is wrong in the same way as its registers passes. Only the refresh,
// computed from the programmed PLL words and the timing, is a physical check.
#pragma once

#include "tools/korvid-sim/machines.h"
#include "platform/videoport/system.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ksim {

// Decoded and table clocks closer than this are the same clock: the tables
// give the PLL's output rounded to whole hertz.
constexpr double kClockTolerance = 1e-4;
// A programmed refresh further than this from the row's rate is reported.
constexpr double kRefreshToleranceHz = 1.0;
// Rows tried per code: past the larger table, so that an index the driver
// should refuse is tried too.
constexpr uint32_t kRowsTried = 512;

// What the audit holds the registers against, as its report says it.
constexpr const char* kAuditReference =
    "The reference is the miniport's own mode tables\n(a consistency check); the refresh is "
    "computed from the programmed PLL words and timing.";

struct FieldDifference {
    std::string field;
    double table = 0, decoded = 0;
};

struct RowMismatch {
    uint32_t index = 0;
    std::string mode;
    std::vector<FieldDifference> differences;
};

struct RefreshOff {
    uint32_t index = 0;
    std::string mode;
    uint32_t frequency = 0;
    double refresh_hz = 0;
};

// One board's audit; a machine of one board has one, of several one a board.
struct ConfigAudit {
    uint32_t code = 0;
    // The machine the board is on, and its place in the chain; on a machine
    // of several boards also the table its rows index, "SGRAM" or "WRAM"
    // (the boards share one, which need not be of the board's own type).
    MachineCodes machine;
    int board = 0;
    std::string table;
    std::string memory_type;
    uint32_t memory_bytes = 0;
    uint32_t valid_rows = 0;
    uint32_t reported_all_virtual = 0;
    uint32_t reported_single = 0;
    std::vector<RowMismatch> mismatches;
    std::vector<RefreshOff> refresh_off;
    std::string error; // set when the code could not be audited
};

// Every board of the machine, in chain order. On a machine of several boards
// each board's mode list is counted first, as the display driver does at its
// start, then each board in turn has its rows set.
std::vector<ConfigAudit> audit_machine(const MachineCodes& machine,
                                       const korvid_host::DriverImage& driver);
ConfigAudit audit_config(uint32_t code, const korvid_host::DriverImage& driver);

struct AuditRun {
    // By machine in the order asked for, one record a board of it in chain order.
    std::vector<ConfigAudit> configs;
    double seconds = 0;
    int workers = 1;
};

// Runs the machines in up to `workers` processes (each with its own machine
// and driver), calling `progress(done, total)` as machines finish.
AuditRun run_audit(const std::vector<MachineCodes>& machines,
                   const korvid_host::DriverImage& driver, int workers,
                   const std::function<void(size_t, size_t)>& progress = {});

// One board's result as lines of text, and back: how workers report. A
// machine's boards are their records one after the other.
std::string serialize(const ConfigAudit& a);
std::optional<ConfigAudit> deserialize(const std::string& text);
std::vector<ConfigAudit> deserialize_all(const std::string& text);

} // namespace ksim
