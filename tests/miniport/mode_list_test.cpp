// Validation of the mode tables against boards, and the mode list reported
// to the display driver.
#include "miniport/modes.h"
#include "platform/videoport/reload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Configuration codes: bit 4 SGRAM, low three bits the memory size.
constexpr ULONG kSgram4M = 0x10, kSgram24M = 0x17;
constexpr ULONG kWram8M = 0x01, kWram24M = 0x07;

// Single-screen rows, the same in both tables unless named otherwise.
constexpr ULONG kRow640At60x8 = 6, kRow640Custom8 = 3, kRow1280At60x32 = 80;

BOARD_EXTENSION make_board(ULONG config)
{
    BOARD_EXTENSION ext{};
    ext.ulBoardConfig = config;
    ext.AccessRanges[RANGE_FRAME_BUFFER].RangeLength = Zorx_vram_size(&ext);
    ext.ulMemoryType = (config & BOARD_CONFIG_SGRAM) ? MEMORY_TYPE_SGRAM : MEMORY_TYPE_WRAM;
    ext.ulFlags = FLAG_ALL_VIRTUAL_MODES;
    return ext;
}

ULONG count_modes(BOARD_EXTENSION& ext)
{
    return ulZorx_GetModes(&ext, nullptr, num_display_modes);
}

bool listed(BOARD_EXTENSION& ext, ULONG row)
{
    return ulZorx_GetModes(&ext, nullptr, row + 1) > ulZorx_GetModes(&ext, nullptr, row);
}

class ModeList : public ::testing::Test {
  protected:
    void SetUp() override { korvid_host::reload_driver_data(); }

    // Whether a row survives validation for a fresh board alone, optionally
    // with another pixel clock in its timing record.
    bool valid_alone(BOARD_EXTENSION ext, ULONG row, ULONG pixelClock = 0)
    {
        korvid_host::reload_driver_data();
        PDISPLAY_MODE table = ext.ulMemoryType ? display_mode_sgram : display_mode_wram;
        if (pixelClock)
            table[row].pTiming->ulPixelClock = pixelClock;
        Zorx_init_mode_info(&ext);
        return display_mode[row].fValid;
    }
};

TEST_F(ModeList, RowCountsForEveryConfigurationCode)
{
    // Valid rows, rows listed with every layout, rows listed in a single
    // screen: by memory size code (4, 8, 12, 20, 8, 12, 16, 24 MiB).
    const ULONG sgram[8][3] = {{275, 181, 61}, {369, 235, 62}, {374, 238, 62}, {392, 248, 62},
                               {369, 235, 62}, {374, 238, 62}, {392, 248, 62}, {392, 248, 62}};
    const ULONG wram[8][3] = {{279, 185, 65}, {392, 252, 71}, {407, 261, 71}, {441, 279, 71},
                              {392, 252, 71}, {407, 261, 71}, {441, 279, 71}, {446, 282, 71}};
    for (ULONG code = 0; code <= BOARD_CONFIG_MAX; ++code) {
        SCOPED_TRACE(::testing::Message() << "configuration code " << code);
        korvid_host::reload_driver_data();
        BOARD_EXTENSION ext = make_board(code);
        bool isSgram = code & BOARD_CONFIG_SGRAM;
        const ULONG* want = (isSgram ? sgram : wram)[code & BOARD_CONFIG_SIZE_MASK];

        EXPECT_EQ(Zorx_init_mode_info(&ext), want[0]);
        EXPECT_EQ(display_mode, isSgram ? display_mode_sgram : display_mode_wram);
        EXPECT_EQ(num_display_modes, isSgram ? 468u : 456u);
        ULONG valid = 0;
        for (ULONG i = 0; i < num_display_modes; ++i)
            valid += display_mode[i].fValid;
        EXPECT_EQ(valid, want[0]);
        EXPECT_EQ(count_modes(ext), want[1]);
        ext.ulFlags = 0;
        ext.ulCurrentMode = kRow640At60x8;
        EXPECT_EQ(count_modes(ext), want[2]);
    }
}

