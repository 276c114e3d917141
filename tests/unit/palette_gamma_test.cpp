// Palette loads, the gamma ramp's state machine and the cursor colours.
#include "hw_board.h"

#include <array>
#include <cstring>

using namespace hwtest;

namespace {

enum Row : ULONG { kRow8, kRow16, kRow32, kRows };

// The active mode table, replaced by three rows of the depths that matter
// and put back afterwards.
class Gamma : public ::testing::Test {
  protected:
    void SetUp() override
    {
        saved_table_ = display_mode;
        saved_count_ = num_display_modes;
        const ULONG depth[kRows] = {8, 16, 32};
        for (ULONG i = 0; i < kRows; ++i)
            rows_[i].ModeInformation.BitsPerPlane = depth[i];
        display_mode = rows_;
        num_display_modes = kRows;
    }
    void TearDown() override
    {
        display_mode = saved_table_;
        num_display_modes = saved_count_;
    }

    // A board in a mode of the given row, the DAC's pixel format to match.
    void enter(Row row)
    {
        hw.ext.ulCurrentMode = row;
        const uint8_t format[kRows] = {3, 4, 6};
        hw.board().dac().set_reg(0x0A, format[row]);
    }

    static std::vector<Event> depth_controls(uint8_t c16, uint8_t c24, uint8_t c32)
    {
        std::vector<Event> want;
        for (auto [reg, value] : {std::pair{0x0C, c16}, {0x0D, c24}, {0x0E, c32}})
            append(want, {W32(0x14, 0), W32(0x10, reg), W32(0x18, value)});
        return want;
    }

    std::vector<Event> ramp_load() const
    {
        std::vector<Event> want{W32(0x00, 0)};
        for (const auto& entry : hw.ext.GammaTable)
            for (UCHAR c : entry)
                want.push_back(W32(0x04, c));
        return want;
    }

    void store_ramp(UCHAR seed)
    {
        for (ULONG i = 0; i < GAMMA_ENTRIES; ++i)
            for (int c = 0; c < 3; ++c)
                hw.ext.GammaTable[i][c] = static_cast<UCHAR>(seed + i * 3 + c);
    }

    std::array<UCHAR, 768> table() const
    {
        std::array<UCHAR, 768> t;
        std::memcpy(t.data(), hw.ext.GammaTable, t.size());
        return t;
    }

    HwBoard hw{board_with(0x11)};
    DISPLAY_MODE rows_[kRows] = {};

