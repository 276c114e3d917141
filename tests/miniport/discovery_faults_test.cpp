// Faults while the boards are found: a mapping that fails, the bus that
// stops offering boards part way. The boards found before keep working and
// the ones after are left as they were.
#include "tests/miniport/fault_machine.h"

#include "miniport/korvid.h"
#include "miniport/private_ioctl.h"

using namespace sim;
using namespace korvid_host;
using namespace miniport_tests;

namespace {

constexpr uint32_t kPciDecodeBits = 0x3;

// Nothing but PCI configuration space of the board was touched.
void expect_no_device_access(System& m, size_t board)
{
    for (const Event& e : m.machine().trace.events())
        if (e.board == static_cast<int>(board) && e.aperture != Aperture::PciConfig)
            ADD_FAILURE() << "board " << board << ": " << describe(e);
}

// No board from `first` on was claimed, decoded or touched.
void expect_untouched_from(System& m, size_t first)
{
    for (size_t i = first; i < m.machine().num_boards(); ++i) {
        EXPECT_EQ(m.machine().board(i).config_dword(4) & kPciDecodeBits, 0u) << "board " << i;
        expect_no_device_access(m, i);
    }
}

TEST(DiscoveryFaults, AMappingThatFailsRefusesThatBoardAndKeepsTheOnesBefore)
{
    for (int failing = 0; failing < 2; ++failing)
        for (Aperture ap : {Aperture::Registers, Aperture::IoBlock, Aperture::FrameBuffer}) {
            SCOPED_TRACE(::testing::Message() << "board " << failing << ", " << aperture_name(ap));
            System m(boards({0x17, 0x04, 0x11}));
            m.faults().fail_device_base.insert({failing, ap});
            ULONG status = m.boot(host_miniport());
            // The refusal ends bus 0; bus 1 has no board.
            std::vector<VP_STATUS> want(failing, NO_ERROR);
            want.insert(want.end(), {ERROR_INVALID_PARAMETER, ERROR_DEV_NOT_EXIST});
            EXPECT_EQ(m.find_adapter_status(), want);
            EXPECT_EQ(status, ULONG(failing ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL));
            ASSERT_EQ(m.device_count(), size_t(failing));
            EXPECT_EQ(num_boards, ULONG(failing));
            for (int i = 0; i < failing; ++i) {
                EXPECT_EQ(device(m, i)->pNextBoard, nullptr);
                EXPECT_EQ(call(m, IOCTL_PRIV_GET_NUM_BOARDS, {}, 4).word(), ULONG(failing));
                EXPECT_TRUE(serves_requests(m, i));
            }
            // The refused board was claimed but nothing of it programmed.
            expect_no_device_access(m, failing);
            expect_untouched_from(m, failing + 1);
        }
}

TEST(DiscoveryFaults, VgaPortsThatCannotBeMappedAreNotNeeded)
{
    System m(boards({0x11, 0x04}));
    m.faults().fail_device_base.insert({1, Aperture::VgaPorts});
    ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
    ASSERT_EQ(m.device_count(), 2u);
    EXPECT_EQ(device(m, 1)->pVgaPorts, nullptr);
    EXPECT_NE(device(m, 0)->pVgaPorts, nullptr);
    EXPECT_TRUE(serves_requests(m, 0));
    EXPECT_TRUE(serves_requests(m, 1));
}

TEST(DiscoveryFaults, BusThatStopsOfferingBoardsEndsDiscoveryCleanly)
{
    for (int failing_call = 0; failing_call < 3; ++failing_call) {
        SCOPED_TRACE(::testing::Message() << "call " << failing_call << " fails");
        System m(boards({0x11, 0x13, 0x05}));
        m.faults().fail_get_access_ranges_call = failing_call;
        ULONG status = m.boot(host_miniport());
        size_t found = failing_call;
        std::vector<VP_STATUS> want(found, NO_ERROR);
        want.insert(want.end(), {ERROR_DEV_NOT_EXIST, ERROR_DEV_NOT_EXIST}); // bus 0, bus 1
        EXPECT_EQ(m.find_adapter_status(), want);
        EXPECT_EQ(status, ULONG(found ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL));
        ASSERT_EQ(m.device_count(), found);
        EXPECT_EQ(num_boards, found);
        for (size_t i = 0; i < found; ++i)
            EXPECT_EQ(device(m, i)->pNextBoard, i + 1 < found ? device(m, i + 1) : nullptr);
        expect_untouched_from(m, found);
        if (!found)
            continue;
        EXPECT_EQ(call(m, IOCTL_PRIV_GET_NUM_BOARDS, {}, 4).word(), found);
        // A board number past the shortened chain lands on its last board.
        ASSERT_EQ(call(m, IOCTL_PRIV_SELECT_BOARD, testing_support::words({2})).status, NO_ERROR);
        EXPECT_EQ(call(m, IOCTL_PRIV_GET_BOARD_CONFIG, {}, 4).word(),
                  device(m, found - 1)->ulBoardConfig);
        ASSERT_EQ(call(m, IOCTL_PRIV_SELECT_BOARD, testing_support::words({0})).status, NO_ERROR);
        for (size_t i = 0; i < found; ++i)
            EXPECT_TRUE(serves_requests(m, static_cast<int>(i)));
    }
}

// Discovery turns I/O decoding on for every board, as the I/O block needs,
// and a VGA-compatible board with I/O decoding on answers the legacy VGA
// ports. Two on the host bus answer them at once, and the BIOS's text-mode
// call (the system VGA's return to VGA) drives both. Behind the AGP bridge a
// board answers only while the bridge forwards VGA cycles, which the BIOS
// sets only when the system's VGA is there.
TEST(DiscoveryFaults, WhichBoardsAnswerTheVgaPortsOnceDecodingIsOn)
{
    BoardSetup other_display = boards({0x04})[0];
    other_display.vga_compatible = false;
    const struct {
        std::vector<BoardSetup> setups;
        std::vector<int> answering;
    } cases[] = {
        {boards({0x11, 0x04}), {0, 1}},
        {boards({0x11, 0x19}), {0}},
        {boards({0x19, 0x11}), {1}},
        {boards({0x19}), {0}},
        {{boards({0x11})[0], other_display}, {0}},
    };
    for (const auto& c : cases) {
        System m(c.setups);
        EXPECT_TRUE(m.machine().vga_port_answerers().empty()) << "decoding off at power-up";
        ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
        EXPECT_EQ(m.machine().vga_port_answerers(), c.answering);
        // Found first, the system's VGA gets the BIOS call.
        EXPECT_EQ(m.board_of_device(0), m.machine().primary_vga());
        EXPECT_EQ(call(m, IOCTL_VIDEO_RESET_DEVICE).status, NO_ERROR);
        EXPECT_EQ(m.machine().vga_conflicts.size(), c.answering.size() - 1);
    }
}

} // namespace