TEST_F(ModeList, LimitsAtTheirEdges)
{
    // 5,242,880 bytes of surface + 1024 start offset + 64 KiB: equal fits.
    BOARD_EXTENSION wram = make_board(kWram24M);
    wram.AccessRanges[RANGE_FRAME_BUFFER].RangeLength = 5'309'440;
    EXPECT_TRUE(valid_alone(wram, kRow1280At60x32));
    wram.AccessRanges[RANGE_FRAME_BUFFER].RangeLength = 5'309'439;
    EXPECT_FALSE(valid_alone(wram, kRow1280At60x32));

    // At 8 bpp only the pixel clock ceiling can strike out 640 x 480.
    BOARD_EXTENSION sgram = make_board(kSgram24M);
    EXPECT_TRUE(valid_alone(sgram, kRow640At60x8, 219'999'999));
    EXPECT_FALSE(valid_alone(sgram, kRow640At60x8, 220'000'000));
}

TEST_F(ModeList, TwoBoardsOfOneTypeKeepOnlyRowsThatFitBoth)
{
    BOARD_EXTENSION big = make_board(kSgram24M), small = make_board(kSgram4M);
    EXPECT_EQ(Zorx_init_mode_info(&big), 392u);
    EXPECT_EQ(Zorx_init_mode_info(&small), 275u);
    EXPECT_EQ(count_modes(big), 181u);

    korvid_host::reload_driver_data();
    EXPECT_EQ(Zorx_init_mode_info(&small), 275u);
    EXPECT_EQ(Zorx_init_mode_info(&big), 275u);
}

TEST_F(ModeList, VirtualRowsOnlyInTheCurrentLayoutAndResolution)
{
    BOARD_EXTENSION ext = make_board(kSgram24M);
    Zorx_init_mode_info(&ext);
    ext.ulFlags = 0;
    ext.ulCurrentMode = 117 + 36 + 6; // 1024 x 768 at 60 Hz, 8 bpp, double wide

    std::vector<VIDEO_MODE_INFORMATION> list(count_modes(ext));
    ASSERT_EQ(ulZorx_GetModes(&ext, list.data(), num_display_modes), list.size());
    ULONG virtualRows = 0;
    for (const VIDEO_MODE_INFORMATION& info : list) {
        const DISPLAY_MODE& row = display_mode[info.ModeIndex];
        if (row.ulExtraWidth || row.ulExtraHeight) {
            EXPECT_TRUE(CompareModes(info.ModeIndex, ext.ulCurrentMode, 0xC)) << info.ModeIndex;
            ++virtualRows;
        }
    }
    // Every single-screen row, and 1024 x 768 double wide at four rates and three depths.
    EXPECT_EQ(virtualRows, 12u);
    EXPECT_EQ(list.size(), 62u + 12u);
}

TEST_F(ModeList, SlotRowsNeedARateAndTheTestSlotAlsoTheFlag)
{
    BOARD_EXTENSION ext = make_board(kSgram24M);
    Zorx_init_mode_info(&ext);
    ext.ulFlags |= FLAG_TEST_MODES;
    EXPECT_FALSE(listed(ext, 0));
    EXPECT_FALSE(listed(ext, kRow640Custom8));

    display_mode[0].ModeInformation.Frequency = 70;
    display_mode[kRow640Custom8].ModeInformation.Frequency = 70;
    EXPECT_TRUE(listed(ext, 0));
    EXPECT_TRUE(listed(ext, kRow640Custom8));
    ext.ulFlags &= ~FLAG_TEST_MODES;
    EXPECT_FALSE(listed(ext, 0));
    EXPECT_TRUE(listed(ext, kRow640Custom8));
}

