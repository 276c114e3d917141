// Validation of the mode tables against boards, and the mode list reported
// to the display driver.
#include "modes.h"
#include "videoport/reload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Configuration codes: bit 4 SGRAM, low three bits the memory size.
constexpr ULONG kSgram4M = 0x10, kSgram24M = 0x17;
constexpr ULONG kWram4M = 0x00, kWram8M = 0x01, kWram24M = 0x07;

// Rows of both tables (single screen; a layout block adds 117 / 114).
constexpr ULONG kRow640x480At60x8 = 6;
constexpr ULONG kRow640x480Custom8 = 3;
constexpr ULONG kRow1152x864At60x32 = 62, kRow1152x864At70x32 = 65;
constexpr ULONG kRow1152x864At75x32 = 68, kRow1152x864At85x32 = 71;
constexpr ULONG kRow1280x1024At60x32 = 80;
constexpr ULONG kRow1600x1200At60x16 = 94, kRow1600x1200At60x32 = 95;
constexpr ULONG kRow1920x1080At60x16Wram = 112;

BOARD_EXTENSION make_board(ULONG config)
{
    BOARD_EXTENSION ext{};
    ext.ulBoardConfig = config;
    ext.AccessRanges[RANGE_FRAME_BUFFER].RangeLength = Zorx_vram_size(&ext);
    ext.ulMemoryType = (config & BOARD_CONFIG_SGRAM) ? MEMORY_TYPE_SGRAM : MEMORY_TYPE_WRAM;
    ext.ulDacType = DAC_TYPE_RGB526;
    ext.ulFlags = FLAG_ALL_VIRTUAL_MODES;
    return ext;
}

ULONG count_modes(BOARD_EXTENSION& ext)
{
    return ulZorx_GetModes(&ext, nullptr, num_display_modes);
}

