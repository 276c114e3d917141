// The simulated machine itself: DAC protocols, enumeration, fault on direct
// access, the trace, the clock decoder and driver reload.
#include "miniport/korvid.h"
#include "hardware/decode.h"
#include "loader/host_driver.h"
#include "platform/videoport/system.h"

#include <gtest/gtest.h>

using namespace sim;
using namespace korvid_host;

namespace {

PUCHAR reg_base(System& m, int board)
{
    PHYSICAL_ADDRESS pa;
    pa.QuadPart = m.machine().board(board).phys(Aperture::Registers);
    return static_cast<PUCHAR>(VideoPortGetDeviceBase(nullptr, pa, kRegisterApertureSize, 0));
}

TEST(SimDac, IndexedWritesAutoIncrementOnlyWhenEnabled)
{
    System m({BoardSetup{}});
    PUCHAR r = reg_base(m, 0);
    // Two values from index `first`, auto-increment on or off.
    auto write_two = [&](UCHAR increment, UCHAR first, UCHAR value0, UCHAR value1) {
        VideoPortWriteRegisterUchar(r + dac_port::IndexControl, increment);
        VideoPortWriteRegisterUchar(r + dac_port::IndexLow, first);
        for (UCHAR v : {value0, value1})
            VideoPortWriteRegisterUchar(r + dac_port::IndexData, v);
    };
    VideoPortWriteRegisterUchar(r + dac_port::IndexHigh, 0);
    write_two(1, dac_reg::PixelVco, 0x47, 0x06);
    EXPECT_EQ(m.machine().board(0).dac().reg(dac_reg::PixelVco), 0x47);
    EXPECT_EQ(m.machine().board(0).dac().reg(dac_reg::PixelRef), 0x06);
    EXPECT_EQ(m.machine().board(0).dac().index(), dac_reg::PixelRef + 1);

    write_two(0, dac_reg::CursorControl, 1, 2);
    EXPECT_EQ(m.machine().board(0).dac().reg(dac_reg::CursorControl), 2);
    EXPECT_EQ(m.machine().board(0).dac().reg(dac_reg::CursorControl + 1), 0);
    // A 32-bit write carries the value on the low byte lane.
    VideoPortWriteRegisterUlong(reinterpret_cast<PULONG>(r + dac_port::IndexData), 0x1234);
    EXPECT_EQ(m.machine().board(0).dac().reg(dac_reg::CursorControl), 0x34);
}

TEST(SimDac, PaletteTakesThreeWritesPerEntryAndAdvances)
{
    System m({BoardSetup{}});
    PUCHAR r = reg_base(m, 0);
    VideoPortWriteRegisterUchar(r + dac_port::PaletteWriteAddress, 254);
    for (UCHAR v : {1, 2, 3, 4, 5, 6, 7})
        VideoPortWriteRegisterUchar(r + dac_port::PaletteData, v);
    EXPECT_EQ(m.machine().board(0).dac().palette(254), (Rgb{1, 2, 3}));
    EXPECT_EQ(m.machine().board(0).dac().palette(255), (Rgb{4, 5, 6}));
    // Entry 255 is followed by entry 0.
    EXPECT_EQ(m.machine().board(0).dac().palette(0).r, 7);
    EXPECT_EQ(m.machine().board(0).dac().palette_write_address(), 0);
}

// One range per base address register, in order, sized from the masks the
// registers read back; each board handed to one device only.
TEST(SimBus, EnumerationBuildsRangesFromTheBarsAndClaimsEachBoardOnce)
{
    System m({BoardSetup{0x11}, BoardSetup{0x04}});
    USHORT vendor = KORVID_PCI_VENDOR_ID, device = KORVID_PCI_DEVICE_ID;
    uint8_t devices[3][4];
    std::vector<ULONG> slots;
    for (auto& ext : devices) {
        VIDEO_ACCESS_RANGE ranges[8] = {};
        ranges[6].RangeLength = 0x66;
        ranges[7].RangeLength = 0x20;
        ULONG slot = 0;
        if (VideoPortGetAccessRanges(ext, 0, nullptr, 8, ranges, &vendor, &device, &slot) !=
            NO_ERROR)
            break;
        slots.push_back(slot);
        const Board& b = m.machine().board(slot);
        const struct {
            uint32_t start, length;
            UCHAR io;
        } want[6] = {{b.phys(Aperture::FrameBuffer), 0x2000000, 0},
                     {b.phys(Aperture::XyWindowB), 0x1000000, 0},
                     {b.phys(Aperture::XyWindow), 0x1000000, 0},
                     {b.phys(Aperture::Engine), 0x10000, 0},
                     {b.phys(Aperture::Registers), 0x10000, 0},
                     {b.phys(Aperture::IoBlock), 0x100, 1}};
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(ranges[i].RangeStart.QuadPart, want[i].start) << i;
            EXPECT_EQ(ranges[i].RangeLength, want[i].length) << i;
            EXPECT_EQ(ranges[i].RangeInIoSpace, want[i].io) << i;
        }
        EXPECT_EQ(ranges[6].RangeLength, 0x66u);
        EXPECT_EQ(ranges[7].RangeLength, 0x20u);
        // Sizing left the registers as they were.
        EXPECT_EQ(m.machine().board(slot).config_dword(0x24), b.phys(Aperture::IoBlock) | 1);
    }
    EXPECT_EQ(slots, (std::vector<ULONG>{0, 1}));
    EXPECT_EQ(m.claims().size(), 12u);
}

