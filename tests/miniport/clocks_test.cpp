// The memory clock: declock word, SGRAM table with its fallback, WRAM clock
// by configuration, VGA clock.
#include "tests/miniport/hw_board.h"

using namespace miniport_tests;

namespace {

TEST(Clocks, EachSelectionLoadsItsWordHighByteFirstAndSettles)
{
    struct Case {
        uint32_t code; // board configuration (bit 4: SGRAM)
        ULONG selector, index;
        uint16_t word;
    } cases[] = {
        {0x11, 1, 75, 0x0647},  {0x11, 1, 125, 0x0676}, {0x11, 1, 32, 0x0A25},
        {0x11, 1, 0, 0x0647},   {0x11, 1, 29, 0x0647},  {0x11, 1, 101, 0x0647},
        {0x11, 1, 126, 0x0647}, {0x11, 1, ~0u, 0x0647}, // empty or beyond the table
        {0x04, 1, 125, 0x0849}, {0x0C, 1, 0, 0x0849},   {0x00, 1, 0, 0x0849},
        {0x05, 1, 75, 0x0846},  {0x01, 1, 0, 0x0846},   {0x11, 0, 125, 0x0626},
        {0x04, 0, 0, 0x0626},
    };
    for (const Case& c : cases) {
        HwBoard hw(c.code);
        hw.ext.ulMclockIndex = c.index;
        Zorx_set_mclock(&hw.ext, c.selector);
        EXPECT_TRACE(hw.events(), clock_load(c.word))
            << "code " << c.code << " selector " << c.selector << " index " << c.index;
        EXPECT_EQ(hw.system.machine().time_ns, 2'500'000u);
    }
    // A WRAM record whose configuration reads 16 (the SGRAM bit) is not one of 0/4/8/12.
    HwBoard wram16(0x04);
    wram16.ext.ulBoardConfig = 16;
    Zorx_set_mclock(&wram16.ext, 1);
    EXPECT_EQ(sim::memory_pll_word(wram16.board()), 0x0846);

    HwBoard hw(0x11);
    Zorx_set_declock(&hw.ext, DECLOCK_PLL_WORD);
    EXPECT_TRACE(hw.events(), clock_load(0x0A25));
    EXPECT_NEAR(hw.decoded().memory_clock_hz, 32.10e6, 0.01e6);
}

// The table is indexed by the clock in MHz: a mistyped word shows as a clock
// far from its index.
TEST(Clocks, EveryTableEntryProducesTheClockOfItsIndex)
{
    int settings = 0;
    for (ULONG mhz = 0; mhz < NUM_IBM_MCLOCK; ++mhz) {
        if (!ibm_mclock[mhz])
            continue;
        ++settings;
        EXPECT_NEAR(sim::pll_frequency_hz(uint16_t(ibm_mclock[mhz])), mhz * 1e6, 0.6e6) << mhz;
    }
    EXPECT_EQ(settings, 76);
}

} // namespace