TEST_F(ModeList, ReportedRecordsAreByteExact)
{
    BOARD_EXTENSION ext = make_board(kWram8M);
    Zorx_init_mode_info(&ext);
    ULONG n = count_modes(ext);
    ASSERT_EQ(n, 252u);

    // One record more than counted, to catch a write past the end.
    std::vector<VIDEO_MODE_INFORMATION> list(n + 1);
    std::memset(list.data(), 0xCD, list.size() * sizeof list[0]);
    EXPECT_EQ(ulZorx_GetModes(&ext, list.data(), num_display_modes), n);
    EXPECT_EQ(list[n].ModeIndex, 0xCDCDCDCDu);

    // The slots have no rate yet, so the list starts at row 6.
    EXPECT_EQ(list[0].ModeIndex, kRow640At60x8);
    const VIDEO_MODE_INFORMATION* r1280 = nullptr;
    for (ULONG i = 0; i < n; ++i) {
        const VIDEO_MODE_INFORMATION& got = list[i];
        EXPECT_TRUE(i == 0 || got.ModeIndex > list[i - 1].ModeIndex);
        const DISPLAY_MODE& row = display_mode[got.ModeIndex];
        VIDEO_MODE_INFORMATION expected = row.ModeInformation;
        expected.ModeIndex = got.ModeIndex;
        expected.VideoMemoryBitmapHeight = got.VideoMemoryBitmapHeight;
        expected.AttributeFlags |= MODE_ATTR_WRAM;
        EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << got.ModeIndex;
        EXPECT_EQ(row.ModeInformation.ModeIndex, 0u);
        EXPECT_EQ(row.ModeInformation.VideoMemoryBitmapHeight, 0u);
        if (got.ModeIndex == kRow1280At60x32)
            r1280 = &got;
    }

    ASSERT_NE(r1280, nullptr);
    const VIDEO_MODE_INFORMATION want = {80,
                                         kRow1280At60x32,
                                         1280,
                                         1024,
                                         5120,
                                         1,
                                         32,
                                         60,
                                         320,
                                         240,
                                         8,
                                         8,
                                         8,
                                         0x00FF0000,
                                         0xFF00,
                                         0xFF,
                                         VIDEO_MODE_COLOR | VIDEO_MODE_GRAPHICS | MODE_ATTR_WRAM,
                                         1280,
                                         (8'388'608 - 1024) / 5120,
                                         /* 1638 lines below the start offset */ 0};
    EXPECT_EQ(std::memcmp(r1280, &want, sizeof want), 0);
}

TEST_F(ModeList, MemoryTypeBitsOnlyForTheRgb526)
{
    for (ULONG config : {kSgram24M, kWram24M}) {
        for (LONG dac : {DAC_TYPE_RGB526, DAC_TYPE_RGB528, DAC_TYPE_RGB526_DRAM}) {
            BOARD_EXTENSION ext = make_board(config);
            ext.ulDacType = dac;
            Zorx_init_mode_info(&ext);
            VIDEO_MODE_INFORMATION info{};
            FillModeInformation(&ext, kRow640At60x8, &info);
            ULONG memoryBit = config == kSgram24M ? MODE_ATTR_SGRAM : MODE_ATTR_WRAM;
            EXPECT_EQ(info.AttributeFlags, 0x0Fu | (dac == DAC_TYPE_RGB526 ? memoryBit : 0))
                << config << " " << dac;
        }
    }
}

TEST_F(ModeList, CompareModesByGroupAndOnlyInsideTheTable)
{
    BOARD_EXTENSION ext = make_board(kWram24M);
    Zorx_init_mode_info(&ext);
    const ULONG row = kRow640At60x8;
    // Against 16 bpp, double wide, 72 Hz and 800 x 600, each the same otherwise.
    const ULONG other[] = {row + 1, row + 114, row + 3, row + 18};
    const ULONG ignore[] = {COMPARE_IGNORE_DEPTH, COMPARE_IGNORE_VIRTUAL, COMPARE_IGNORE_REFRESH,
                            COMPARE_IGNORE_RESOLUTION};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(CompareModes(row, other[i], 0xF & ~ignore[i])) << i;
        EXPECT_TRUE(CompareModes(row, other[i], ignore[i])) << i;
    }

    // Rows past the active table match nothing and are not scanned.
    EXPECT_FALSE(CompareModes(row, NUM_DISPLAY_MODES_WRAM, 0xF));
    EXPECT_FALSE(CompareModes(NUM_DISPLAY_MODES_WRAM, row, 0xF));
    EXPECT_EQ(ulZorx_GetModes(&ext, nullptr, 100000), count_modes(ext));
}

} // namespace