  private:
    PDISPLAY_MODE saved_table_ = nullptr;
    ULONG saved_count_ = 0;
};

TEST_F(Gamma, PaletteLoadAddressesEveryEntryAndStopsAtTheLast)
{
    VIDEO_CLUTDATA entries[6];
    for (UCHAR i = 0; i < 6; ++i)
        entries[i] = {static_cast<UCHAR>(i * 3), static_cast<UCHAR>(i * 3 + 1),
                      static_cast<UCHAR>(i * 3 + 2), 0xEE};
    Zorx_set_colors(&hw.ext, 250, 6, entries);
    std::vector<Event> want;
    for (UCHAR i = 0; i < 6; ++i)
        append(want,
               {W8(0x00, 250 + i), W8(0x04, i * 3), W8(0x04, i * 3 + 1), W8(0x04, i * 3 + 2)});
    EXPECT_TRACE(hw.events(), want);
    EXPECT_EQ(hw.board().dac().palette(255), (sim::Rgb{15, 16, 17}));

    // A range past entry 255 goes no further than 255: entry 0 keeps its colour.
    hw.restart_trace();
    Zorx_set_colors(&hw.ext, 254, 4, entries);
    EXPECT_EQ(hw.machine.trace.size(), 8u);
    EXPECT_EQ(hw.board().dac().palette(0), (sim::Rgb{}));
    EXPECT_EQ(hw.board().dac().palette(255), (sim::Rgb{3, 4, 5}));
}

TEST_F(Gamma, EightBitModesHaveNoGammaButDisableStillWrites)
{
    enter(kRow8);
    ULONG words[4] = {};
    EXPECT_FALSE(fQueryGammaSupport(&hw.ext));
    EXPECT_FALSE(fEnableGammaSupport(&hw.ext));
    EXPECT_FALSE(fSetGammaLUT(&hw.ext, 0, 4, words, sizeof words));
    EXPECT_TRUE(hw.events().empty());
    EXPECT_EQ(hw.ext.ulFlags & FLAG_GAMMA_ENABLED, 0u);

    EXPECT_TRUE(fDisableGammaSupport(&hw.ext));
    EXPECT_TRACE(hw.events(), depth_controls(0xC7, 0x01, 0x03));
}

TEST_F(Gamma, FirstEnableLoadsIdentitySecondKeepsTheStoredRamp)
{
    enter(kRow16);
    ASSERT_TRUE(fEnableGammaSupport(&hw.ext));
    for (ULONG i = 0; i < GAMMA_ENTRIES; ++i)
        ASSERT_EQ(hw.board().dac().palette(i), (sim::Rgb{UCHAR(i), UCHAR(i), UCHAR(i)})) << i;
    std::vector<Event> want = ramp_load();
    append(want, depth_controls(0x02, 0x00, 0x00));
    EXPECT_TRACE(hw.events(), want);
    EXPECT_NE(hw.ext.ulFlags & FLAG_GAMMA_ENABLED, 0u);
    EXPECT_EQ(hw.decoded().path, sim::ColourPath::Gamma);

    // A ramp stored while gamma is on survives a further enable.
    store_ramp(7);
    auto stored = table();
    hw.restart_trace();
    EXPECT_TRUE(fEnableGammaSupport(&hw.ext));
    EXPECT_TRACE(hw.events(), depth_controls(0x02, 0x00, 0x00));
    EXPECT_EQ(table(), stored);

    // Off and on again: back to identity.
    EXPECT_TRUE(fDisableGammaSupport(&hw.ext));
    EXPECT_EQ(hw.decoded().path, sim::ColourPath::Direct);
    EXPECT_EQ(table(), stored) << "disable keeps the table";
    EXPECT_TRUE(fEnableGammaSupport(&hw.ext));
    EXPECT_EQ(hw.ext.GammaTable[200][1], 200);
    EXPECT_EQ(hw.board().dac().palette(7), (sim::Rgb{7, 7, 7}));
}

TEST_F(Gamma, StoringTheRampReplacesTheGivenEntriesAndReloads)
{
    enter(kRow32);
    std::vector<ULONG> words(256);
    for (ULONG i = 0; i < 256; ++i)
        words[i] = (i << 8) | ((255 - i) << 16) | ((i ^ 0x55) << 24) | 0xAB;
    ASSERT_TRUE(fSetGammaLUT(&hw.ext, 0, 256, words.data(), 1024));
    for (ULONG i = 0; i < 256; ++i)
        ASSERT_EQ(hw.board().dac().palette(i),
                  (sim::Rgb{UCHAR(i), UCHAR(255 - i), UCHAR(i ^ 0x55)}))
            << i;
    EXPECT_TRACE(hw.events(), ramp_load());

    // Entries 16 and 17 only; a word's bits 8-15, 16-23, 24-31 are red, green, blue.
    auto before = table();
    ULONG two[2] = {0x30201000, 0x605040FF};
    ASSERT_TRUE(fSetGammaLUT(&hw.ext, 16, 2, two, sizeof two));
    before[16 * 3 + 0] = 0x10, before[16 * 3 + 1] = 0x20, before[16 * 3 + 2] = 0x30;
    before[17 * 3 + 0] = 0x40, before[17 * 3 + 1] = 0x50, before[17 * 3 + 2] = 0x60;
    EXPECT_EQ(table(), before);

    // Nothing to store: the palette is reloaded all the same.
    hw.restart_trace();
    EXPECT_TRUE(fSetGammaLUT(&hw.ext, 0, 0, words.data(), 0));
    EXPECT_TRACE(hw.events(), ramp_load());
}

TEST_F(Gamma, RefusedRampsLeaveTableAndDacUntouched)
{
    enter(kRow16);
    std::vector<ULONG> words(256, 0xFFFFFFFF);
    store_ramp(3);
    auto stored = table();
    struct Case {
        ULONG first, count;
        LONG bytes;
    } refused[] = {
        {0, 256, 1020}, // buffer one word short
        {1, 256, 1024}, // runs past entry 255
        {256, 1, 4},
        {0, 1, -4},
        // Sums and products that would wrap round to a small number.
        {0x55555555, 1, 4},
        {1, 0xFFFFFFFF, 0x7FFFFFFF},
        {0x40000000, 0x40000000, 0x7FFFFFFF},
    };
    for (const Case& c : refused) {
        EXPECT_FALSE(fSetGammaLUT(&hw.ext, c.first, c.count, words.data(), c.bytes))
            << c.first << " " << c.count << " " << c.bytes;
        EXPECT_TRUE(hw.events().empty());
        EXPECT_EQ(table(), stored);
    }
}

TEST_F(Gamma, NoGammaBeforeAModeTableOrOnAnUnknownDac)
{
    // Before the first mode set the current row is row 0, an 8-bpp row.
    EXPECT_FALSE(fQueryGammaSupport(&hw.ext));
    display_mode = nullptr;
    num_display_modes = 0;
    enter(kRow16);
    EXPECT_FALSE(fQueryGammaSupport(&hw.ext)) << "no table in force";
    display_mode = rows_;
    num_display_modes = kRows;
    hw.ext.ulCurrentMode = kRows;
    EXPECT_FALSE(fQueryGammaSupport(&hw.ext)) << "row beyond the table";

    ULONG words[1] = {};
    for (LONG type : {3, -1}) {
        enter(kRow16);
        hw.ext.ulDacType = type;
        hw.ext.ulFlags = FLAG_GAMMA_ENABLED;
        EXPECT_FALSE(fQueryGammaSupport(&hw.ext));
        EXPECT_FALSE(fEnableGammaSupport(&hw.ext));
        EXPECT_FALSE(fDisableGammaSupport(&hw.ext));
        EXPECT_FALSE(fUpdateGammaLUT(&hw.ext));
        EXPECT_FALSE(fSetGammaLUT(&hw.ext, 0, 1, words, 4));
        vSetCursorColor(&hw.ext);
        EXPECT_TRUE(hw.events().empty());
        EXPECT_EQ(hw.ext.ulFlags, FLAG_GAMMA_ENABLED);
    }
}

TEST_F(Gamma, CursorColoursAreBlackAndTheUserColour)
{
    hw.ext.ulCursorColor = 0x34FF80;
    vSetCursorColor(&hw.ext);
    std::vector<Event> want = {W8(0x1C, 1), W8(0x14, 0), W8(0x10, 0x40)};
    for (uint8_t v : {0x00, 0x00, 0x00, 0x34, 0xFF, 0x80})
        want.push_back(W8(0x18, v));
    EXPECT_TRACE(hw.events(), want);
    sim::DisplayState s = hw.decoded();
    EXPECT_EQ(s.cursor_colour1, (sim::Rgb{0, 0, 0}));
    EXPECT_EQ(s.cursor_colour2, (sim::Rgb{0x34, 0xFF, 0x80}));
}

} // namespace
