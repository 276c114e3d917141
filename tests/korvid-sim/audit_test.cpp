// The audit against the mode database: its counts are the database's own,
// its workers report what an in-process run finds, and it catches a driver
// whose tables differ from the ones korvid-sim holds it to.
#include "tests/korvid-sim/sim_fixture.h"

#include "tools/korvid-sim/audit.h"
#include "miniport/modes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

namespace {

struct DatabaseCounts {
    uint32_t valid = 0, all_virtual = 0, single = 0;
};

// What the miniport's own mode database says for a freshly booted board.
DatabaseCounts database_counts(uint32_t code)
{
    Booted b(code);
    auto* ext = static_cast<PBOARD_EXTENSION>(b.system.device_extension(0));
    DatabaseCounts c;
    for (ULONG i = 0; i < num_display_modes; ++i)
        c.valid += display_mode[i].fValid;
    c.all_virtual = ulZorx_GetModes(ext, nullptr, num_display_modes);
    ext->ulFlags = 0; // as after a mode set of row 0, a single-screen row
    ext->ulCurrentMode = 0;
    c.single = ulZorx_GetModes(ext, nullptr, num_display_modes);
    return c;
}

TEST(Audit, CountsAgreeWithTheModeDatabase)
{
    // One code per memory size and type; bit 3 of a code changes neither.
    for (uint32_t code :
         {0x00u, 0x01u, 0x02u, 0x03u, 0x06u, 0x07u, 0x10u, 0x11u, 0x12u, 0x13u, 0x16u, 0x1Fu}) {
        ksim::ConfigAudit a = ksim::audit_config(code, sim::host_miniport());
        DatabaseCounts db = database_counts(code);
        EXPECT_TRUE(a.error.empty()) << a.error;
        EXPECT_EQ(a.valid_rows, db.valid) << "code " << code;
        EXPECT_EQ(a.reported_all_virtual, db.all_virtual) << "code " << code;
        EXPECT_EQ(a.reported_single, db.single) << "code " << code;
    }
}

TEST(Audit, FindsTheRowsWhosePllMissesTheTablesClock)
{
    // 1600x1200 at 60 Hz: the PLL word gives 157.9 MHz where the table says 158.4.
    ksim::ConfigAudit a = ksim::audit_config(0x11, sim::host_miniport());
    EXPECT_EQ(a.valid_rows, 369u);
    EXPECT_EQ(a.memory_type, "SGRAM");
    ASSERT_FALSE(a.mismatches.empty());
    for (const ksim::RowMismatch& m : a.mismatches) {
        EXPECT_NE(m.mode.find("1600x1200"), std::string::npos) << m.mode;
        ASSERT_EQ(m.differences.size(), 1u) << m.mode;
        EXPECT_EQ(m.differences[0].field, "pixel_clock_hz");
        EXPECT_EQ(m.differences[0].table, 158'400'000);
    }
    for (const ksim::RefreshOff& r : a.refresh_off)
        EXPECT_GT(std::abs(r.refresh_hz - r.frequency), 1.0) << r.mode;
}

// With only device 0 opened, every board is settled before the first request
// and the boards share one table: what each board programs agrees with the
// table it lists from, whatever board a request went to first.
TEST(Audit, EveryBoardOfAMachineProgramsTheTableItLists)
{
    std::vector<ksim::ConfigAudit> boards =
        ksim::audit_machine({0x11, 0x04, 0x13}, sim::host_miniport());
    ASSERT_EQ(boards.size(), 3u);
    for (const ksim::ConfigAudit& a : boards) {
        EXPECT_TRUE(a.error.empty()) << a.error;
        EXPECT_GT(a.valid_rows, 0u);
        std::set<std::string> fields;
        for (const ksim::RowMismatch& m : a.mismatches)
            for (const ksim::FieldDifference& d : m.differences)
                fields.insert(d.field);
        fields.erase("pixel_clock_hz"); // the 1600x1200 PLL words, as on one board
        EXPECT_TRUE(fields.empty())
            << "board " << a.board << " programs rows other than the " << a.table
            << " table's: " << a.mismatches.size() << " mismatching, e.g. " << *fields.begin();
    }
    EXPECT_EQ(boards[2].reported_all_virtual, 235u) << "the shared table: rows fit every board";
}

TEST(Audit, WorkersReportWhatOneProcessFinds)
{
    // Codes, and a machine of two boards whose every board is reported.
    std::vector<ksim::MachineCodes> machines = {{0x11}, {0x00}, {0x13, 0x04}, {0x07}};
    ksim::AuditRun parallel = ksim::run_audit(machines, sim::host_miniport(), 2);
    EXPECT_EQ(parallel.workers, 2);
    std::vector<ksim::ConfigAudit> alone;
    for (const ksim::MachineCodes& m : machines)
        for (const ksim::ConfigAudit& a : ksim::audit_machine(m, sim::host_miniport()))
            alone.push_back(a);
    ASSERT_EQ(parallel.configs.size(), 5u);
    ASSERT_EQ(alone.size(), 5u);
    for (size_t i = 0; i < alone.size(); ++i) {
        const ksim::ConfigAudit& got = parallel.configs[i];
        EXPECT_EQ(got.machine, alone[i].machine);
        EXPECT_EQ(ksim::serialize(got), ksim::serialize(alone[i])) << "record " << i;
    }
    EXPECT_EQ(parallel.configs[3].board, 1);
}

TEST(Audit, ResultsSurviveTheTripBetweenProcesses)
{
    ksim::ConfigAudit a;
    a.code = 0x13;
    a.memory_type = "SGRAM";
    a.memory_bytes = 0x1400000;
    a.valid_rows = 392;
    a.reported_all_virtual = 248;
    a.reported_single = 62;
    a.mismatches.push_back({93,
                            "1600x1200x8@60:single",
                            {{"pixel_clock_hz", 158.4e6, 157915909}, {"h_sync", 192, 184}}});
    a.refresh_off.push_back({102, "1600x1200x8@75:single", 75, 77.0833333});
    a.error = "the worker stopped";
    auto back = ksim::deserialize(ksim::serialize(a));
    ASSERT_TRUE(back);
    EXPECT_EQ(ksim::serialize(*back), ksim::serialize(a));
    EXPECT_EQ(back->mismatches.at(0).differences.at(1).decoded, 184);
    EXPECT_DOUBLE_EQ(back->refresh_off.at(0).refresh_hz, 77.0833333);
    EXPECT_EQ(back->error, "the worker stopped");
    EXPECT_FALSE(ksim::deserialize("D h_sync 1 2\nE\n"));
}

// korvid.sys with one timing record changed in a copy: the audit sees the
// programmed registers disagree with the tables korvid-sim was built with.
TEST(Audit, APatchedKorvidSysShowsAsMismatches)
{
    auto path = korvid_sys_path();
    if (!path)
        GTEST_SKIP() << "no korvid.sys: configure with -DKORVID_CROSS_DIR";
    std::ifstream in(*path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    const MODE_TIMING& record = mode_1024_768_75;
    auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    auto at = std::search(file.begin(), file.end(), bytes, bytes + sizeof record);
    ASSERT_NE(at, file.end()) << "the 1024x768 75 Hz record is in the image";
    MODE_TIMING patched = record;
    patched.usHBlank += 2;
    std::memcpy(&*at, &patched, sizeof patched);
    pe::update_checksum(file);

    std::string error;
    auto image = sim::PeImage::load(file, &error);
    ASSERT_TRUE(image) << error;
    ksim::ConfigAudit a = ksim::audit_config(0x11, sim::sys_driver(image));
    ksim::ConfigAudit clean = ksim::audit_config(0x11, sim::host_miniport());
    ASSERT_GT(a.mismatches.size(), clean.mismatches.size());
    bool blank = false;
    for (const ksim::RowMismatch& m : a.mismatches)
        for (const ksim::FieldDifference& d : m.differences)
            blank |= d.field == "h_blank" && m.mode.rfind("1024x768", 0) == 0;
    EXPECT_TRUE(blank);
}

} // namespace