bool listed(BOARD_EXTENSION& ext, ULONG row)
{
    return ulZorx_GetModes(&ext, nullptr, row + 1) - ulZorx_GetModes(&ext, nullptr, row) == 1;
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

struct Expected {
    ULONG valid, allLayouts, singleScreen;
};

// By memory size in MiB (4, 8, 12, 16, 20, 24).
Expected expected_counts(bool sgram, ULONG mib)
{
    const ULONG sizes[] = {4, 8, 12, 16, 20, 24};
    const Expected s[] = {{275, 181, 61}, {369, 235, 62}, {374, 238, 62},
                          {392, 248, 62}, {392, 248, 62}, {392, 248, 62}};
    const Expected w[] = {{279, 185, 65}, {392, 252, 71}, {407, 261, 71},
                          {441, 279, 71}, {441, 279, 71}, {446, 282, 71}};
    for (int i = 0; i < 6; ++i)
        if (sizes[i] == mib)
            return sgram ? s[i] : w[i];
    ADD_FAILURE() << mib << " MiB";
    return {};
}

TEST_F(ModeList, RowCountsForEveryConfigurationCode)
{
    for (ULONG code = 0; code <= BOARD_CONFIG_MAX; ++code) {
        korvid_host::reload_driver_data();
        BOARD_EXTENSION ext = make_board(code);
        bool sgram = code & BOARD_CONFIG_SGRAM;
        SCOPED_TRACE(::testing::Message() << "configuration code " << code);
        Expected e = expected_counts(sgram, board_memory_size(&ext) >> 20);

        EXPECT_EQ(Zorx_init_mode_info(&ext), e.valid);
        EXPECT_EQ(display_mode, sgram ? display_mode_sgram : display_mode_wram);
        EXPECT_EQ(num_display_modes, sgram ? 468u : 456u);
        EXPECT_EQ(num_available_modes, e.valid);
        ULONG valid = 0;
        for (ULONG i = 0; i < num_display_modes; ++i)
            valid += display_mode[i].fValid;
        EXPECT_EQ(valid, e.valid);

        EXPECT_EQ(count_modes(ext), e.allLayouts);
        ext.ulFlags = 0;
        ext.ulCurrentMode = kRow640x480At60x8;
        EXPECT_EQ(count_modes(ext), e.singleScreen);
    }
}

TEST_F(ModeList, SurfaceStartOffsetAndReserveMustFit)
{
    // WRAM boards, whose bandwidth carries all of these rows.
    BOARD_EXTENSION small = make_board(kWram4M);
    EXPECT_TRUE(valid_alone(small, kRow1152x864At60x32));       // 3,981,312 + 64 KiB
    EXPECT_FALSE(valid_alone(small, kRow1920x1080At60x16Wram)); // fits only without the reserve
    EXPECT_FALSE(valid_alone(small, kRow1280x1024At60x32));

    // 5,242,880 bytes of surface + 1024 start offset + 64 KiB: equal fits.
    BOARD_EXTENSION exact = make_board(kWram24M);
    exact.AccessRanges[RANGE_FRAME_BUFFER].RangeLength = 5'309'440;
    EXPECT_TRUE(valid_alone(exact, kRow1280x1024At60x32));
    exact.AccessRanges[RANGE_FRAME_BUFFER].RangeLength = 5'309'439;
    EXPECT_FALSE(valid_alone(exact, kRow1280x1024At60x32));
}

TEST_F(ModeList, PixelClockCeilingAndMemoryBandwidth)
{
    BOARD_EXTENSION sgram = make_board(kSgram24M);
    EXPECT_TRUE(valid_alone(sgram, kRow1152x864At60x32));   // 19,930,202
    EXPECT_TRUE(valid_alone(sgram, kRow1152x864At70x32));   // 23,601,562
    EXPECT_FALSE(valid_alone(sgram, kRow1152x864At75x32));  // 27,063,125
    EXPECT_FALSE(valid_alone(sgram, kRow1152x864At85x32));  // 30,288,662
    EXPECT_FALSE(valid_alone(sgram, kRow1600x1200At60x32)); // 39,600,000
    EXPECT_TRUE(valid_alone(sgram, kRow1600x1200At60x16));  // 19,800,000
    EXPECT_TRUE(valid_alone(sgram, 102));                   // 1600 x 1200 at 75 Hz, 8 bpp
    EXPECT_FALSE(valid_alone(sgram, 103));                  // and 16 bpp: 25,437,231

    BOARD_EXTENSION wram = make_board(kWram24M);
    EXPECT_TRUE(valid_alone(wram, kRow1600x1200At60x32)); // 19,800,000
    EXPECT_FALSE(valid_alone(wram, 98));                  // 65 Hz, 32 bpp: 21,398,750
    for (ULONG row : {94u, 97u, 100u, 102u, 104u})        // 16 bpp at every rate
        EXPECT_TRUE(valid_alone(wram, row)) << row;

    // At 8 bpp only the ceiling can strike out 640 x 480.
    EXPECT_TRUE(valid_alone(sgram, kRow640x480At60x8, 219'999'999));
    EXPECT_FALSE(valid_alone(sgram, kRow640x480At60x8, 220'000'000));
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
    EXPECT_FALSE(display_mode[kRow1280x1024At60x32].fValid);
}

TEST_F(ModeList, VirtualRowsOnlyInTheCurrentLayoutAndResolution)
{
    BOARD_EXTENSION ext = make_board(kSgram24M);
    Zorx_init_mode_info(&ext);
    ext.ulFlags = 0;
    ext.ulCurrentMode = 117 + 36 + 6; // 1024 x 768 at 60 Hz, 8 bpp, double wide

    std::vector<VIDEO_MODE_INFORMATION> list(count_modes(ext));
    ASSERT_EQ(ulZorx_GetModes(&ext, list.data(), num_display_modes), list.size());
    ULONG wide1024 = 0;
    for (const VIDEO_MODE_INFORMATION& info : list) {
        const DISPLAY_MODE& row = display_mode[info.ModeIndex];
        if (row.ulExtraWidth || row.ulExtraHeight) {
            EXPECT_EQ(row.ModeInformation.VisScreenWidth, 1024u) << info.ModeIndex;
            EXPECT_EQ(row.ulExtraWidth, 1024u) << info.ModeIndex;
            EXPECT_EQ(row.ulExtraHeight, 0u) << info.ModeIndex;
            ++wide1024;
        }
    }
    // 60, 70, 75 and 85 Hz at all three depths fit 24 MiB double wide.
    EXPECT_EQ(wide1024, 12u);
    EXPECT_EQ(list.size(), 62u + 12u);
}

TEST_F(ModeList, SlotRowsNeedARateAndTheTestSlotAlsoTheFlag)
{
    BOARD_EXTENSION ext = make_board(kSgram24M);
    Zorx_init_mode_info(&ext);
    ext.ulFlags |= FLAG_TEST_MODES;
    EXPECT_FALSE(listed(ext, 0));
    EXPECT_FALSE(listed(ext, kRow640x480Custom8));

    display_mode[0].ModeInformation.Frequency = 70;
    display_mode[kRow640x480Custom8].ModeInformation.Frequency = 70;
    EXPECT_TRUE(listed(ext, 0));
    EXPECT_TRUE(listed(ext, kRow640x480Custom8));
    ext.ulFlags &= ~FLAG_TEST_MODES;
    EXPECT_FALSE(listed(ext, 0));
    EXPECT_TRUE(listed(ext, kRow640x480Custom8));
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
    VIDEO_MODE_INFORMATION untouched;
    std::memset(&untouched, 0xCD, sizeof untouched);
    EXPECT_EQ(std::memcmp(&list[n], &untouched, sizeof untouched), 0);

    // Test and custom slots have no rate yet: the list starts at row 6.
    EXPECT_EQ(list[0].ModeIndex, kRow640x480At60x8);
    const VIDEO_MODE_INFORMATION* r1280 = nullptr;
    for (ULONG i = 0; i < n; ++i) {
        const VIDEO_MODE_INFORMATION& got = list[i];
        if (i > 0) {
            EXPECT_GT(got.ModeIndex, list[i - 1].ModeIndex);
        }
        const DISPLAY_MODE& row = display_mode[got.ModeIndex];
        VIDEO_MODE_INFORMATION expected = row.ModeInformation;
        expected.ModeIndex = got.ModeIndex;
        expected.VideoMemoryBitmapHeight = got.VideoMemoryBitmapHeight;
        expected.AttributeFlags |= MODE_ATTR_WRAM;
        EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << got.ModeIndex;
        EXPECT_EQ(row.ModeInformation.ModeIndex, 0u);
        EXPECT_EQ(row.ModeInformation.VideoMemoryBitmapHeight, 0u);
        if (got.ModeIndex == kRow1280x1024At60x32)
            r1280 = &got;
    }

    ASSERT_NE(r1280, nullptr);
    const VIDEO_MODE_INFORMATION want = {80,
                                         80,
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
                                         0x0000FF00,
                                         0x000000FF,
                                         VIDEO_MODE_COLOR | VIDEO_MODE_GRAPHICS | MODE_ATTR_WRAM,
                                         1280,
                                         (8'388'608 - 1024) /
                                             5120, // 1638 lines below the start offset
                                         0};
    EXPECT_EQ(std::memcmp(r1280, &want, sizeof want), 0);
}

TEST_F(ModeList, MemoryTypeBitsOnlyForTheRgb526)
{
    for (ULONG config : {kSgram24M, kWram24M}) {
        for (LONG dac : {DAC_TYPE_RGB526, DAC_TYPE_RGB528, DAC_TYPE_RGB526_DRAM}) {
            korvid_host::reload_driver_data();
            BOARD_EXTENSION ext = make_board(config);
            ext.ulDacType = dac;
            Zorx_init_mode_info(&ext);
            VIDEO_MODE_INFORMATION info{};
            FillModeInformation(&ext, kRow640x480At60x8, &info);
            ULONG memoryBit = config == kSgram24M ? MODE_ATTR_SGRAM : MODE_ATTR_WRAM;
            EXPECT_EQ(info.AttributeFlags, 0x0Fu | (dac == DAC_TYPE_RGB526 ? memoryBit : 0))
                << config << " " << dac;
        }
    }
}

TEST_F(ModeList, CompareModesByGroup)
{
    BOARD_EXTENSION ext = make_board(kWram24M);
    Zorx_init_mode_info(&ext);
    const ULONG row = kRow640x480At60x8;
    EXPECT_TRUE(CompareModes(row, row, 0));
    EXPECT_FALSE(CompareModes(row, row + 1, 0)); // 16 bpp
    EXPECT_TRUE(CompareModes(row, row + 1, COMPARE_IGNORE_DEPTH));
    EXPECT_FALSE(CompareModes(row, row + 114, 0)); // double wide
    EXPECT_TRUE(CompareModes(row, row + 114, COMPARE_IGNORE_VIRTUAL));
    EXPECT_FALSE(CompareModes(row, row + 3, 0)); // 72 Hz
    EXPECT_TRUE(CompareModes(row, row + 3, COMPARE_IGNORE_REFRESH));
    EXPECT_FALSE(CompareModes(row, row + 18, 0xE)); // 800 x 600
    EXPECT_TRUE(CompareModes(row, row + 18, 0xF));
    EXPECT_TRUE(CompareModes(row, 342 + 2, 0xE)); // same resolution, other layout and depth
    EXPECT_FALSE(CompareModes(row, 342 + 2, 0x8));

    // Rows past the active table match nothing, nor are they scanned.
    EXPECT_FALSE(CompareModes(row, NUM_DISPLAY_MODES_WRAM, 0xF));
    EXPECT_FALSE(CompareModes(NUM_DISPLAY_MODES_SGRAM, NUM_DISPLAY_MODES_SGRAM, 0xF));
    EXPECT_EQ(ulZorx_GetModes(&ext, nullptr, 100000), count_modes(ext));
    EXPECT_EQ(ulZorx_GetModes(&ext, nullptr, 0), 0u);
}

} // namespace
