// The memory clock: the fixed declock word, the SGRAM table selection and
// its fallback, the WRAM clocks by configuration, the VGA clock.
#include "hw_board.h"

using namespace hwtest;

namespace {

constexpr uint32_t kSgram8M = 0x11;
constexpr uint32_t kWram8M = 0x04;

// The whole sequence of one system-clock load.
std::vector<Event> system_clock_load(uint16_t word)
{
    std::vector<Event> want = dac_select(0x15);
    want.push_back(W8(0x18, word >> 8));
    want.push_back(W8(0x18, word & 0xFF));
    append(want, stalls(50));
    return want;
}

TEST(Clocks, DeclockLoadsTheFixedWordHighByteFirstAndSettles)
{
    HwBoard hw(board_with(kSgram8M));
    Zorx_set_declock(&hw.ext, DECLOCK_PLL_WORD);
    EXPECT_TRACE(hw.events(), system_clock_load(0x0A25));
    EXPECT_EQ(hw.machine.time_ns, 2'500'000u);
    EXPECT_NEAR(hw.decoded().memory_clock_hz, 32.10e6, 0.01e6);
}

TEST(Clocks, SgramGraphicsClockComesFromTheTableOrFallsBack)
{
    struct Case {
        ULONG index;
        uint16_t word;
    } cases[] = {
        {75, 0x0647},
        {125, 0x0676},
        {32, 0x0A25},
        {94, 0x13C6},
        // No entry, or beyond the table (also negative as a signed number).
        {0, 0x0647},
        {29, 0x0647},
        {101, 0x0647},
        {124, 0x0647},
        {126, 0x0647},
        {0xFFFFFFFF, 0x0647},
    };
    for (const Case& c : cases) {
        HwBoard hw(board_with(kSgram8M));
        hw.ext.ulMclockIndex = c.index;
        Zorx_set_mclock(&hw.ext, MCLOCK_SELECT_GRAPHICS);
        EXPECT_TRACE(hw.events(), system_clock_load(c.word)) << "index " << c.index;
    }
}

TEST(Clocks, WramGraphicsClockDependsOnTheWholeConfigurationOnly)
{
    struct Case {
        ULONG config;
        uint16_t word;
    } cases[] = {
        {0, 0x0849}, {4, 0x0849},  {8, 0x0849}, {12, 0x0849},
        {5, 0x0846}, {16, 0x0846}, {1, 0x0846}, {0x1C, 0x0846},
    };
    for (const Case& c : cases) {
        for (ULONG index : {0u, 75u, 125u}) {
            HwBoard hw(board_with(kWram8M));
            hw.ext.ulBoardConfig = c.config;
            hw.ext.ulMclockIndex = index;
            Zorx_set_mclock(&hw.ext, MCLOCK_SELECT_GRAPHICS);
            EXPECT_TRACE(hw.events(), system_clock_load(c.word))
                << "configuration " << c.config << ", index " << index;
        }
    }
}

TEST(Clocks, VgaClockIsTheSameOnEveryMemoryType)
{
    for (uint32_t code : {kSgram8M, kWram8M}) {
        HwBoard hw(board_with(code));
        hw.ext.ulMclockIndex = 125;
        Zorx_set_mclock(&hw.ext, MCLOCK_SELECT_VGA);
        EXPECT_TRACE(hw.events(), system_clock_load(0x0626));
        EXPECT_NEAR(hw.decoded().memory_clock_hz, 54.02e6, 0.01e6);
    }
}

// The table is indexed by the clock in MHz: a mistyped word shows up as a
// clock far from its index.
TEST(Clocks, EveryTableEntryProducesTheClockOfItsIndex)
{
    int settings = 0;
    for (ULONG mhz = 0; mhz < NUM_IBM_MCLOCK; ++mhz) {
        if (!ibm_mclock[mhz])
            continue;
        ++settings;
        EXPECT_LT(ibm_mclock[mhz], 0x10000u) << mhz;
        EXPECT_NEAR(sim::pll_frequency_hz(static_cast<uint16_t>(ibm_mclock[mhz])), mhz * 1e6, 0.6e6)
            << "entry " << mhz;
    }
    EXPECT_EQ(settings, 76);
    EXPECT_EQ(ibm_mclock[30], 0x0915u);
    EXPECT_EQ(ibm_mclock[105], 0x11C6u);
    EXPECT_EQ(ibm_mclock[125], 0x0676u);
}

} // namespace
