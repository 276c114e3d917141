// The mode set: its exact sequence on one mode, horizontal scaling, the DAC
// by memory type, depth and DAC type, the clocks, the bounded idle waits,
// its cost, and every row of both tables entered on real boards.
#include "hw_board.h"
#include "videoport/reload.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace hwtest;

namespace {

// Timing records as the tables hold them (character units, lines).
MODE_TIMING timing_640_480_60 = {0,  0x70, 0x40100, 0x0907, 0x0907, 8, 80,       20,      2,
                                 12, 480,  45,      10,     2,      0, 25175000, 25174998};
MODE_TIMING timing_800_600_60 = {0,  0x73, 0x40100, 0x060B, 0x060B, 4, 200,      64,      10,
                                 32, 600,  28,      1,      4,      0, 40000000, 39860404};
MODE_TIMING timing_1600_1200_75 = {0,  0x73, 0x40100, 0x06A0, 0x06A0, 8, 200,       64,       8,
                                   24, 1200, 50,      1,      3,      0, 202500000, 203497852};

DISPLAY_MODE make_row(MODE_TIMING* t, ULONG bpp, ULONG extraWidth = 0, ULONG extraHeight = 0)
{
    DISPLAY_MODE row{};
    VIDEO_MODE_INFORMATION& info = row.ModeInformation;
    info.Length = sizeof info;
    info.VisScreenWidth = t->usHActive * t->usCharWidth;
    info.VisScreenHeight = t->usVActive;
    // Bytes per line rounded up to 128.
    info.ScreenStride = (info.VisScreenWidth * bpp / 8 + 127) & ~127u;
    info.NumberOfPlanes = 1;
    info.BitsPerPlane = bpp;
    info.Frequency = 60;
    row.pTiming = t;
    row.fValid = 1;
    row.ulExtraWidth = extraWidth;
    row.ulExtraHeight = extraHeight;
    return row;
}

constexpr uint32_t kWram8M = 0x04;
constexpr uint32_t kSgram8M = 0x11;
constexpr uint32_t kConfigBefore = 0x0CF0'C0E3; // bits the configuration reset must clear and keep
constexpr uint32_t kControlBefore = 0x0000'00FF;
constexpr uint32_t kXyControlBefore = 0x0000'0F33;

std::vector<Event> idle_check()
{
    return {R32(0x400C, 0), R32(0x4008, 0)};
}

// The whole device-access sequence of a 640 x 480 x 8 mode set on an 8 MiB WRAM board.
std::vector<Event> wram_640x480x8_sequence()
{
    uint32_t c = kConfigBefore;
    std::vector<Event> want = {IoR(0x1C, c), IoW(0x1C, c | 2)};
    append(want, stalls(2));
    append(want, {IoR(0x1C, c | 2), IoW(0x1C, c & ~2u)});
    append(want, stalls(2));
    c &= ~2u;
    uint32_t reset = (c & 0xF3003F1D) | 0x1F00;
    append(want, {IoR(0x1C, c), IoW(0x1C, reset), IoR(0x1C, reset), IoW(0x1C, reset | 4)});
    c = reset | 4;
    append(want, {W32(0x2000, 0), W32(0x2008, 11), W32(0x200C, 0), W32(0x2010, 0),
                  W32(0x2024, 0xFFFFFFFF), IoR(0x1C, c), IoW(0x1C, c | 0x10000)});
    c |= 0x10000;
    uint32_t xy = (kXyControlBefore & ~0xF00u) | 0x100;
    append(want,
           {R32(0x4010, kXyControlBefore), W32(0x4010, xy), IoR(0x1C, c), IoW(0x1C, c | 0x100000)});
    c |= 0x100000;
    append(want,
           {R32(0x6010, kXyControlBefore), W32(0x6010, xy), IoR(0x1C, c), IoW(0x1C, c | 0x200000)});
    c |= 0x200000;
    append(want, idle_check());
    append(want, {W32(0x58, 0x170), IoR(0x1C, c), W32(0x5C, 0x40100)});
    append(want, {IoR(0x30, kControlBefore), IoW(0x30, kControlBefore & ~0xDu)});
    append(want,
           {IoR(0x28, 0), IoW(0x28, 0), Stall(50), Stall(50), IoW(0x28, 1), Stall(50), Stall(50)});
    append(want, dac_select(0x15));
    append(want, {W8(0x18, 0x08), W8(0x18, 0x49)}); // 58.22 MHz on configuration 4
    append(want, stalls(50));
    append(want, {W32(0x20, 0), W32(0x24, 0), W32(0x28, 0), W32(0x2C, 640), W32(0x30, 80),
                  W32(0x34, 20), W32(0x38, 2), W32(0x3C, 12), W32(0x40, 480), W32(0x44, 45),
                  W32(0x48, 10), W32(0x4C, 2), W32(0x50, 0), W32(0x54, 0)});
    append(want, dac_select(0x71));
    want.push_back(W8(0x18, 1));
    append(want, dac_run(0x20, {0x07, 0x09}));
    append(want, dac_run(0x10, {3, 0}));
    append(want, dac_run(0x30, {0}));
    append(want, dac_run(0x70, {1, 0x45, 0, 0}));
    append(want, dac_run(0x02, {0x81, 0, 1, 0, 2, 0, 1}));
    append(want, dac_run(0x0A, {3, 0, 0xC7, 0, 3}));
    append(want, dac_run(0x0E, {3}));
    append(want, dac_run(0x0A, {3}));
    append(want, dac_run(0x20, {0x07, 0x09}));
    append(want, dac_run(0x10, {3, 0}));
    want.push_back(W8(0x08, 0xFF));
    append(want, idle_check());
    want.push_back({0, Op::ZeroMemory, Aperture::FrameBuffer, 0, 0, 0x800000});
    return want;
}

uint64_t clear_ns(uint32_t bytes)
{
    return uint64_t(bytes) * 1'000'000'000 / 400'000'000;
}

TEST(ModeSet, WramSequenceIsExactAndCostsOnlyItsDelays)
{
    HwBoard hw(board_with(kWram8M));
    hw.board().poke_io(0x1C, kConfigBefore);
    hw.board().poke_io(0x30, kControlBefore);
    hw.board().poke_reg(0x4010, kXyControlBefore);
    hw.board().poke_reg(0x6010, kXyControlBefore);
    DISPLAY_MODE row = make_row(&timing_640_480_60, 8);
    Zorx_set_mode(&hw.ext, &row);

    EXPECT_TRACE(hw.events(), wram_640x480x8_sequence());
    EXPECT_EQ(hw.machine.time_ns, (200 + 200 + 2500) * 1000 + clear_ns(0x800000));
    EXPECT_EQ(hw.ext.ulMemConfig, 0x40100u);

    sim::DisplayState s = hw.decoded();
    EXPECT_TRUE(s.native);
    EXPECT_FALSE(hw.board().text_mode());
    EXPECT_EQ(s.memory, sim::MemoryKind::Wram);
    EXPECT_EQ(s.h_active, 640u);
    EXPECT_EQ(s.h_total, 800u);
    EXPECT_EQ(s.v_total, 525u);
    EXPECT_NEAR(s.refresh_hz, 59.94, 0.01);
    EXPECT_FALSE(s.hsync_positive || s.vsync_positive);
    EXPECT_NEAR(s.memory_clock_hz, 58.22e6, 0.01e6);
    EXPECT_EQ(s.path, sim::ColourPath::Palette);
    EXPECT_EQ(sim::describe(s).rfind("640x480 8 bpp WRAM, 59.94 Hz (800x525 at 25.175 MHz, "
                                     "-hsync -vsync), memory clock 58.22 MHz",
                                     0),
              0u)
        << sim::describe(s);
}

TEST(ModeSet, HorizontalTimingIsCountedInMemoryWords)
{
    struct Case {
        uint32_t code;
        MODE_TIMING* timing;
        ULONG bpp;
        uint32_t h[4];
    } cases[] = {
        {kWram8M, &timing_640_480_60, 8, {80, 20, 2, 12}},
        {kWram8M, &timing_640_480_60, 16, {160, 40, 4, 24}},
        {kWram8M, &timing_640_480_60, 32, {320, 80, 8, 48}},
        {kSgram8M, &timing_640_480_60, 8, {160, 40, 4, 24}},
        {kSgram8M, &timing_640_480_60, 32, {640, 160, 16, 96}},
        {kWram8M, &timing_800_600_60, 8, {100, 32, 5, 16}},
        {kSgram8M, &timing_800_600_60, 16, {400, 128, 20, 64}},
    };
    for (const Case& c : cases) {
        HwBoard hw(board_with(c.code));
        DISPLAY_MODE row = make_row(c.timing, c.bpp);
        Zorx_set_mode(&hw.ext, &row);
        sim::DisplayState s = hw.decoded();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(s.h_regs[i], c.h[i]) << row.ModeInformation.VisScreenWidth << "x" << c.bpp
                                           << " code " << c.code << " register " << i;
        const MODE_TIMING* t = c.timing;
        EXPECT_EQ(s.v_regs[0], t->usVActive);
        EXPECT_EQ(s.v_regs[1], t->usVBlank);
        EXPECT_EQ(s.v_regs[2], t->usVSyncStart);
        EXPECT_EQ(s.v_regs[3], t->usVSyncWidth);
        EXPECT_EQ(s.h_total, ULONG(t->usHActive + t->usHBlank) * t->usCharWidth);
    }
}

TEST(ModeSet, OtherDacTypesTakeTheTimingAsStoredAndTheirOwnSequence)
{
    for (LONG type : {DAC_TYPE_RGB528, DAC_TYPE_RGB526_DRAM}) {
        HwBoard hw(board_with(kWram8M));
        hw.ext.ulDacType = type;
        MODE_TIMING timing = timing_640_480_60;
        timing.ulPll528 = 0x0705; // tells the two PLL fields apart
        DISPLAY_MODE row = make_row(&timing, 16);
        Zorx_set_mode(&hw.ext, &row);
        sim::DisplayState s = hw.decoded();
        EXPECT_EQ(s.h_regs[0], 80u);
        EXPECT_EQ(s.h_regs[1], 20u);

        using Writes = std::vector<std::pair<uint16_t, uint8_t>>;
        Writes want = {{0x15, 0x08}, {0x16, 0x49}, {0x71, 1}};
        uint16_t pll = type == DAC_TYPE_RGB528 ? 0x0705 : 0x0907;
        Writes clock = {{0x20, pll & 0xFF}, {0x21, pll >> 8}, {0x10, 3}, {0x11, 0}};
        want.insert(want.end(), clock.begin(), clock.end());
        want.push_back({0x30, 0});
        Writes body =
            type == DAC_TYPE_RGB528
                ? Writes{{0x70, 3}, {0x71, 0x45}, {0x72, 0x85}, {0x73, 0}, {0x74, 0}, {0x02, 0x81},
                         {0x03, 0}, {0x04, 0},    {0x05, 0},    {0x06, 2}, {0x07, 0}, {0x08, 1},
                         {0x0A, 4}, {0x0B, 0},    {0x0C, 0xC7}, {0x0D, 0}, {0x0E, 3}}
                : Writes{{0x70, 1}, {0x71, 0x45}, {0x72, 0}, {0x73, 0}, {0x02, 0x81}, {0x03, 0},
                         {0x04, 1}, {0x05, 0},    {0x06, 2}, {0x07, 0}, {0x08, 1},    {0x0A, 3},
                         {0x0B, 0}, {0x0C, 0xC7}, {0x0D, 0}, {0x0E, 3}, {0x0E, 3},    {0x0A, 4}};
        want.insert(want.end(), body.begin(), body.end());
        want.insert(want.end(), clock.begin(), clock.end());
        EXPECT_EQ(hw.machine.trace.dac_index_writes(), want) << "DAC type " << type;
        for (const Event& e : hw.events()) {
            if (e.op == Op::Write && e.aperture == Aperture::Registers && e.offset < 0x20) {
                EXPECT_EQ(e.width, 1) << sim::describe(e);
            }
        }
    }
}

TEST(ModeSet, SgramNeedsNoWramResetAndHasItsOwnMemoryWord)
{
    HwBoard hw(board_with(kSgram8M));
    DISPLAY_MODE row = make_row(&timing_640_480_60, 32);
    Zorx_set_mode(&hw.ext, &row);
    for (const Event& e : hw.events())
        EXPECT_FALSE(e.aperture == Aperture::IoBlock && e.offset == 0x28) << sim::describe(e);
    EXPECT_EQ(hw.ext.ulMemConfig, 0x20000100u);
    EXPECT_EQ(hw.board().io(0x1C) & 4, 0u);
    EXPECT_EQ(hw.machine.time_ns, (200 + 2500) * 1000 + clear_ns(0x800000));
    EXPECT_EQ(hw.board().dac().reg(0x70), 0);
    EXPECT_EQ(hw.board().dac().reg(0x71), 0x05);
    sim::DisplayState s = hw.decoded();
    EXPECT_EQ(s.memory, sim::MemoryKind::Sgram);
    EXPECT_NEAR(s.memory_clock_hz, 75.53e6, 0.01e6);
}

TEST(ModeSet, WramThatRefusesItsConfigurationBitGetsTheOtherMemoryWord)
{
    sim::BoardSpec setup = board_with(kWram8M);
    setup.io_config_read_as_zero = 0x4;
    HwBoard hw(setup);
    DISPLAY_MODE row = make_row(&timing_640_480_60, 8);
    Zorx_set_mode(&hw.ext, &row);
    EXPECT_EQ(hw.board().reg(0x5C), 0x40102u);
    EXPECT_EQ(hw.ext.ulMemConfig, 0x40102u);
}

TEST(ModeSet, DeclockedBoardLoadsTheFixedClockTwiceAndNeverTheTableClock)
{
    HwBoard hw(board_with(kWram8M));
    hw.ext.fDeclock = 1;
    DISPLAY_MODE row = make_row(&timing_640_480_60, 8);
    Zorx_set_mode(&hw.ext, &row);
    using Writes = std::vector<std::pair<uint16_t, uint8_t>>;
    Writes system;
    for (auto w : hw.machine.trace.dac_index_writes())
        if (w.first == 0x15 || w.first == 0x16)
            system.push_back(w);
    EXPECT_EQ(system, (Writes{{0x15, 0x0A}, {0x16, 0x25}, {0x15, 0x0A}, {0x16, 0x25}}));
    EXPECT_EQ(hw.machine.time_ns, (200 + 200 + 2 * 2500) * 1000 + clear_ns(0x800000));
}

TEST(ModeSet, LayoutsWidenThePitchAndLargeSurfacesMoveTheStart)
{
    struct Case {
        MODE_TIMING* timing;
        ULONG bpp, extraWidth, extraHeight;
        uint32_t start, pitch;
    } cases[] = {
        {&timing_640_480_60, 8, 0, 0, 0, 640},
        {&timing_640_480_60, 8, 640, 0, 0, 1280},
        {&timing_1600_1200_75, 32, 0, 0, 2304, 6400},
        {&timing_800_600_60, 32, 768, 600, 4608, 6272},
    };
    for (const Case& c : cases) {
        HwBoard hw(board_with(0x17));
        DISPLAY_MODE row = make_row(c.timing, c.bpp, c.extraWidth, c.extraHeight);
        Zorx_set_mode(&hw.ext, &row);
        sim::DisplayState s = hw.decoded();
        EXPECT_EQ(s.start, c.start);
        EXPECT_EQ(s.pitch, c.pitch);
        // The timing stays that of the visible screen.
        EXPECT_EQ(s.h_active, row.ModeInformation.VisScreenWidth);
        EXPECT_EQ(s.v_active, row.ModeInformation.VisScreenHeight);
    }
}

TEST(ModeSet, ClearsAllOfVideoMemory)
{
    HwBoard hw(board_with(0x13)); // 20 MiB
    uint8_t* fb = hw.board().frame_buffer().base();
    const uint32_t size = hw.board().memory_size();
    std::memset(fb, 0xA5, size);
    DISPLAY_MODE row = make_row(&timing_640_480_60, 8);
    Zorx_set_mode(&hw.ext, &row);
    uint32_t dirty = 0;
    for (uint32_t i = 0; i < size; ++i)
        dirty += fb[i] != 0;
    EXPECT_EQ(dirty, 0u);
    EXPECT_EQ(hw.machine.trace.count(Op::ZeroMemory), 1u);
}

TEST(ModeSet, BusyChipIsAwaitedAndAChipThatNeverIdlesCannotHang)
{
    // Busy for three polls of each register after every piece of work: both
    // idle waits poll each register through three 50 us steps.
    sim::BoardSpec setup = board_with(kSgram8M);
    setup.busy_polls = 3;
    HwBoard busy(setup);
    DISPLAY_MODE row = make_row(&timing_640_480_60, 8);
    Zorx_set_mode(&busy.ext, &row);
    EXPECT_EQ(busy.machine.time_ns, (200 + 2500 + 2 * 2 * 3 * 50) * 1000 + clear_ns(0x800000));

    // Never idle: each wait gives up after one second and the mode still gets set.
    setup.busy_polls = 0;
    setup.never_idle = true;
    HwBoard stuck(setup);
    Zorx_set_mode(&stuck.ext, &row);
    EXPECT_EQ(stuck.machine.time_ns,
              (200 + 2500) * 1000 + 2 * 1'000'000'000ull + clear_ns(0x800000));
    EXPECT_EQ(stuck.board().reg(0x2C), 640u);
    EXPECT_EQ(stuck.machine.trace.count(Op::ZeroMemory), 1u);
}

// Every valid row of both tables on boards of the smallest and largest
// memory, after the mode database has struck out what they cannot carry.
class AllRows : public ::testing::TestWithParam<uint32_t> {
  protected:
    void SetUp() override { korvid_host::reload_driver_data(); }
    void TearDown() override { korvid_host::reload_driver_data(); }
};

struct RowCheck {
    HwBoard& hw;
    const DISPLAY_MODE& row;
    ULONG index;

    void expect_timing(const sim::DisplayState& s) const
    {
        const MODE_TIMING* t = row.pTiming;
        ULONG wordBits = hw.ext.ulMemoryType ? 32 : 64;
        ULONG h = row.ModeInformation.VisScreenWidth / t->usHActive;
        ULONG l = wordBits / row.ModeInformation.BitsPerPlane;
        const ULONG hv[4] = {t->usHActive, t->usHBlank, t->usHSyncStart, t->usHSyncWidth};
        const ULONG vv[4] = {t->usVActive, t->usVBlank, t->usVSyncStart, t->usVSyncWidth};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(s.h_regs[i], hv[i] * h / l) << "row " << index << " h" << i;
            EXPECT_EQ(s.v_regs[i], vv[i]) << "row " << index << " v" << i;
        }
        EXPECT_EQ(s.h_total, ULONG(t->usHActive + t->usHBlank) * t->usCharWidth) << index;
        EXPECT_EQ(s.start, ModeStartOffset(&row)) << index;
        EXPECT_EQ(s.pitch, ModePitch(&row)) << index;
        EXPECT_EQ(s.hsync_positive, (t->ulSyncControl & 1) != 0) << index;
        EXPECT_EQ(hw.board().reg(0x58), t->ulSyncControl | 0x100) << index;
    }

    void expect_dac(const sim::DisplayState& s) const
    {
        ULONG bpp = row.ModeInformation.BitsPerPlane;
        bool sgram = hw.ext.ulMemoryType == MEMORY_TYPE_SGRAM;
        EXPECT_EQ(s.bpp, bpp) << index;
        EXPECT_EQ(s.pixel_format, bpp == 8 ? 3 : bpp == 16 ? 4 : 6) << index;
        EXPECT_EQ(hw.board().dac().reg(0x70), sgram ? 0 : 1) << index;
        EXPECT_EQ(hw.board().dac().reg(0x71), sgram && bpp == 32 ? 0x05 : 0x45) << index;
        EXPECT_EQ(s.pixel_pll, row.pTiming->ulPll526) << index;
        int loads = 0;
        auto writes = hw.machine.trace.dac_index_writes();
        for (size_t i = 0; i + 1 < writes.size(); ++i)
            loads +=
                writes[i] == std::pair<uint16_t, uint8_t>{0x20, row.pTiming->ulPll526 & 0xFF} &&
                writes[i + 1] ==
                    std::pair<uint16_t, uint8_t>{0x21, (row.pTiming->ulPll526 >> 8) & 0xFF};
        EXPECT_EQ(loads, 2) << index;
        EXPECT_FALSE(s.cursor_on) << index;
        EXPECT_EQ(s.pixel_mask, 0xFF) << index;
        EXPECT_EQ(s.path, bpp == 8 ? sim::ColourPath::Palette : sim::ColourPath::Direct) << index;
    }
};

TEST_P(AllRows, EveryValidRowIsEnteredAsItsRecordSays)
{
    HwBoard hw(board_with(GetParam()));
    ASSERT_GT(Zorx_init_mode_info(&hw.ext), 0u);
    const uint32_t size = hw.board().memory_size();
    uint8_t* fb = hw.board().frame_buffer().base();
    const bool wram = hw.ext.ulMemoryType == MEMORY_TYPE_WRAM;
    const uint64_t expected_ns = (200 + (wram ? 200 : 0) + 2500) * 1000 + clear_ns(size);

    ULONG entered = 0;
    uint64_t slowest = 0;
    std::string off_rate;
    for (ULONG i = 0; i < num_display_modes; ++i) {
        const DISPLAY_MODE& row = display_mode[i];
        if (!row.fValid)
            continue;
        ++entered;
        // Marks in the visible surface, past it and at the end of memory.
        const uint32_t past =
            std::min<uint32_t>(ModeSurfaceSize(&row) + ModeStartOffset(&row), size - 1);
        const uint32_t marks[] = {0u, past, size / 2, size - 1};
        for (uint32_t at : marks)
            fb[at] = 0x5A;
        hw.restart_trace();
        Zorx_set_mode(&hw.ext, const_cast<PDISPLAY_MODE>(&row));

        sim::DisplayState s = hw.decoded();
        RowCheck check{hw, row, i};
        check.expect_timing(s);
        check.expect_dac(s);
        for (uint32_t at : marks)
            EXPECT_EQ(fb[at], 0) << "row " << i << " memory at " << at;
        EXPECT_EQ(hw.machine.trace.events().back(),
                  (Event{0, Op::ZeroMemory, Aperture::FrameBuffer, 0, 0, size}));
        EXPECT_EQ(hw.machine.time_ns, expected_ns) << "row " << i;
        slowest = std::max(slowest, hw.machine.time_ns);

        ULONG rate = row.ModeInformation.Frequency;
        if (rate > 1 && std::fabs(s.refresh_hz - rate) > 1.0) {
            char line[128];
            std::snprintf(line, sizeof line,
                          "  row %3lu %4lux%-4lu %2lu bpp: %2lu Hz set, %.2f Hz\n", i,
                          row.ModeInformation.VisScreenWidth, row.ModeInformation.VisScreenHeight,
                          row.ModeInformation.BitsPerPlane, rate, s.refresh_hz);
            off_rate += line;
        }
    }
    std::printf("configuration 0x%02X (%u MiB %s): %lu rows entered, slowest %.3f ms\n%s",
                GetParam(), size >> 20, wram ? "WRAM" : "SGRAM", entered, slowest / 1e6,
                off_rate.c_str());
    EXPECT_GT(entered, 0u);
}

INSTANTIATE_TEST_SUITE_P(Boards, AllRows, ::testing::Values(0x00, 0x07, 0x10, 0x17),
                         [](const auto& info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "Config%02X", info.param);
                             return std::string(name);
                         });