TEST(SimBus, ConfigurationWritesKeepIdentityAndBarSizes)
{
    System m({BoardSetup{}});
    const uint32_t ones = 0xFFFFFFFF;
    for (uint32_t offset : {0x00u, 0x08u, 0x10u, 0x1Cu, 0x24u, 0x2Cu})
        VideoPortSetBusData(nullptr, PCIConfiguration, 0, const_cast<uint32_t*>(&ones), offset, 4);
    EXPECT_EQ(m.machine().board(0).config_dword(0x00), 0x05261A7Cu);
    EXPECT_EQ(m.machine().board(0).config_dword(0x10), 0xFE000008u);
    EXPECT_EQ(m.machine().board(0).config_dword(0x1C), 0xFFFF0000u);
    EXPECT_EQ(m.machine().board(0).config_dword(0x24), 0xFFFFFF01u);
    EXPECT_EQ(m.machine().board(0).config_dword(0x2C) >> 16, 0x11u);
}

TEST(SimBus, OtherVendorsAreNotOffered)
{
    System m({BoardSetup{}});
    USHORT vendor = 0x1234, device = KORVID_PCI_DEVICE_ID;
    VIDEO_ACCESS_RANGE ranges[8] = {};
    ULONG slot = 0;
    EXPECT_NE(VideoPortGetAccessRanges(nullptr, 0, nullptr, 8, ranges, &vendor, &device, &slot),
              NO_ERROR);
}

TEST(SimBusDeathTest, DirectRegisterDereferenceFaults)
{
    System m({BoardSetup{}});
    volatile ULONG* r = reinterpret_cast<volatile ULONG*>(reg_base(m, 0) + chip::DisplayControl);
    EXPECT_DEATH(
        {
            ULONG v = *r;
            (void)v;
        },
        "");
}

TEST(SimBusDeathTest, AccessOutsideEveryApertureIsReported)
{
    System m({BoardSetup{}});
    static ULONG not_a_device;
    EXPECT_DEATH(VideoPortWriteRegisterUlong(&not_a_device, 1), "lies in no device aperture");
}

