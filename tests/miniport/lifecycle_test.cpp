// Driver entry, discovery, initialisation, reset, registry and the start-up
// load of custom refresh rates, on the simulated machine.
#include "miniport/custom_refresh.h"
#include "tests/miniport/mode_rows.h"
#include "miniport/hardware.h"
#include "miniport/korvid.h"
#include "miniport/registry.h"
#include "hardware/decode.h"
#include "loader/host_driver.h"
#include "platform/videoport/system.h"
#include "tests/support/machines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace sim;
using namespace korvid_host;
using testing_support::device;

namespace {

std::vector<uint8_t> wide_bytes(const char* s, bool terminator = true)
{
    std::vector<uint8_t> out;
    for (; *s; ++s) {
        out.push_back(static_cast<uint8_t>(*s));
        out.push_back(0);
    }
    if (terminator)
        out.insert(out.end(), {0, 0});
    return out;
}

std::vector<uint8_t> refresh_value(uint32_t refresh, uint32_t clock, uint32_t pll)
{
    std::vector<uint8_t> v(12);
    std::memcpy(&v[0], &refresh, 4);
    std::memcpy(&v[4], &clock, 4);
    std::memcpy(&v[8], &pll, 4);
    return v;
}

// On a port that rescans from slot 0 the second call meets the first board
// again, whose resources are taken: discovery ends there, no board claimed twice.
TEST(Discovery, BootsZeroToThreeBoardsAndChainsThemInOrder)
{
    for (SlotSearch search : {SlotSearch::SkipClaimed, SlotSearch::FromSlotZero})
        for (uint32_t boards = 0; boards <= 3; ++boards) {
            System m{std::vector<BoardSetup>(boards)};
            m.set_slot_search(search);
            ULONG status = m.boot(host_miniport());
            const uint32_t n = search == SlotSearch::SkipClaimed ? boards : std::min(boards, 1u);
            EXPECT_EQ(status, ULONG(n ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL));
            std::vector<VP_STATUS> want(n, NO_ERROR);
            want.insert(want.end(), {ERROR_DEV_NOT_EXIST, ERROR_DEV_NOT_EXIST}); // bus 0, bus 1
            EXPECT_EQ(m.find_adapter_status(), want);
            EXPECT_EQ(num_boards, n);
            EXPECT_EQ(m.claims().size(), 6u * n);
            ASSERT_EQ(m.device_count(), n);
            for (uint32_t i = 0; i < n; ++i) {
                PBOARD_EXTENSION ext = device(m, i);
                EXPECT_EQ(ext->pNextBoard, i + 1 < n ? device(m, i + 1) : nullptr);
                EXPECT_EQ(m.machine().board(i).config_dword(4) & 3, 3u)
                    << "I/O and memory decoding on";
                EXPECT_EQ(ext->AccessRanges[0].RangeInIoSpace, VIDEO_MEMORY_SPACE_P6CACHE);
                EXPECT_EQ(ext->AccessRanges[2].RangeVisible, 1);
                EXPECT_EQ(ext->AccessRanges[4].RangeVisible, 1);
                EXPECT_EQ(ext->AccessRanges[7].RangeStart.QuadPart, 0x3C0);
                EXPECT_EQ(ext->AccessRanges[7].RangeLength, 0x20u);
                EXPECT_EQ(ext->AccessRanges[7].RangeInIoSpace, 1);
                EXPECT_EQ(ext->AccessRanges[7].RangeVisible, 0);
                EXPECT_EQ(ext->AccessRanges[7].RangeShareable, 1);
                EXPECT_NE(ext->pVgaPorts, nullptr);
            }
        }
}

TEST(Discovery, ClearsTheEmulatorAndStateFieldsOfConfigInfo)
{
    System m(testing_support::boards({0x11}));
    m.boot(host_miniport());
    ASSERT_EQ(m.find_adapter_config().size(), 3u); // the board, no more on bus 0, none on bus 1
    const VIDEO_PORT_CONFIG_INFO& found = m.find_adapter_config()[0];
    EXPECT_EQ(found.VdmPhysicalVideoMemoryAddress.QuadPart, 0);
    EXPECT_EQ(found.VdmPhysicalVideoMemoryLength, 0u);
    EXPECT_EQ(found.NumEmulatorAccessEntries, 0u);
    EXPECT_EQ(found.EmulatorAccessEntries, nullptr);
    EXPECT_EQ(found.EmulatorAccessEntriesContext, 0u);
    EXPECT_EQ(found.HardwareStateSize, 0u);
    // The call that found no board leaves the record as offered.
    EXPECT_EQ(m.find_adapter_config()[1].HardwareStateSize, 0x1000u);
}

TEST(Discovery, RefusedBoardsLeaveTheChainAlone)
{
    {
        System m(testing_support::boards({0x11, 32}));
        m.boot(host_miniport());
        EXPECT_EQ(m.find_adapter_status(),
                  (std::vector<VP_STATUS>{NO_ERROR, ERROR_DEV_NOT_EXIST, ERROR_DEV_NOT_EXIST}));
        EXPECT_EQ(num_boards, 1u);
        EXPECT_EQ(device(m, 0)->pNextBoard, nullptr);
    }
    {
        System m(testing_support::boards({0x11}));
        m.faults().config_info_length = 71;
        m.boot(host_miniport());
        EXPECT_EQ(m.find_adapter_status(),
                  (std::vector<VP_STATUS>{ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER}));
        EXPECT_EQ(num_boards, 0u);
        EXPECT_EQ(m.machine().trace.size(), 0u) << "refused before any PCI access";
    }
    for (Aperture ap : {Aperture::Registers, Aperture::IoBlock, Aperture::FrameBuffer}) {
        System m(testing_support::boards({0x11, 0x11}));
        m.faults().fail_device_base.insert({1, ap});
        m.boot(host_miniport());
        EXPECT_EQ(m.find_adapter_status(),
                  (std::vector<VP_STATUS>{NO_ERROR, ERROR_INVALID_PARAMETER, ERROR_DEV_NOT_EXIST}));
        EXPECT_EQ(num_boards, 1u);
        EXPECT_EQ(device(m, 0)->pNextBoard, nullptr);
    }
    {
        System m(testing_support::boards({0x11}));
        m.faults().fail_device_base.insert({0, Aperture::VgaPorts});
        m.boot(host_miniport());
        EXPECT_EQ(num_boards, 1u) << "the VGA ports are optional";
    }
}

TEST(Initialisation, DerivesMemoryAndProgramsTheConfigurationRegisters)
{
    struct Case {
        uint32_t code, size, type;
    } cases[] = {{0x13, 0x1400000, 1}, {0x04, 0x800000, 0}, {0x0C, 0x800000, 0},
                 {0x17, 0x1800000, 1}, {0x10, 0x400000, 1}, {0x01, 0x800000, 0},
                 {0x12, 0xC00000, 1},  {0x05, 0xC00000, 0}, {0x16, 0x1000000, 1}};
    for (const Case& c : cases) {
        System m(testing_support::boards({c.code}));
        m.boot(host_miniport());
        PBOARD_EXTENSION ext = device(m, 0);
        EXPECT_EQ(ext->AccessRanges[0].RangeLength, c.size);
        EXPECT_EQ(ext->AccessRanges[2].RangeLength, 0x2000u);
        EXPECT_EQ(ext->ulMemoryType, c.type);
        EXPECT_EQ(ext->ulDacType, 0);
        EXPECT_EQ(ext->ulFlags, FLAG_ALL_VIRTUAL_MODES | FLAG_INITIALIZED);
        EXPECT_EQ(ext->ulCursorColor, 0xFFFFFFu);
        EXPECT_EQ(ext->ulDriverOption, 1u);
        EXPECT_EQ(ext->ulCurrentMode, 0u);
        EXPECT_EQ(ext->ulMemConfig, 0u);
        EXPECT_EQ(m.machine().board(0).reg(chip::MemoryConfig), 0u) << "no mode is set";

        std::vector<std::pair<uint32_t, uint32_t>> io_writes;
        for (const Event& e : m.machine().trace.writes_to(Aperture::IoBlock))
            if (e.offset == chip::IoMemoryType || e.offset == chip::IoSgramTiming)
                io_writes.emplace_back(e.offset, e.value);
        if (c.type == 1)
            EXPECT_EQ(io_writes, (std::vector<std::pair<uint32_t, uint32_t>>{
                                     {chip::IoMemoryType, 0x100010},
                                     {chip::IoSgramTiming, 0x1430},
                                     {chip::IoSgramTiming, 0x80001430}}));
        else
            EXPECT_EQ(io_writes,
                      (std::vector<std::pair<uint32_t, uint32_t>>{{chip::IoMemoryType, 0x500010}}));
        EXPECT_EQ(m.machine().board(0).io(chip::IoConfig) & 0x1F00, 0x1F00u);
        EXPECT_EQ(m.machine().board(0).io(chip::IoConfig) & 0x310000, 0x310000u)
            << "all three windows open";
    }
}

TEST(Initialisation, StrapChoosesTheFixedOrTheTableMemoryClock)
{
    BoardSetup fixed;
    fixed.memory_clock_strap = 0x08;
    BoardSetup table;
    table.memory_clock_strap = 0x01;
    System m({fixed, table});
    m.set_registry_dword(0, u"IBMMCLOCK", 125);
    m.set_registry_dword(1, u"IBMMCLOCK", 125);
    m.boot(host_miniport());
    EXPECT_EQ(device(m, 0)->fDeclock, 1u);
    EXPECT_EQ(memory_pll_word(m.machine().board(0)), 0x0A25);
    EXPECT_EQ(device(m, 1)->fDeclock, 0u);
    EXPECT_EQ(device(m, 1)->ulMclockIndex, 125u);
    EXPECT_EQ(memory_pll_word(m.machine().board(1)), 0x0676);
}

TEST(Registry, PublishesTheHardwareDescription)
{
    System m(testing_support::boards({0x11, 0x05}));
    m.boot(host_miniport());
    RegistryKey& sgram = m.registry(0);
    EXPECT_EQ(sgram[u"HardwareInformation.ChipType"].data, wide_bytes("ORV"));
    EXPECT_EQ(sgram[u"HardwareInformation.ChipType"].data.size(), 8u);
    EXPECT_EQ(sgram[u"HardwareInformation.DacType"].data, wide_bytes("IBM RGB526 SGRAM"));
    EXPECT_EQ(sgram[u"HardwareInformation.DacType"].data.size(), 34u);
    EXPECT_EQ(sgram[u"HardwareInformation.MemorySize"].data, (std::vector<uint8_t>{0, 0, 0x80, 0}));
    EXPECT_EQ(sgram[u"HardwareInformation.AdapterString"].data, wide_bytes("Quorvane"));
    RegistryKey& wram = m.registry(1);
    EXPECT_EQ(wram[u"HardwareInformation.DacType"].data.size(), 32u);
    EXPECT_EQ(wram[u"HardwareInformation.DacType"].data, wide_bytes("IBM RGB526 WRAM"));
    EXPECT_EQ(wram[u"HardwareInformation.MemorySize"].data, (std::vector<uint8_t>{0, 0, 0xC0, 0}));
}

TEST(Registry, VirtualDesktopAndMemoryClockChoices)
{
    struct Case {
        int double_wide, two_tall;
        ULONG want;
    } cases[] = {{-1, -1, 0}, {1, 0, 1}, {0, 1, 2}, {1, 1, 1}, {0, 2, 0}, {2, 0, 0}};
    for (const Case& c : cases) {
        System m(testing_support::boards({0x11}));
        if (c.double_wide >= 0)
            m.set_registry_dword(0, u"DoubleWide", c.double_wide);
        if (c.two_tall >= 0)
            m.set_registry_dword(0, u"TwoTall", c.two_tall);
        m.boot(host_miniport());
        EXPECT_EQ(gVirtualsFlag, c.want) << c.double_wide << "/" << c.two_tall;
    }
    {
        System m(testing_support::boards({0x01}));
        m.set_registry_dword(0, u"IBMMCLOCK", 90);
        m.boot(host_miniport());
        EXPECT_EQ(device(m, 0)->ulMclockIndex, 0u) << "WRAM boards never read it";
        EXPECT_EQ(memory_pll_word(m.machine().board(0)), 0x0846);
    }
}

TEST(CustomRefresh, ValueNamesFollowTheResolution)
{
    System m(testing_support::boards({0x11}));
    m.boot(host_miniport());
    struct Case {
        ULONG w, h;
        const char* name;
    } cases[] = {{1024, 768, "VrelCustomRefresh.04000300"},
                 {640, 480, "VrelCustomRefresh.028001E0"},
                 {1600, 1200, "VrelCustomRefresh.064004B0"},
                 {1920, 1080, "VrelCustomRefresh.07800438"},
                 {1152, 864, "VrelCustomRefresh.04800360"}};
    for (const Case& c : cases) {
        char name[32];
        std::memset(name, 0x55, sizeof name);
        GetKeyString(name, custom_rows(c.w, c.h).at(0));
        EXPECT_STREQ(name, c.name);
        for (int i = 26; i < 32; ++i)
            EXPECT_EQ(name[i], 0) << "byte " << i + 1;
    }
}

TEST(CustomRefresh, StoredRatesRefillTheSlotsAtTheNextBoot)
{
    System m(testing_support::boards({0x11}));
    m.set_registry_binary(0, u"VrelCustomRefresh.04000300", refresh_value(72, 77'000'000, 0x064B));
    m.set_registry_binary(0, u"VrelCustomRefresh.028001E0", refresh_value(0, 30'000'000, 0x0705));
    m.boot(host_miniport());
    std::vector<ULONG> rows = custom_rows(1024, 768);
    ASSERT_EQ(rows.size(), 12u);
    for (ULONG row : rows) {
        EXPECT_EQ(display_mode[row].ModeInformation.Frequency, 72u);
        EXPECT_EQ(display_mode[row].pTiming->ulPll526, 0x064Bu);
        EXPECT_EQ(display_mode[row].pTiming->ulPll528, 0x064Bu);
        EXPECT_EQ(display_mode[row].pTiming->ulPixelClock, 77'000'000u);
        EXPECT_EQ(display_mode[row].pTiming->ulNominalClock, 77'000'000u);
    }
    for (ULONG row : custom_rows(640, 480)) {
        EXPECT_EQ(display_mode[row].ModeInformation.Frequency, 1u) << "a zero rate changes nothing";
        EXPECT_EQ(display_mode[row].pTiming->ulPll526, 0x0907u);
    }

    // Unloading restores the built-in slots; the registry brings the rate back.
    m.reboot();
    EXPECT_EQ(display_mode[custom_rows(1024, 768).at(0)].ModeInformation.Frequency, 72u);
    m.registry(0).erase(u"VrelCustomRefresh.04000300");
    m.reboot();
    EXPECT_EQ(display_mode[custom_rows(1024, 768).at(0)].ModeInformation.Frequency, 1u);
    EXPECT_EQ(display_mode[custom_rows(1024, 768).at(0)].pTiming->ulPll526, 0x0747u);
}

TEST(Reset, ReturnsEveryBoardOfTheChainToVgaWithoutTheBios)
{
    System m(testing_support::boards({0x11, 0x04}));
    m.boot(host_miniport());
    m.machine().trace.clear();
    EXPECT_EQ(m.reset_hw(0), FALSE);
    EXPECT_TRUE(m.int10_calls().empty());
    std::set<int> boards;
    for (const Event& e : m.machine().trace.writes_to(Aperture::Registers))
        if (e.offset == 0x5C)
            boards.insert(e.board);
    EXPECT_EQ(boards, (std::set<int>{0, 1}));
}

} // namespace
