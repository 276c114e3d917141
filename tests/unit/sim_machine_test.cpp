// The simulated machine itself: DAC protocols, enumeration, fault on direct
// access, the trace, the clock decoder and driver reload.
#include "korvid.h"
#include "sim/decode.h"
#include "sim/host_driver.h"
#include "sim/machine.h"

#include <gtest/gtest.h>

using namespace sim;

namespace {

PUCHAR reg_base(Machine& m, int board)
{
    PHYSICAL_ADDRESS pa;
    pa.QuadPart = m.board(board).reg_phys();
    return static_cast<PUCHAR>(VideoPortGetDeviceBase(nullptr, pa, kRegisterApertureSize, 0));
}

TEST(SimDac, IndexedWritesAutoIncrementOnlyWhenEnabled)
{
    Machine m({BoardSetup{}});
    PUCHAR r = reg_base(m, 0);
    VideoPortWriteRegisterUchar(r + dac_port::IndexHigh, 0);
    VideoPortWriteRegisterUchar(r + dac_port::IndexControl, 1);
    VideoPortWriteRegisterUchar(r + dac_port::IndexLow, 0x20);
    VideoPortWriteRegisterUchar(r + dac_port::IndexData, 0x47);
    VideoPortWriteRegisterUchar(r + dac_port::IndexData, 0x06);
    EXPECT_EQ(m.board(0).dac().reg(0x20), 0x47);
    EXPECT_EQ(m.board(0).dac().reg(0x21), 0x06);
    EXPECT_EQ(m.board(0).dac().index(), 0x22);

    VideoPortWriteRegisterUchar(r + dac_port::IndexControl, 0);
    VideoPortWriteRegisterUchar(r + dac_port::IndexLow, 0x30);
    VideoPortWriteRegisterUchar(r + dac_port::IndexData, 1);
    VideoPortWriteRegisterUchar(r + dac_port::IndexData, 2);
    EXPECT_EQ(m.board(0).dac().reg(0x30), 2);
    EXPECT_EQ(m.board(0).dac().reg(0x31), 0);
    // A 32-bit write carries the value on the low byte lane.
    VideoPortWriteRegisterUlong(reinterpret_cast<PULONG>(r + dac_port::IndexData), 0x1234);
    EXPECT_EQ(m.board(0).dac().reg(0x30), 0x34);
}

TEST(SimDac, PaletteTakesThreeWritesPerEntryAndAdvances)
{
    Machine m({BoardSetup{}});
    PUCHAR r = reg_base(m, 0);
    VideoPortWriteRegisterUchar(r + dac_port::PaletteWriteAddress, 254);
    for (UCHAR v : {1, 2, 3, 4, 5, 6, 7})
        VideoPortWriteRegisterUchar(r + dac_port::PaletteData, v);
    EXPECT_EQ(m.board(0).dac().palette(254), (Rgb{1, 2, 3}));
    EXPECT_EQ(m.board(0).dac().palette(255), (Rgb{4, 5, 6}));
    // Entry 255 is followed by entry 0.
    EXPECT_EQ(m.board(0).dac().palette(0).r, 7);
    EXPECT_EQ(m.board(0).dac().palette_write_address(), 0);
}

TEST(SimBus, EnumerationClaimsEachBoardOnceAndKeepsUnfilledEntries)
{
    Machine m({BoardSetup{0x11}, BoardSetup{0x04}});
    USHORT vendor = KORVID_PCI_VENDOR_ID, device = KORVID_PCI_DEVICE_ID;
    std::vector<ULONG> slots;
    for (int i = 0; i < 3; ++i) {
        VIDEO_ACCESS_RANGE ranges[8] = {};
        ranges[7].RangeLength = 0x20;
        ULONG slot = 99;
        VP_STATUS s =
            VideoPortGetAccessRanges(nullptr, 0, nullptr, 8, ranges, &vendor, &device, &slot);
        if (s != NO_ERROR) {
            EXPECT_EQ(i, 2);
            break;
        }
        slots.push_back(slot);
        EXPECT_EQ(ranges[7].RangeLength, 0x20u);
        EXPECT_EQ(ranges[0].RangeStart.QuadPart, m.board(slot).fb_phys());
        EXPECT_EQ(ranges[5].RangeInIoSpace, 1);
    }
    EXPECT_EQ(slots, (std::vector<ULONG>{0, 1}));
}

TEST(SimBus, OtherVendorsAreNotOffered)
{
    Machine m({BoardSetup{}});
    USHORT vendor = 0x1234, device = KORVID_PCI_DEVICE_ID;
    VIDEO_ACCESS_RANGE ranges[8] = {};
    ULONG slot = 0;
    EXPECT_NE(VideoPortGetAccessRanges(nullptr, 0, nullptr, 8, ranges, &vendor, &device, &slot),
              NO_ERROR);
}

TEST(SimBusDeathTest, DirectRegisterDereferenceFaults)
{
    Machine m({BoardSetup{}});
    volatile ULONG* r = reinterpret_cast<volatile ULONG*>(reg_base(m, 0) + 0x58);
    EXPECT_DEATH(
        {
            ULONG v = *r;
            (void)v;
        },
        "");
}

TEST(SimBusDeathTest, AccessOutsideEveryApertureIsReported)
{
    Machine m({BoardSetup{}});
    static ULONG not_a_device;
    EXPECT_DEATH(VideoPortWriteRegisterUlong(&not_a_device, 1), "lies in no device aperture");
}

TEST(SimTrace, RecordsWidthOrderAndStalls)
{
    Machine m({BoardSetup{}});
    PUCHAR r = reg_base(m, 0);
    VideoPortWriteRegisterUchar(r + dac_port::IndexLow, 0x15);
    VideoPortStallExecution(50);
    VideoPortWriteRegisterUlong(reinterpret_cast<PULONG>(r + 0x58), 0x173);
    ULONG v = VideoPortReadRegisterUlong(reinterpret_cast<PULONG>(r + 0x58));
    EXPECT_EQ(v, 0x173u);
    std::vector<Event> want = {
        {0, Op::Write, Aperture::Registers, 1, 0x10, 0x15},
        {-1, Op::Stall, Aperture::Registers, 0, 0, 50},
        {0, Op::Write, Aperture::Registers, 4, 0x58, 0x173},
        {0, Op::Read, Aperture::Registers, 4, 0x58, 0x173},
    };
    EXPECT_EQ(m.trace.events(), want);
    EXPECT_EQ(m.time_ns, 50'000u);
}

TEST(SimTrace, BusyRegistersClearAfterTheConfiguredPolls)
{
    BoardSetup setup;
    setup.busy_polls = 2;
    Machine m({setup});
    PULONG busy = reinterpret_cast<PULONG>(reg_base(m, 0) + chip::BusyCount);
    EXPECT_NE(VideoPortReadRegisterUlong(busy), 0u);
    EXPECT_NE(VideoPortReadRegisterUlong(busy), 0u);
    EXPECT_EQ(VideoPortReadRegisterUlong(busy), 0u);
}

TEST(SimDecode, PllWordsGiveTheirFrequencies)
{
    EXPECT_NEAR(pll_frequency_hz(0x0907), 25'175'000, 50);
    EXPECT_NEAR(pll_frequency_hz(0x0A25), 32'100'000, 5'000);
    EXPECT_NEAR(pll_frequency_hz(0x0647), 75'530'000, 5'000);
    EXPECT_NEAR(pll_frequency_hz(0x0DC5), 135'560'000, 5'000);
    EXPECT_EQ(pll_frequency_hz(0x0047), 0.0);
}

TEST(SimDriver, ReloadRestoresEveryGlobal)
{
    Machine m({BoardSetup{0x11}, BoardSetup{0x11}});
    m.boot(host_miniport());
    EXPECT_EQ(num_boards, 2u);
    EXPECT_NE(memory_type, 0u);
    m.reboot();
    EXPECT_EQ(num_boards, 2u) << "a reload starts counting from zero again";
    Machine empty({});
    empty.boot(host_miniport());
    EXPECT_EQ(num_boards, 0u);
    EXPECT_EQ(memory_type, 0u);
}

} // namespace