// The display driver's view is its own, exactly as long as asked; register
// operations keep to memory space and port operations to I/O space.
TEST(SimBusDeathTest, MappingsAndOperationsKeepToTheirSpace)
{
    System m({BoardSetup{0x04}});
    PHYSICAL_ADDRESS fb;
    fb.QuadPart = m.machine().board(0).phys(Aperture::FrameBuffer);
    ULONG length = 0x2000, space = 0;
    PVOID va = nullptr;
    ASSERT_EQ(VideoPortMapMemory(nullptr, fb, &length, &space, &va), NO_ERROR);
    EXPECT_NE(va, m.machine().board(0).frame_buffer().base());
    volatile uint8_t* view = static_cast<uint8_t*>(va);
    view[0x1FFF] = 0x42;
    EXPECT_EQ(m.machine().board(0).frame_buffer().base()[0x1FFF], 0x42);
    EXPECT_DEATH(view[0x2000] = 1, "");

    PHYSICAL_ADDRESS io;
    io.QuadPart = m.machine().board(0).phys(Aperture::IoBlock);
    auto* port = static_cast<PULONG>(VideoPortGetDeviceBase(nullptr, io, 0x100, 1));
    EXPECT_DEATH(VideoPortReadRegisterUlong(port), "I/O-space address");
    EXPECT_DEATH(VideoPortReadPortUlong(reinterpret_cast<PULONG>(reg_base(m, 0))),
                 "outside the I/O block");

    EXPECT_EQ(VideoPortUnmapMemory(nullptr, va, nullptr), NO_ERROR);
    EXPECT_EQ(VideoPortUnmapMemory(nullptr, va, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(m.refused_unmaps(), (std::vector<const void*>{va}));
}

// A view covers whole pages and says so; write combining is recorded; a
// mapping made for another process is not the caller's to unmap.
TEST(SimBus, MappingsAreWholePagesWithTheirCachingAndProcess)
{
    System m({BoardSetup{0x04}});
    PHYSICAL_ADDRESS fb;
    fb.QuadPart = m.machine().board(0).phys(Aperture::FrameBuffer) + 0x10;
    ULONG length = 0x1001, space = VIDEO_MEMORY_SPACE_P6CACHE;
    PVOID va = reinterpret_cast<PVOID>(0x77);
    ASSERT_EQ(VideoPortMapMemory(nullptr, fb, &length, &space, &va), NO_ERROR);
    EXPECT_EQ(length, 0x2000u - 0x10);
    EXPECT_TRUE(m.mappings().back().write_combined);
    EXPECT_EQ(VideoPortUnmapMemory(nullptr, va, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(VideoPortUnmapMemory(nullptr, va, reinterpret_cast<HANDLE>(0x77)), NO_ERROR);
}

TEST(SimTrace, RecordsWidthOrderAndStalls)
{
    System m({BoardSetup{}});
    PUCHAR r = reg_base(m, 0);
    VideoPortWriteRegisterUchar(r + dac_port::IndexLow, 0x15);
    VideoPortStallExecution(50);
    VideoPortWriteRegisterUlong(reinterpret_cast<PULONG>(r + chip::DisplayControl), 0x173);
    ULONG v = VideoPortReadRegisterUlong(reinterpret_cast<PULONG>(r + chip::DisplayControl));
    EXPECT_EQ(v, 0x173u);
    std::vector<Event> want = {
        {0, Op::Write, Aperture::Registers, 1, dac_port::IndexLow, 0x15},
        {-1, Op::Stall, Aperture::Registers, 0, 0, 50},
        {0, Op::Write, Aperture::Registers, 4, chip::DisplayControl, 0x173},
        {0, Op::Read, Aperture::Registers, 4, chip::DisplayControl, 0x173},
    };
    EXPECT_EQ(m.machine().trace.events(), want);
    EXPECT_EQ(m.machine().time_ns, 50'000u);
}

TEST(SimTrace, BusyRegistersClearAfterTheConfiguredPolls)
{
    BoardSetup setup;
    setup.busy_polls = 2;
    System m({setup});
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
    System m({BoardSetup{0x11}, BoardSetup{0x11}});
    m.boot(host_miniport());
    EXPECT_EQ(num_boards, 2u);
    EXPECT_NE(memory_type, 0u);
    m.reboot();
    EXPECT_EQ(num_boards, 2u) << "a reload starts counting from zero again";
    System empty({});
    empty.boot(host_miniport());
    EXPECT_EQ(num_boards, 0u);
    EXPECT_EQ(memory_type, 0u);
}

} // namespace
