// The built-in timing records and mode tables, and the surface geometry of a row.
#include "miniport/modes.h"
#include "platform/videoport/reload.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

struct NamedTiming {
    const char* name;
    const MODE_TIMING* timing;
};

// clang-format off
#define RECORD(r) {#r, &r}
// clang-format on
const NamedTiming kRecords[] = {
    RECORD(mode_640_480_01),   RECORD(mode_800_600_01),   RECORD(mode_1024_768_01),
    RECORD(mode_1152_864_01),  RECORD(mode_1280_1024_01), RECORD(mode_1280_2048_01),
    RECORD(mode_1600_1200_01), RECORD(mode_1920_1080_01), RECORD(mode_640_480_00),
    RECORD(mode_800_600_00),   RECORD(mode_1024_768_00),  RECORD(mode_1152_864_00),
    RECORD(mode_1280_1024_00), RECORD(mode_1280_2048_00), RECORD(mode_1600_1200_00),
    RECORD(mode_1920_1080_00), RECORD(mode_640_480_60),   RECORD(mode_800_600_60),
    RECORD(mode_1024_768_60),  RECORD(mode_1152_864_60),  RECORD(mode_1280_1024_60),
    RECORD(mode_1280_2048_60), RECORD(mode_1600_1200_60), RECORD(mode_1920_1080_60),
    RECORD(mode_1600_1200_65), RECORD(mode_1024_768_70),  RECORD(mode_1152_864_70),
    RECORD(mode_1600_1200_70), RECORD(mode_1800_1440_71), RECORD(mode_640_480_72),
    RECORD(mode_800_600_72),   RECORD(mode_1024_1280_72), RECORD(mode_1920_1080_72),
    RECORD(mode_1920_1060_73), RECORD(mode_640_480_75),   RECORD(mode_800_600_75),
    RECORD(mode_1024_768_75),  RECORD(mode_1152_864_75),  RECORD(mode_1280_1024_75),
    RECORD(mode_1600_1200_75), RECORD(mode_1600_1024_76), RECORD(mode_1920_1200_76),
    RECORD(mode_1600_1200_80), RECORD(mode_1600_1200_83), RECORD(mode_640_480_85),
    RECORD(mode_800_600_85),   RECORD(mode_1024_768_85),  RECORD(mode_1152_864_85),
    RECORD(mode_1280_1024_85),
};
#undef RECORD

struct ParsedName {
    unsigned width, height, rate;
};

ParsedName parse(const NamedTiming& r)
{
    ParsedName p{};
    EXPECT_EQ(std::sscanf(r.name, "mode_%u_%u_%u", &p.width, &p.height, &p.rate), 3) << r.name;
    return p;
}

const NamedTiming* find_record(const MODE_TIMING* timing)
{
    for (const NamedTiming& r : kRecords)
        if (r.timing == timing)
            return &r;
    return nullptr;
}

// The DAC's synthesizer: 25.175 MHz x (VCO count + 65) / (reference x 2^(3 - divider)).
double pll_hz(ULONG word)
{
    unsigned ref = (word >> 8) & 0xFF, df = (word >> 6) & 3, vf = word & 0x3F;
    return 25'175'000.0 * (vf + 65) / (ref * double(1u << (3 - df)));
}

class ModeTables : public ::testing::Test {
  protected:
    void SetUp() override { korvid_host::reload_driver_data(); }
};

TEST_F(ModeTables, TimingRecordsAgreeWithTheirNamesAndPllWords)
{
    for (const NamedTiming& r : kRecords) {
        SCOPED_TRACE(r.name);
        ParsedName p = parse(r);
        const MODE_TIMING& t = *r.timing;
        EXPECT_EQ(t.usHActive * t.usCharWidth, p.width);
        EXPECT_EQ(t.usVActive, p.height);
        EXPECT_EQ(t.ulTimingFlags, p.rate == 0   ? TIMING_TEST_SLOT
                                   : p.rate == 1 ? TIMING_CUSTOM_SLOT
                                                 : 0);
        EXPECT_EQ(t.ulMemConfigWord, 0x00040100u);
        EXPECT_EQ(t.ulPll528, t.ulPll526);
        // The one record whose PLL word yields 157.9 MHz while it states 158.4.
        if (&t != &mode_1600_1200_60) {
            EXPECT_NEAR(pll_hz(t.ulPll526), t.ulPixelClock, 65.0);
        }
    }
}

