// The mode set: its exact sequence and cost, the RGB528 sequence, clock and
// memory variants, bounded idle waits, and every row of both tables.
#include "tests/miniport/hw_board.h"
#include "platform/videoport/reload.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace miniport_tests;

namespace {

// Records as the tables hold them (character units and lines).
MODE_TIMING t640 = {0,  0x70, 0x40100, 0x0907, 0x0907, 8, 80,       20,      2,
                    12, 480,  45,      10,     2,      0, 25175000, 25174998};

DISPLAY_MODE row_of(MODE_TIMING* t, ULONG bpp)
{
    DISPLAY_MODE row{};
    row.ModeInformation.VisScreenWidth = t->usHActive * t->usCharWidth;
    row.ModeInformation.VisScreenHeight = t->usVActive;
    row.ModeInformation.ScreenStride = row.ModeInformation.VisScreenWidth * bpp / 8;
    row.ModeInformation.BitsPerPlane = bpp;
    row.pTiming = t;
    return row;
}

// Fixed delays plus one clear of `memory` bytes at 400 MB/s.
uint64_t cost_ns(uint64_t fixed_us, uint32_t memory)
{
    return fixed_us * 1000 + memory * 5 / 2;
}

TEST(ModeSet, WramSequenceIsExactClearsAllMemoryAndCostsOnlyItsDelays)
{
    HwBoard hw(0x04); // 8 MiB WRAM
    const uint32_t c0 = 0x0CF0C0E3, ctl = 0xFF, xy = 0xF33, xy8k = 0x133;
    hw.board().poke_io(chip::IoConfig, c0);
    hw.board().poke_io(chip::IoControl, ctl);
    hw.board().poke_reg(chip::XyAControl, xy);
    hw.board().poke_reg(chip::XyBControl, xy);
    std::memset(hw.board().frame_buffer().base(), 0xA5, hw.board().memory_size());
    DISPLAY_MODE row = row_of(&t640, 8);
    Zorx_set_mode(&hw.ext, &row);

    const uint32_t c1 = c0 & ~2u, c2 = (c1 & 0xF3003F1D) | 0x1F00, c3 = c2 | 4;
    const uint32_t c4 = c3 | 0x10000, c5 = c4 | 0x100000, c6 = c5 | 0x200000;
    auto config = [&](uint32_t was, uint32_t now) { return io_update(chip::IoConfig, was, now); };
    const Events idle = {R32(chip::BusyCount, 0), R32(chip::BusyStatus, 0)};
    const Events clock = dac(dac_reg::PixelVco, {0x07, 0x09}) + dac(dac_reg::PllControl1, {3, 0});
    const Events timing = {
        W32(chip::DisplayReserved0, 0), W32(chip::DisplayReserved1, 0), W32(chip::DisplayStart, 0),
        W32(chip::DisplayPitch, 640),   W32(chip::HActive, 80),         W32(chip::HBlank, 20),
        W32(chip::HFrontPorch, 2),      W32(chip::HSync, 12),           W32(chip::VActive, 480),
        W32(chip::VBlank, 45),          W32(chip::VFrontPorch, 10),     W32(chip::VSync, 2),
        W32(chip::DisplayReserved2, 0), W32(chip::DisplayReserved3, 0)};
    Events want = config(c0, c0 | 2) + stalls(2) + config(c0 | 2, c1) + stalls(2) + config(c1, c2) +
                  config(c2, c3) + window0_open(11) + config(c3, c4) +
                  reg_update(chip::XyAControl, xy, xy8k) + config(c4, c5) +
                  reg_update(chip::XyBControl, xy, xy8k) + config(c5, c6) + idle +
                  Events{W32(chip::DisplayControl, 0x170), IoR(chip::IoConfig, c6),
                         W32(chip::MemoryConfig, 0x40100)} +
                  io_update(chip::IoControl, ctl, ctl & ~0xDu) + wram_reset(0) +
                  clock_load(0x0849) + timing + dac(dac_reg::Misc2, {1}, true) + clock +
                  dac(dac_reg::CursorControl, {0}) + dac(dac_reg::Misc1, {1, 0x45, 0, 0}) +
                  dac(dac_reg::MiscClock, {0x81, 0, 1, 0, 2, 0, 1}) +
                  dac(dac_reg::PixelFormat, {3, 0, 0xC7, 0, 3}) + dac(dac_reg::Control32, {3}) +
                  dac(dac_reg::PixelFormat, {3}) + clock + Events{W8(dac_port::PixelMask, 0xFF)} +
                  idle + Events{{0, Op::ZeroMemory, Aperture::FrameBuffer, 0, 0, 0x800000}};
    EXPECT_TRACE(hw.events(), want);
    EXPECT_EQ(hw.system.machine().time_ns, cost_ns(200 + 200 + 2500, 0x800000));
    const uint8_t* fb = hw.board().frame_buffer().base();
    EXPECT_EQ(std::count(fb, fb + hw.board().memory_size(), 0), 0x800000);
    EXPECT_EQ(sim::describe(hw.decoded())
                  .rfind("640x480 8 bpp WRAM, 59.94 Hz (800x525 at "
                         "25.175 MHz, -hsync -vsync), memory clock 58.22",
                         0),
              0u)
        << sim::describe(hw.decoded());
}

TEST(ModeSet, OtherDacTypesTakeStoredTimingAndTheirOwnSequence)
{
    HwBoard hw(0x04);
    hw.ext.ulDacType = DAC_TYPE_RGB528;
    MODE_TIMING t = t640;
    t.ulPll528 = 0x0705; // tells the two PLL fields apart
    DISPLAY_MODE row = row_of(&t, 16);
    Zorx_set_mode(&hw.ext, &row);
    EXPECT_EQ(hw.decoded().h_regs[1], 20u);
    using Writes = std::vector<std::pair<uint16_t, uint8_t>>;
    const Writes clock = {{dac_reg::PixelVco, 0x05},
                          {dac_reg::PixelRef, 0x07},
                          {dac_reg::PllControl1, 3},
                          {dac_reg::PllControl2, 0}};
    const Writes body = {{dac_reg::CursorControl, 0},
                         {dac_reg::Misc1, 3},
                         {dac_reg::Misc2, 0x45},
                         {dac_reg::Misc3, 0x85},
                         {dac_reg::Misc4, 0},
                         {dac_reg::Misc5, 0},
                         {dac_reg::MiscClock, 0x81},
                         {dac_reg::SyncControl, 0},
                         {dac_reg::HSyncPosition, 0},
                         {dac_reg::Power, 0},
                         {dac_reg::Operation, 2},
                         {dac_reg::PaletteControl, 0},
                         {dac_reg::SystemClockControl, 1},
                         {dac_reg::PixelFormat, 4},
                         {dac_reg::Control8, 0},
                         {dac_reg::Control16, 0xC7},
                         {dac_reg::Control24, 0},
                         {dac_reg::Control32, 3}};
    Writes want = {{dac_reg::SystemRef, 0x08}, {dac_reg::SystemVco, 0x49}, {dac_reg::Misc2, 1}};
    for (const Writes* part : {&clock, &body, &clock})
        want.insert(want.end(), part->begin(), part->end());
    EXPECT_EQ(hw.system.machine().trace.dac_index_writes(), want);
}

TEST(ModeSet, ClockAndBusyVariantsSpendExactlyTheirWaits)
{
    const struct {
        uint32_t code;
        ULONG declock, busy_polls;
        bool never_idle;
        uint64_t fixed_us;
        uint16_t memory_pll;
    } cases[] = {
        // The fixed clock before and after the DAC, the table clock never.
        {0x04, 1, 0, false, 200 + 200 + 2 * 2500, 0x0A25},
        // Busy for three polls of each register after every piece of work.
        {0x11, 0, 3, false, 200 + 2500 + 2 * 2 * 3 * 50, 0x0647},
        // Never idle: each wait gives up after a second and the mode still gets set.
        {0x11, 0, 0, true, 200 + 2500 + 2 * 1'000'000, 0x0647},
    };
    DISPLAY_MODE row = row_of(&t640, 32);
    for (const auto& c : cases) {
        sim::BoardSetup setup;
        setup.busy_polls = c.busy_polls;
        setup.never_idle = c.never_idle;
        HwBoard hw(c.code, setup);
        hw.ext.fDeclock = c.declock;
        Zorx_set_mode(&hw.ext, &row);
        EXPECT_EQ(hw.system.machine().time_ns, cost_ns(c.fixed_us, 0x800000));
        EXPECT_EQ(sim::memory_pll_word(hw.board()), c.memory_pll);
        EXPECT_EQ(hw.board().reg(chip::DisplayPitch), 2560u);
        EXPECT_EQ(hw.system.machine().trace.count(Op::ZeroMemory), 1u);
    }
    sim::BoardSetup refusing;
    refusing.io_config_read_as_zero = 0x4; // the WRAM configuration bit does not stick
    HwBoard fallback(0x04, refusing);
    Zorx_set_mode(&fallback.ext, &row);
    EXPECT_EQ(fallback.board().reg(chip::MemoryConfig), 0x40102u);
}

// Every row the mode database leaves valid on the smallest and largest boards.
class AllRows : public ::testing::TestWithParam<uint32_t> {
    void SetUp() override { korvid_host::reload_driver_data(); }
    void TearDown() override { korvid_host::reload_driver_data(); }
};

void expect_row(HwBoard& hw, const DISPLAY_MODE& row, ULONG i)
{
    sim::DisplayState s = hw.decoded();
    const MODE_TIMING* t = row.pTiming;
    const ULONG bpp = row.ModeInformation.BitsPerPlane;
    const bool sgram = hw.ext.ulMemoryType == MEMORY_TYPE_SGRAM;
    const ULONG cw = t->usCharWidth;
    const uint32_t want[8] = {t->usHActive * cw,    t->usHBlank * cw, t->usHSyncStart * cw,
                              t->usHSyncWidth * cw, t->usVActive,     t->usVBlank,
                              t->usVSyncStart,      t->usVSyncWidth};
    const uint32_t got[8] = {s.h_active, s.h_blank, s.h_front_porch, s.h_sync,
                             s.v_active, s.v_blank, s.v_front_porch, s.v_sync};
    EXPECT_TRUE(std::equal(want, want + 8, got)) << i;
    EXPECT_EQ(hw.ext.ulMemConfig, sgram ? 0x20000100u : 0x40100u) << i;
    EXPECT_EQ(s.start, ModeStartOffset(&row)) << i;
    EXPECT_EQ(s.pitch, ModePitch(&row)) << i;
    EXPECT_EQ(s.pixel_format, bpp == 8 ? 3 : bpp == 16 ? 4 : 6) << i;
    EXPECT_EQ(hw.board().dac().reg(dac_reg::Misc1), sgram ? 0 : 1) << i;
    EXPECT_EQ(hw.board().dac().reg(dac_reg::Misc2), sgram && bpp == 32 ? 0x05 : 0x45) << i;
    EXPECT_EQ(s.pixel_pll, t->ulPll526) << i;
    const auto writes = hw.system.machine().trace.dac_index_writes();
    const std::pair<uint16_t, uint8_t> vco{dac_reg::PixelVco, t->ulPll526 & 0xFF};
    EXPECT_EQ(std::count(writes.begin(), writes.end(), vco), 2) << i;
    EXPECT_FALSE(s.cursor_on) << i;
    EXPECT_EQ(s.pixel_mask, 0xFF) << i;
    EXPECT_EQ(s.path, bpp == 8 ? sim::ColourPath::Palette : sim::ColourPath::Direct) << i;
}

// VESA's totals (pixels, lines) of common monitor timings; a row at one of
// these sizes and rates must keep them exactly, whatever its clock.
struct Totals {
    uint32_t width, height, rate, h_total, v_total;
};
constexpr Totals kVesaTotals[] = {
    {640, 480, 75, 840, 500},  {640, 480, 85, 832, 509},   {800, 600, 75, 1056, 625},
    {800, 600, 85, 1048, 631}, {1024, 768, 75, 1312, 800}, {1024, 768, 85, 1376, 808},
};

TEST_P(AllRows, EveryValidRowIsEnteredAsItsRecordSays)
{
    HwBoard hw(GetParam());
    ASSERT_GT(Zorx_init_mode_info(&hw.ext), 0u);
    const uint32_t size = hw.board().memory_size();
    uint8_t* fb = hw.board().frame_buffer().base();
    for (ULONG i = 0; i < num_display_modes; ++i) {
        const DISPLAY_MODE& row = display_mode[i];
        if (!row.fValid)
            continue;
        const uint32_t marks[] = {0, std::min<uint32_t>(ModeSurfaceSize(&row), size - 1), size - 1};
        for (uint32_t at : marks)
            fb[at] = 0x5A;
        hw.restart();
        Zorx_set_mode(&hw.ext, const_cast<PDISPLAY_MODE>(&row));
        expect_row(hw, row, i);
        for (uint32_t at : marks)
            EXPECT_EQ(fb[at], 0) << i;
        EXPECT_EQ(hw.system.machine().time_ns, cost_ns(hw.ext.ulMemoryType ? 2700 : 2900, size))
            << i;
        const ULONG rate = row.ModeInformation.Frequency;
        if (rate <= 1)
            continue; // a slot row: its rate is whatever was stored last
        // The 1600 x 1200 75 Hz record's pixel clock gives 77.08 Hz on the
        // monitor; the table carries it as it is.
        const bool fast_1600 = row.ModeInformation.VisScreenWidth == 1600 && rate == 75;
        EXPECT_NEAR(hw.decoded().refresh_hz, fast_1600 ? 77.08 : rate, fast_1600 ? 0.01 : 1.0) << i;
        for (const Totals& t : kVesaTotals)
            if (t.width == row.ModeInformation.VisScreenWidth &&
                t.height == row.ModeInformation.VisScreenHeight && t.rate == rate) {
                EXPECT_EQ(hw.decoded().h_total, t.h_total) << i;
                EXPECT_EQ(hw.decoded().v_total, t.v_total) << i;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Boards, AllRows, ::testing::Values(0x00, 0x07, 0x10, 0x17));

} // namespace