// A mode set costs its fixed delays and one clear; on each memory size the
// slowest board is a declocked WRAM board (two clock loads and the WRAM reset).
TEST(ModeSetCost, SlowestModeSetPerMemorySize)
{
    std::string report;
    for (uint32_t code : {0u, 1u, 2u, 6u, 3u, 7u}) { // 4, 8, 12, 16, 20 and 24 MiB
        uint64_t slowest = 0;
        for (uint32_t sgram : {0u, 0x10u})
            for (ULONG declock : {0u, 1u}) {
                HwBoard hw(board_with(code | sgram));
                hw.ext.fDeclock = declock;
                DISPLAY_MODE row = make_row(&timing_640_480_60, 8);
                Zorx_set_mode(&hw.ext, &row);
                uint64_t fixed = 200 + (sgram ? 0 : 200) + (declock ? 5000 : 2500);
                EXPECT_EQ(hw.machine.time_ns, fixed * 1000 + clear_ns(hw.board().memory_size()));
                slowest = std::max(slowest, hw.machine.time_ns);
            }
        char line[96];
        std::snprintf(line, sizeof line, "  %2u MiB: %.3f ms\n",
                      sim::memory_size_for_code(code) >> 20, slowest / 1e6);
        report += line;
    }
    std::printf("slowest mode set by memory size:\n%s", report.c_str());
}

} // namespace