struct TableShape {
    const char* name;
    DISPLAY_MODE* rows;
    ULONG count;
    ULONG blockRows;
};

const TableShape kTables[] = {
    {"SGRAM", display_mode_sgram, NUM_DISPLAY_MODES_SGRAM, 117},
    {"WRAM", display_mode_wram, NUM_DISPLAY_MODES_WRAM, 114},
};

// Each resolution's stride at 8, 16 and 32 bpp, extra width, and first row
// in SGRAM and WRAM layout blocks.
struct ResolutionShape {
    ULONG width, stride[3], extraWidth, firstRow[2];
};

const ResolutionShape kResolutions[] = {
    {640, {640, 1280, 2560}, 640, {0, 0}},        {800, {896, 1664, 3200}, 768, {18, 18}},
    {1024, {1024, 2048, 4096}, 1024, {36, 36}},   {1152, {1152, 2304, 4608}, 1152, {54, 54}},
    {1280, {1280, 2560, 5120}, 1280, {72, 72}},   {1600, {1664, 3200, 6400}, 1536, {87, 87}},
    {1920, {1920, 3840, 7680}, 1920, {108, 105}},
};

TEST_F(ModeTables, EveryRowPointsAtTheTimingOfItsResolutionAndRate)
{
    for (const TableShape& table : kTables) {
        for (ULONG i = 0; i < table.count; ++i) {
            SCOPED_TRACE(::testing::Message() << table.name << " row " << i);
            const DISPLAY_MODE& row = table.rows[i];
            const VIDEO_MODE_INFORMATION& info = row.ModeInformation;
            const NamedTiming* record = find_record(row.pTiming);
            ASSERT_NE(record, nullptr);
            ParsedName p = parse(*record);
            EXPECT_EQ(info.VisScreenWidth, p.width);
            EXPECT_EQ(info.VisScreenHeight, p.height);
            EXPECT_EQ(info.Frequency, p.rate);
            EXPECT_EQ(row.fValid, 1);

            // Depths run 8, 16, 32 within one rate; the layout blocks repeat
            // the single-screen rows with growing extents.
            ULONG inBlock = i % table.blockRows, layout = i / table.blockRows;
            bool sameRate = inBlock > 0 && table.rows[i - 1].pTiming == row.pTiming;
            ULONG bpp = sameRate ? 2 * table.rows[i - 1].ModeInformation.BitsPerPlane : 8;
            EXPECT_EQ(info.BitsPerPlane, bpp);
            EXPECT_EQ(row.pTiming, table.rows[inBlock].pTiming);
            EXPECT_EQ(info.BitsPerPlane, table.rows[inBlock].ModeInformation.BitsPerPlane);
            for (const ResolutionShape& r : kResolutions) {
                if (r.width == p.width) {
                    EXPECT_EQ(info.ScreenStride, r.stride[bpp / 16]);
                    EXPECT_EQ(row.ulExtraWidth, layout & 1 ? r.extraWidth : 0);
                }
            }
            EXPECT_EQ(row.ulExtraHeight, layout & 2 ? p.height : 0);
        }
    }
}

