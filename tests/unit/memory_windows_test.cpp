// Memory windows and their size codes, the WRAM reset, and the return to VGA
// with and without the BIOS call.
#include "hw_board.h"

using namespace hwtest;

namespace {

constexpr uint32_t kConfigBits = 0x0000'1F04; // whatever the configuration held before

TEST(MemoryWindows, Window0CoversTheWholeMemoryAndIsEnabled)
{
    HwBoard hw(board_with(0x10)); // 4 MiB
    hw.board().poke_io(0x1C, kConfigBits);
    Zorx_enable_mw0(&hw.ext);
    std::vector<Event> want = {
        W32(0x2000, 0),
        W32(0x2008, 10),
        W32(0x200C, 0),
        W32(0x2010, 0),
        W32(0x2024, 0xFFFFFFFF),
        IoR(0x1C, kConfigBits),
        IoW(0x1C, kConfigBits | 0x10000),
    };
    EXPECT_TRACE(hw.events(), want);
}

TEST(MemoryWindows, SizeCodeIsTheSmallestPowerOfTwoPagesThatCovers)
{
    struct Case {
        ULONG length;
        ULONG code;
    } cases[] = {
        {0x400000, 10},
        {0x800000, 11},
        {0xC00000, 12},
        {0x1000000, 12},
        {0x1400000, 13},
        {0x1800000, 13},
        {0, 0},
        {4096, 0},
        {4097, 1},
        {0x2000, 1},
        // Lengths past 2 GiB must end the search instead of shifting forever.
        {0x80000000, 19},
        {0x80000001, 20},
        {0xFFFFFFFF, 20},
    };
    for (const Case& c : cases) {
        HwBoard hw;
        hw.ext.AccessRanges[RANGE_FRAME_BUFFER].RangeLength = c.length;
        Zorx_enable_mw0(&hw.ext);
        EXPECT_EQ(hw.board().reg(0x2008), c.code) << std::hex << c.length;
    }
}

TEST(MemoryWindows, XyWindowsSetOnlyTheirSizeFieldAndEnableBit)
{
    struct Window {
        void (*enable)(PBOARD_EXTENSION);
        uint32_t control;
        uint32_t enable_bit;
    } windows[] = {{Zorx_enable_xyA, 0x4010, 0x100000}, {Zorx_enable_xyB, 0x6010, 0x200000}};
    for (const Window& w : windows) {
        HwBoard hw;
        hw.board().poke_reg(w.control, 0xA5A5A5A5);
        hw.board().poke_io(0x1C, kConfigBits);
        w.enable(&hw.ext);
        std::vector<Event> want = {
            R32(w.control, 0xA5A5A5A5),
            W32(w.control, 0xA5A5A1A5), // 8 KiB: code 1 in bits 8 to 11
            IoR(0x1C, kConfigBits),
            IoW(0x1C, kConfigBits | w.enable_bit),
        };
        EXPECT_TRACE(hw.events(), want);

        // However long the aperture, the neighbouring bits stay.
        hw.ext.AccessRanges[RANGE_XY_WINDOW].RangeLength = 0xFFFFFFFF;
        w.enable(&hw.ext);
        EXPECT_EQ(hw.board().reg(w.control) & ~0xF00u, 0xA5A5A0A5u);
    }
}

std::vector<Event> wram_reset(uint32_t before)
{
    std::vector<Event> want = {IoR(0x28, before), IoW(0x28, 0)};
    append(want, stalls(2));
    want.push_back(IoW(0x28, before | 1));
    append(want, stalls(2));
    return want;
}

TEST(WramReset, PulsesTheResetOnWramAndDoesNothingOnSgram)
{
    HwBoard wram(board_with(0x04));
    wram.board().poke_io(0x28, 0x30);
    Zorx_reset_wram(&wram.ext);
    EXPECT_TRACE(wram.events(), wram_reset(0x30));
    EXPECT_EQ(wram.machine.time_ns, 200'000u);

    HwBoard sgram(board_with(0x14));
    Zorx_reset_wram(&sgram.ext);
    EXPECT_TRUE(sgram.events().empty());
}

std::vector<Event> dac_to_vga()
{
    std::vector<Event> want = dac_select(0x70);
    want.push_back(W8(0x18, 0));
    append(want, dac_run(0x72, {0, 0}));
    append(want, dac_run(0x02, {0, 0, 0, 0, 2, 0, 1}));
    append(want, dac_run(0x10, {0}));
    append(want, dac_run(0x71, {0}));
    append(want, dac_run(0x30, {0}));
    return want;
}

std::vector<Event> vga_clock()
{
    std::vector<Event> want = dac_select(0x15);
    append(want, {W8(0x18, 0x06), W8(0x18, 0x26)});
    append(want, stalls(50));
    return want;
}

TEST(VgaReturn, WramBoardWithBiosCall)
{
    HwBoard hw(board_with(0x04));
    hw.ext.ulMemConfig = 0x40100;
    hw.board().poke_io(0x28, 0x30);
    hw.board().set_text_mode(false);
    Zorx_set_vga_mode(&hw.ext, TRUE);

    std::vector<Event> want = {Stall(50), W32(0x5C, 0x40000)};
    append(want, wram_reset(0x30));
    append(want, vga_clock());
    append(want, dac_to_vga());
    want.push_back({0, Op::Int10, Aperture::VgaPorts, 0, 0, 3});
    EXPECT_TRACE(hw.events(), want);

    ASSERT_EQ(hw.machine.int10_calls.size(), 1u);
    const VIDEO_X86_BIOS_ARGUMENTS& args = hw.machine.int10_calls[0];
    EXPECT_EQ(args.Eax, 3u);
    EXPECT_EQ(args.Ebx | args.Ecx | args.Edx | args.Esi | args.Edi | args.Ebp, 0u);
    EXPECT_TRUE(hw.board().text_mode());
    EXPECT_EQ(hw.ext.ulMemConfig, 0x40100u) << "the return to VGA does not change it";
}

TEST(VgaReturn, WithoutBiosOnlyRegistersAndStalls)
{
    // The reset callback's form: it may run at raised interrupt level.
    HwBoard hw(board_with(0x14));
    hw.ext.ulMemConfig = 0x20000100;
    Zorx_set_vga_mode(&hw.ext, FALSE);

    std::vector<Event> want = {Stall(50), W32(0x5C, 0x20000000)};
    append(want, vga_clock());
    append(want, dac_to_vga());
    EXPECT_TRACE(hw.events(), want);
    EXPECT_TRUE(hw.machine.int10_calls.empty());
    for (const Event& e : hw.events())
        EXPECT_TRUE(e.op == Op::Read || e.op == Op::Write || e.op == Op::Stall) << sim::describe(e);
}

TEST(VgaReturn, BiosIsCalledOnlyOnAVgaCompatibleBoard)
{
    sim::BoardSpec setup = board_with(0x14);
    setup.vga_compatible = false;
    HwBoard hw(setup);
    Zorx_set_vga_mode(&hw.ext, TRUE);
    EXPECT_TRUE(hw.machine.int10_calls.empty());
    EXPECT_EQ(hw.machine.trace.count(Op::Int10), 0u);
}

TEST(VgaReturn, DeclockedBoardKeepsItsMemoryClock)
{
    HwBoard hw(board_with(0x04));
    hw.ext.fDeclock = 1;
    Zorx_set_declock(&hw.ext, DECLOCK_PLL_WORD);
    hw.restart_trace();
    hw.board().poke_io(0x28, 0x30);
    Zorx_set_vga_mode(&hw.ext, TRUE);

    std::vector<Event> want = {Stall(50), W32(0x5C, 0)}; // before any mode set
    append(want, wram_reset(0x30));
    append(want, dac_to_vga());
    want.push_back({0, Op::Int10, Aperture::VgaPorts, 0, 0, 3});
    EXPECT_TRACE(hw.events(), want);
    EXPECT_EQ(sim::memory_pll_word(hw.board()), 0x0A25);
}

TEST(VgaReturn, LeavesTheDacInItsVgaSettings)
{
    HwBoard hw(board_with(0x11));
    sim::Dac& dac = hw.board().dac();
    for (uint16_t r = 0; r < 0x80; ++r)
        dac.set_reg(r, 0x5A);
    Zorx_set_vga_mode(&hw.ext, FALSE);
    const std::pair<uint16_t, uint8_t> vga[] = {
        {0x02, 0}, {0x03, 0}, {0x04, 0}, {0x05, 0}, {0x06, 2}, {0x07, 0}, {0x08, 1},
        {0x10, 0}, {0x30, 0}, {0x70, 0}, {0x71, 0}, {0x72, 0}, {0x73, 0},
    };
    for (auto [reg, value] : vga)
        EXPECT_EQ(dac.reg(reg), value) << std::hex << reg;
    sim::DisplayState s = hw.decoded();
    EXPECT_FALSE(s.native);
    EXPECT_FALSE(s.cursor_on);
    EXPECT_NEAR(s.memory_clock_hz, 54.02e6, 0.01e6);
}

} // namespace
