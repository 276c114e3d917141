// Palette loads, the gamma ramp's states and refusals, the cursor colours.
#include "tests/miniport/hw_board.h"

#include <cstring>

using namespace miniport_tests;

namespace {

// The active mode table is replaced by rows of 8, 16 and 32 bpp.
class Gamma : public ::testing::Test {
  protected:
    void SetUp() override
    {
        for (ULONG i = 0; i < 3; ++i)
            rows[i].ModeInformation.BitsPerPlane = 8u << i;
        display_mode = rows;
        num_display_modes = 3;
    }
    void TearDown() override { display_mode = saved_table, num_display_modes = saved_count; }

    static Events depth_controls(uint8_t c16, uint8_t c24, uint8_t c32)
    {
        Events out;
        for (auto [reg, v] : {std::pair{dac_reg::Control16, c16},
                              {dac_reg::Control24, c24},
                              {dac_reg::Control32, c32}})
            out = out + Events{W32(dac_port::IndexHigh, 0), W32(dac_port::IndexLow, reg),
                               W32(dac_port::IndexData, v)};
        return out;
    }
    Events ramp_load() const
    {
        Events out{W32(dac_port::PaletteWriteAddress, 0)};
        for (const auto& entry : hw.ext.GammaTable)
            for (UCHAR c : entry)
                out.push_back(W32(dac_port::PaletteData, c));
        return out;
    }

    HwBoard hw{0x11};
    DISPLAY_MODE rows[3] = {};
    PDISPLAY_MODE saved_table = display_mode;
    ULONG saved_count = num_display_modes;
};

TEST_F(Gamma, PaletteLoadAddressesEachEntryAndStopsAtTheLast)
{
    VIDEO_CLUTDATA e[6] = {{1, 2, 3, 9}, {4, 5, 6, 9}, {7, 8, 9, 9}, {}, {}, {10, 11, 12, 9}};
    Zorx_set_colors(&hw.ext, 250, 6, e);
    Events want;
    for (UCHAR i = 0; i < 6; ++i)
        want = want + Events{W8(0, 250 + i), W8(4, e[i].Red), W8(4, e[i].Green), W8(4, e[i].Blue)};
    EXPECT_TRACE(hw.events(), want);
    // A range past entry 255 ends there instead of wrapping onto entry 0.
    Zorx_set_colors(&hw.ext, 254, 4, e);
    EXPECT_EQ(hw.board().dac().palette(255), (sim::Rgb{4, 5, 6}));
    EXPECT_EQ(hw.board().dac().palette(0), (sim::Rgb{}));
}

TEST_F(Gamma, EnableDisableAndStoreFollowTheRampStates)
{
    ULONG words[2] = {0x30201000, 0x605040FF};
    // Before the first mode set the current row is an 8-bpp row: no gamma.
    EXPECT_FALSE(fEnableGammaSupport(&hw.ext) || fSetGammaLUT(&hw.ext, 0, 2, words, 8));
    EXPECT_TRUE(hw.events().empty());
    EXPECT_TRUE(fDisableGammaSupport(&hw.ext));
    EXPECT_TRACE(hw.events(), depth_controls(0xC7, 0x01, 0x03));

    hw.ext.ulCurrentMode = 1; // 16 bpp
    hw.board().dac().set_reg(dac_reg::PixelFormat, 4);
    hw.restart();
    ASSERT_TRUE(fEnableGammaSupport(&hw.ext));
    EXPECT_TRACE(hw.events(), ramp_load() + depth_controls(0x02, 0x00, 0x00));
    EXPECT_EQ(hw.board().dac().palette(200), (sim::Rgb{200, 200, 200}));
    EXPECT_EQ(hw.decoded().path, sim::ColourPath::Gamma);

    // Stored while on: entries 16 and 17 only, kept by a further enable.
    ASSERT_TRUE(fSetGammaLUT(&hw.ext, 16, 2, words, 8));
    EXPECT_EQ(hw.board().dac().palette(16), (sim::Rgb{0x10, 0x20, 0x30}));
    EXPECT_EQ(hw.board().dac().palette(17), (sim::Rgb{0x40, 0x50, 0x60}));
    EXPECT_EQ(hw.board().dac().palette(18), (sim::Rgb{18, 18, 18}));
    hw.restart();
    ASSERT_TRUE(fEnableGammaSupport(&hw.ext));
    EXPECT_TRACE(hw.events(), depth_controls(0x02, 0x00, 0x00));

    // Off and on again: identity replaces the stored ramp.
    EXPECT_TRUE(fDisableGammaSupport(&hw.ext));
    EXPECT_EQ(hw.decoded().path, sim::ColourPath::Direct);
    EXPECT_TRUE(fEnableGammaSupport(&hw.ext));
    EXPECT_EQ(hw.ext.GammaTable[16][2], 16);
}

TEST_F(Gamma, RefusalsLeaveTableAndDacUntouched)
{
    hw.ext.ulCurrentMode = 2; // 32 bpp
    std::vector<ULONG> words(256, 0xFFFFFFFF);
    EXPECT_TRUE(fSetGammaLUT(&hw.ext, 0, 256, words.data(), 1024));
    UCHAR stored[sizeof hw.ext.GammaTable];
    std::memcpy(stored, hw.ext.GammaTable, sizeof stored);
    hw.restart();
    const struct {
        ULONG first, count;
        LONG bytes;
    } refused[] = {{0, 256, 1020},
                   {1, 256, 1024},
                   {0, 1, -4},
                   // Sums and products that would wrap round to small numbers.
                   {0x55555555, 1, 4},
                   {1, ~0u, 0x7FFFFFFF}};
    for (auto c : refused)
        EXPECT_FALSE(fSetGammaLUT(&hw.ext, c.first, c.count, words.data(), c.bytes)) << c.first;
    EXPECT_TRUE(hw.events().empty());
    EXPECT_EQ(std::memcmp(stored, hw.ext.GammaTable, sizeof stored), 0);
    // Nothing to store: the whole ramp is reloaded all the same.
    EXPECT_TRUE(fSetGammaLUT(&hw.ext, 0, 0, words.data(), 0));
    EXPECT_TRACE(hw.events(), ramp_load());

    // No table in force, a row past it, an unknown DAC: nothing at all.
    display_mode = nullptr;
    EXPECT_FALSE(fQueryGammaSupport(&hw.ext));
    display_mode = rows;
    hw.ext.ulCurrentMode = 3;
    EXPECT_FALSE(fQueryGammaSupport(&hw.ext));
    hw.ext.ulCurrentMode = 2;
    hw.ext.ulDacType = 3;
    hw.restart();
    EXPECT_FALSE(fDisableGammaSupport(&hw.ext) || fUpdateGammaLUT(&hw.ext) ||
                 fEnableGammaSupport(&hw.ext));
    vSetCursorColor(&hw.ext);
    EXPECT_TRUE(hw.events().empty());
}

TEST_F(Gamma, CursorColoursAreBlackAndTheUserColour)
{
    hw.ext.ulCursorColor = 0x34FF80;
    vSetCursorColor(&hw.ext);
    EXPECT_TRACE(hw.events(), Events({W8(dac_port::IndexControl, 1), W8(dac_port::IndexHigh, 0)}) +
                                  dac(dac_reg::CursorColour1, {0, 0, 0, 0x34, 0xFF, 0x80}));
}

} // namespace