TEST_F(ModeTables, TellingRowsAndWhereEachResolutionStarts)
{
    EXPECT_EQ(display_mode_sgram[0].pTiming, &mode_640_480_00);
    EXPECT_EQ(display_mode_sgram[6].pTiming, &mode_640_480_60);
    EXPECT_EQ(display_mode_sgram[6].ModeInformation.BitsPerPlane, 8u);
    EXPECT_EQ(display_mode_sgram[135].pTiming, &mode_800_600_00);
    EXPECT_EQ(display_mode_sgram[135].ulExtraWidth, 768u);
    EXPECT_EQ(display_mode_sgram[135].ulExtraHeight, 0u);
    EXPECT_EQ(display_mode_wram[101].pTiming, &mode_1600_1200_75);
    EXPECT_EQ(display_mode_wram[101].ModeInformation.BitsPerPlane, 8u);
    EXPECT_EQ(display_mode_wram[455].pTiming, &mode_1920_1080_60);
    EXPECT_EQ(display_mode_wram[455].ModeInformation.BitsPerPlane, 32u);
    EXPECT_EQ(display_mode_wram[455].ulExtraHeight, 1080u);

    // WRAM blocks have no 32 bpp rows at 1600 x 1200 and 70, 75 or 80 Hz,
    // so 1920 x 1080 starts three rows earlier there.
    for (int t = 0; t < 2; ++t) {
        for (ULONG block = 0; block < 4; ++block) {
            for (const ResolutionShape& res : kResolutions) {
                ULONG first = block * kTables[t].blockRows + res.firstRow[t];
                const VIDEO_MODE_INFORMATION& info = kTables[t].rows[first].ModeInformation;
                EXPECT_EQ(info.VisScreenWidth, res.width) << kTables[t].name << " row " << first;
                EXPECT_EQ(info.Frequency, FREQUENCY_TEST_SLOT);
                if (first > 0) {
                    EXPECT_NE(kTables[t].rows[first - 1].ModeInformation.VisScreenWidth, res.width);
                }
            }
        }
    }
}

TEST_F(ModeTables, ReloadRestoresRowsAndRecords)
{
    display_mode_sgram[10].fValid = 0;
    display_mode_wram[3].ModeInformation.Frequency = 70;
    mode_640_480_01.ulPixelClock = 1;
    korvid_host::reload_driver_data();
    EXPECT_EQ(display_mode_sgram[10].fValid, 1);
    EXPECT_EQ(display_mode_wram[3].ModeInformation.Frequency, FREQUENCY_CUSTOM_SLOT);
    EXPECT_EQ(mode_640_480_01.ulPixelClock, 25'174'998u);
}

// The tables share the section of the miniport's globals, which the address
// sanitizer guards as it guards any global: a row read past either table is
// reported, not answered from whatever follows it. (The guard zone is 32
// bytes; the row look-ups check their index against the table as well.)
TEST(ModeTablesDeathTest, ARowPastATableIsCaught)
{
#if defined(__SANITIZE_ADDRESS__)
    for (auto [table, rows] : {std::pair{&display_mode_sgram[0], num_display_modes_sgram},
                               std::pair{&display_mode_wram[0], num_display_modes_wram}}) {
        volatile ULONG past = rows;
        EXPECT_DEATH(std::printf("%u\n", unsigned(table[past].ModeInformation.VisScreenWidth)),
                     "global-buffer-overflow");
    }
#else
    GTEST_SKIP() << "built without the address sanitizer";
#endif
}

TEST(ModeGeometry, PitchAndStartOffset)
{
    // Table rows: 1280 x 1024 and 1600 x 1200 at 60 Hz, 32 bpp, single
    // screen; 800 x 600 at 60 Hz, 32 bpp, both extents.
    const DISPLAY_MODE* r1280 = &display_mode_sgram[80];
    EXPECT_EQ(ModePitch(r1280), 5120u);
    EXPECT_EQ(ModeSurfaceSize(r1280), 5'242'880u);
    EXPECT_EQ(ModeStartOffset(r1280), 1024u);
    EXPECT_EQ(ModeStartOffset(&display_mode_sgram[95]), 2304u);
    const DISPLAY_MODE* r800 = &display_mode_sgram[351 + 26];
    EXPECT_EQ(ModePitch(r800), 6272u);
    EXPECT_EQ(ModeSurfaceSize(r800), 7'526'400u);
    EXPECT_EQ(ModeStartOffset(r800), 4608u);

    // A pitch of 3000 bytes: no offset up to 4 MiB, above it the remainder
    // 304 rounded up to 384.
    DISPLAY_MODE odd{};
    odd.ModeInformation.BitsPerPlane = 8;
    odd.ModeInformation.ScreenStride = 2000;
    odd.ulExtraWidth = 1000;
    odd.ModeInformation.VisScreenHeight = 1398;
    EXPECT_EQ(ModeStartOffset(&odd), 0u);
    odd.ulExtraHeight = 1;
    EXPECT_EQ(ModeStartOffset(&odd), 384u);
}

} // namespace
