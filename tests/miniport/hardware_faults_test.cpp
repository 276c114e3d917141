// Faults of the hardware and of the video port's services while requests
// run: a chip whose busy bits never clear, a BIOS call that fails, mappings
// the video port refuses. Each request reports what happened, and the board
// serves the next requests.
#include "tests/miniport/fault_machine.h"

#include "miniport/korvid.h"
#include "miniport/private_ioctl.h"
#include "hardware/decode.h"

#include <algorithm>

using namespace sim;
using namespace korvid_host;
using namespace miniport_tests;
namespace {

using testing_support::Reply;
using testing_support::words;

constexpr uint64_t kNsPerUs = 1000;
// One second of polling in each of the mode set's two idle waits.
constexpr uint64_t kIdleGiveUpNs = 2 * 1'000'000 * kNsPerUs;
// The mode set's own delays on an SGRAM board: configuration pulse and one
// memory-clock change.
constexpr uint64_t kSgramModeSetDelaysNs = (200 + 2500) * kNsPerUs;

size_t user_mappings(const System& m)
{
    return std::count_if(m.mappings().begin(), m.mappings().end(),
                         [](const Mapping& map) { return !map.kernel; });
}

uint64_t clear_ns(const System& m, uint32_t bytes)
{
    return uint64_t(bytes) * 1'000'000'000 / m.machine().clear_rate_bytes_per_s;
}

TEST(HardwareFaults, ChipThatNeverIdlesGetsItsModeWithinTheWaitBound)
{
    BoardSetup stuck(0x11);
    stuck.never_idle = true;
    System m({BoardSetup(0x11), stuck});
    ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
    uint32_t memory = m.machine().board(1).memory_size();

    ASSERT_EQ(call(m, IOCTL_PRIV_SELECT_BOARD, words({1})).status, NO_ERROR);
    m.machine().time_ns = 0;
    ASSERT_EQ(call(m, IOCTL_VIDEO_SET_CURRENT_MODE, words({0})).status, NO_ERROR);
    EXPECT_EQ(m.machine().time_ns, kSgramModeSetDelaysNs + kIdleGiveUpNs + clear_ns(m, memory));
    EXPECT_TRUE(decode_display(m.machine().board(1)).native);
    EXPECT_EQ(m.machine().trace.count(Op::ZeroMemory), 1u) << "memory is cleared all the same";

    // The stuck chip costs only its own requests: the other board's mode set
    // pays its delays alone.
    ASSERT_EQ(call(m, IOCTL_PRIV_SELECT_BOARD, words({0})).status, NO_ERROR);
    m.machine().time_ns = 0;
    ASSERT_EQ(call(m, IOCTL_VIDEO_SET_CURRENT_MODE, words({0})).status, NO_ERROR);
    EXPECT_EQ(m.machine().time_ns, kSgramModeSetDelaysNs + clear_ns(m, memory));
    EXPECT_TRUE(serves_requests(m, 0));
    EXPECT_TRUE(serves_requests(m, 1));
}

TEST(HardwareFaults, BiosCallThatFailsStillLeavesTheBoardInVga)
{
    System m(boards({0x04}));
    m.faults().int10_status = ERROR_INVALID_FUNCTION;
    ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
    ASSERT_EQ(call(m, IOCTL_VIDEO_SET_CURRENT_MODE, words({0})).status, NO_ERROR);
    // The registers are back in VGA before the BIOS is asked for text mode,
    // so the reset is done even when the BIOS call fails.
    EXPECT_EQ(call(m, IOCTL_VIDEO_RESET_DEVICE).status, NO_ERROR);
    EXPECT_EQ(m.int10_calls().size(), 1u);
    DisplayState shown = decode_display(m.machine().board(0));
    EXPECT_FALSE(shown.native);
    EXPECT_FALSE(shown.cursor_on);
    EXPECT_TRUE(serves_requests(m));
}

TEST(HardwareFaults, RefusedMappingsAreReportedAndLeaveNoMappingBehind)
{
    System m(boards({0x11}));
    ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
    m.faults().map_memory_status = ERROR_NOT_ENOUGH_MEMORY;
    EXPECT_EQ(call(m, IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 16).status,
              ERROR_NOT_ENOUGH_MEMORY);
    Reply ranges = call(m, IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES, {}, 96);
    EXPECT_EQ(ranges.status, ERROR_NOT_ENOUGH_MEMORY);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(ranges.word(3 * k + 2), 0u) << "entry " << k << " has no address";
    EXPECT_EQ(call(m, IOCTL_VIDEO_SHARE_VIDEO_MEMORY, words({0x55, 0, 0x1000, 0}), 12).status,
              ERROR_NOT_ENOUGH_MEMORY);
    // Freeing the failed query's answer unmaps nothing and fails nothing.
    EXPECT_EQ(call(m, IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES, ranges.output).status, NO_ERROR);
    EXPECT_EQ(user_mappings(m), 0u);

    m.faults().map_memory_status = NO_ERROR;
    Reply map = call(m, IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 16);
    EXPECT_EQ(map.status, NO_ERROR);
    EXPECT_EQ(call(m, IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES, {}, 96).status, NO_ERROR);
    EXPECT_EQ(user_mappings(m), 3u);
    EXPECT_EQ(call(m, IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, words({map.word(0)})).status, NO_ERROR);
    EXPECT_TRUE(serves_requests(m));
}

// Kernel mappings are made while the board is found, so a BIOS image that
// could not be mapped then is refused until the driver loads again.
TEST(HardwareFaults, BiosImageThatCannotBeMappedIsRefusedUntilTheNextLoad)
{
    System m(boards({0x11}));
    m.faults().fail_rom_mapping = true;
    ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
    EXPECT_EQ(call(m, IOCTL_PRIV_MAP_BIOS_ROM, {}, 4).status, ERROR_INVALID_PARAMETER);
    m.faults().fail_rom_mapping = false;
    EXPECT_EQ(call(m, IOCTL_PRIV_MAP_BIOS_ROM, {}, 4).status, ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(serves_requests(m));
    ASSERT_EQ(m.reboot(), NO_ERROR);
    Reply rom = call(m, IOCTL_PRIV_MAP_BIOS_ROM, {}, 4);
    EXPECT_EQ(rom.status, NO_ERROR);
    EXPECT_EQ(rom.word(), reinterpret_cast<uintptr_t>(m.machine().rom().base()));
}

} // namespace
