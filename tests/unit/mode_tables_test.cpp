// The built-in timing records and mode tables, and the surface geometry of a row.
#include "modes.h"
#include "videoport/reload.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

struct NamedTiming {
    const char* name;
    const MODE_TIMING* timing;
};

#define RECORD(r)                                                                                  \
    {                                                                                              \
#r, &r                                                                                     \
    }
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

ParsedName parse(const char* name)
{
    ParsedName p{};
    EXPECT_EQ(std::sscanf(name, "mode_%u_%u_%u", &p.width, &p.height, &p.rate), 3) << name;
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

TEST_F(ModeTables, TimingRecordsAgreeWithTheirNames)
{
    EXPECT_EQ(std::size(kRecords), 49u);
    for (const NamedTiming& r : kRecords) {
        SCOPED_TRACE(r.name);
        ParsedName p = parse(r.name);
        const MODE_TIMING& t = *r.timing;
        EXPECT_EQ(t.usHActive * t.usCharWidth, p.width);
        EXPECT_EQ(t.usVActive, p.height);
        ULONG slot = p.rate == 0 ? TIMING_TEST_SLOT : p.rate == 1 ? TIMING_CUSTOM_SLOT : 0;
        EXPECT_EQ(t.ulTimingFlags, slot);
        EXPECT_TRUE(t.ulSyncControl == 0x70 || t.ulSyncControl == 0x73);
        EXPECT_EQ(t.ulMemConfigWord, 0x00040100u);
        EXPECT_EQ(t.ulPll528, t.ulPll526);
        EXPECT_EQ(t.usReserved, 0);
        // Blanking holds the front porch and the sync pulse.
        EXPECT_LT(t.usHSyncStart + t.usHSyncWidth, t.usHBlank);
        EXPECT_LT(t.usVSyncStart + t.usVSyncWidth, t.usVBlank);
    }
}

TEST_F(ModeTables, PixelClockIsWhatThePllWordProduces)
{
    for (const NamedTiming& r : kRecords) {
        if (r.timing == &mode_1600_1200_60)
            continue; // its PLL word yields 157.9 MHz against the 158.4 MHz it states
        EXPECT_NEAR(pll_hz(r.timing->ulPll526), r.timing->ulPixelClock, 65.0) << r.name;
    }
    EXPECT_EQ(mode_1600_1200_60.ulPll526, 0x0BC4u);
    EXPECT_EQ(mode_1600_1200_60.ulPixelClock, 158'400'000u);
}

TEST_F(ModeTables, SlotRecordsStartAsTheSixtyHertzTiming)
{
    // kRecords holds the eight custom slots, then the eight test slots, then
    // the eight 60 Hz records, resolution by resolution.
    for (int i = 0; i < 8; ++i) {
        const MODE_TIMING* sixty = kRecords[16 + i].timing;
        for (const MODE_TIMING* slot : {kRecords[i].timing, kRecords[8 + i].timing}) {
            SCOPED_TRACE(kRecords[16 + i].name);
            MODE_TIMING expected = *sixty;
            expected.ulTimingFlags = slot->ulTimingFlags;
            if (sixty == &mode_1600_1200_60) {
                expected.ulPll526 = expected.ulPll528 = 0x0BC6;
                expected.ulNominalClock = 162'000'000;
                expected.ulPixelClock = 162'493'156;
            }
            EXPECT_EQ(std::memcmp(slot, &expected, sizeof expected), 0);
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

struct ResolutionShape {
    ULONG width;
    ULONG stride[3]; // at 8, 16 and 32 bpp
    ULONG extraWidth;
    ULONG firstRow[2]; // in each SGRAM and WRAM layout block
};

const ResolutionShape kResolutions[] = {
    {640, {640, 1280, 2560}, 640, {0, 0}},        {800, {896, 1664, 3200}, 768, {18, 18}},
    {1024, {1024, 2048, 4096}, 1024, {36, 36}},   {1152, {1152, 2304, 4608}, 1152, {54, 54}},
    {1280, {1280, 2560, 5120}, 1280, {72, 72}},   {1600, {1664, 3200, 6400}, 1536, {87, 87}},
    {1920, {1920, 3840, 7680}, 1920, {108, 105}},
};

const ResolutionShape& shape_of(ULONG width)
{
    for (const ResolutionShape& r : kResolutions)
        if (r.width == width)
            return r;
    ADD_FAILURE() << "no resolution of width " << width;
    return kResolutions[0];
}

struct DepthFields {
    ULONG bits[3];
    ULONG masks[3];
    ULONG attributes;
};

const DepthFields& depth_fields(ULONG bpp)
{
    static const DepthFields depths[] = {
        {{8, 8, 8}, {0, 0, 0}, 0x0F},
        {{5, 6, 5}, {0xF800, 0x07E0, 0x001F}, 0x03},
        {{8, 8, 8}, {0x00FF0000, 0x0000FF00, 0x000000FF}, 0x03},
    };
    return depths[bpp == 8 ? 0 : bpp == 16 ? 1 : 2];
}

TEST_F(ModeTables, EveryRowIsCompleteAndPointsAtItsOwnTiming)
{
    EXPECT_EQ(num_display_modes_sgram, 468u);
    EXPECT_EQ(num_display_modes_wram, 456u);
    for (const TableShape& table : kTables) {
        for (ULONG i = 0; i < table.count; ++i) {
            SCOPED_TRACE(::testing::Message() << table.name << " row " << i);
            const DISPLAY_MODE& row = table.rows[i];
            const VIDEO_MODE_INFORMATION& info = row.ModeInformation;
            const NamedTiming* record = find_record(row.pTiming);
            ASSERT_NE(record, nullptr);
            ParsedName p = parse(record->name);
            EXPECT_EQ(info.VisScreenWidth, p.width);
            EXPECT_EQ(info.VisScreenHeight, p.height);
            EXPECT_EQ(info.Frequency, p.rate);

            ULONG bpp = info.BitsPerPlane;
            ASSERT_TRUE(bpp == 8 || bpp == 16 || bpp == 32);
            const ResolutionShape& shape = shape_of(p.width);
            const DepthFields& depth = depth_fields(bpp);
            EXPECT_EQ(info.Length, 80u);
            EXPECT_EQ(info.ModeIndex, 0u);
            EXPECT_EQ(info.ScreenStride, shape.stride[bpp / 16]);
            EXPECT_EQ(info.NumberOfPlanes, 1u);
            EXPECT_EQ(info.XMillimeter, 320u);
            EXPECT_EQ(info.YMillimeter, 240u);
            EXPECT_EQ(info.NumberRedBits, depth.bits[0]);
            EXPECT_EQ(info.NumberGreenBits, depth.bits[1]);
            EXPECT_EQ(info.NumberBlueBits, depth.bits[2]);
            EXPECT_EQ(info.RedMask, depth.masks[0]);
            EXPECT_EQ(info.GreenMask, depth.masks[1]);
            EXPECT_EQ(info.BlueMask, depth.masks[2]);
            EXPECT_EQ(info.AttributeFlags, depth.attributes);
            EXPECT_EQ(info.VideoMemoryBitmapWidth, p.width);
            EXPECT_EQ(info.VideoMemoryBitmapHeight, 0u);
            EXPECT_EQ(info.DriverSpecificAttributeFlags, 0u);
            EXPECT_EQ(row.fValid, 1);

            // Depths run 8, 16, 32 within one resolution and rate.
            ULONG inBlock = i % table.blockRows;
            if (inBlock > 0 && table.rows[i - 1].pTiming == row.pTiming) {
                EXPECT_EQ(bpp, 2 * table.rows[i - 1].ModeInformation.BitsPerPlane);
            } else {
                EXPECT_EQ(bpp, 8u);
            }

            // Layout blocks repeat the single-screen rows with growing extents.
            ULONG layout = i / table.blockRows;
            const DISPLAY_MODE& single = table.rows[i % table.blockRows];
            EXPECT_EQ(row.pTiming, single.pTiming);
            EXPECT_EQ(bpp, single.ModeInformation.BitsPerPlane);
            EXPECT_EQ(row.ulExtraWidth, layout & 1 ? shape.extraWidth : 0);
            EXPECT_EQ(row.ulExtraHeight, layout & 2 ? p.height : 0);
        }
    }
}

TEST_F(ModeTables, TellingRows)
{
    auto expect_row = [](const DISPLAY_MODE& row, ULONG w, ULONG h, ULONG bpp, ULONG freq,
                         ULONG extraW, ULONG extraH) {
        EXPECT_EQ(row.ModeInformation.VisScreenWidth, w);
        EXPECT_EQ(row.ModeInformation.VisScreenHeight, h);
        EXPECT_EQ(row.ModeInformation.BitsPerPlane, bpp);
        EXPECT_EQ(row.ModeInformation.Frequency, freq);
        EXPECT_EQ(row.ulExtraWidth, extraW);
        EXPECT_EQ(row.ulExtraHeight, extraH);
    };
    expect_row(display_mode_sgram[0], 640, 480, 8, 0, 0, 0);
    EXPECT_EQ(display_mode_sgram[0].pTiming, &mode_640_480_00);
    expect_row(display_mode_sgram[6], 640, 480, 8, 60, 0, 0);
    EXPECT_EQ(display_mode_sgram[6].pTiming, &mode_640_480_60);
    expect_row(display_mode_sgram[135], 800, 600, 8, 0, 768, 0);
    expect_row(display_mode_wram[101], 1600, 1200, 8, 75, 0, 0);
    expect_row(display_mode_wram[455], 1920, 1080, 32, 60, 1920, 1080);
    // Each resolution starts a run of rows in every layout block; 1920 x 1080
    // starts three rows earlier in WRAM blocks, which have no 32 bpp rows at
    // 1600 x 1200 and 70, 75 or 80 Hz.
    for (int t = 0; t < 2; ++t) {
        for (ULONG block = 0; block < 4; ++block) {
            for (const ResolutionShape& res : kResolutions) {
                ULONG first = block * kTables[t].blockRows + res.firstRow[t];
                SCOPED_TRACE(::testing::Message() << kTables[t].name << " row " << first);
                const DISPLAY_MODE& row = kTables[t].rows[first];
                EXPECT_EQ(row.ModeInformation.VisScreenWidth, res.width);
                EXPECT_EQ(row.ModeInformation.Frequency, FREQUENCY_TEST_SLOT);
                EXPECT_EQ(row.ModeInformation.BitsPerPlane, 8u);
                if (first > 0) {
                    EXPECT_NE(kTables[t].rows[first - 1].ModeInformation.VisScreenWidth, res.width);
                }
            }
        }
    }
    for (const DISPLAY_MODE& row : display_mode_wram) {
        if (row.ModeInformation.VisScreenWidth == 1600 && row.ModeInformation.BitsPerPlane == 32) {
            EXPECT_LE(row.ModeInformation.Frequency, 65u);
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
    EXPECT_EQ(display_mode_wram[3].ModeInformation.Frequency, 1u);
    EXPECT_EQ(mode_640_480_01.ulPixelClock, 25'174'998u);
}

// A hand-made row: visible size, depth, stride and virtual extents.
DISPLAY_MODE make_row(ULONG height, ULONG bpp, ULONG stride, ULONG extraW = 0, ULONG extraH = 0)
{
    DISPLAY_MODE row{};
    row.ModeInformation.VisScreenHeight = height;
    row.ModeInformation.BitsPerPlane = bpp;
    row.ModeInformation.ScreenStride = stride;
    row.ulExtraWidth = extraW;
    row.ulExtraHeight = extraH;
    return row;
}

TEST(ModeGeometry, PitchAndStartOffsetOfWorkedExamples)
{
    DISPLAY_MODE r1280 = make_row(1024, 32, 5120);
    EXPECT_EQ(ModePitch(&r1280), 5120u);
    EXPECT_EQ(ModeSurfaceSize(&r1280), 5'242'880u);
    EXPECT_EQ(ModeStartOffset(&r1280), 1024u);

    DISPLAY_MODE r1600 = make_row(1200, 32, 6400);
    EXPECT_EQ(ModeStartOffset(&r1600), 2304u);

    DISPLAY_MODE r800both = make_row(600, 32, 3200, 768, 600);
    EXPECT_EQ(ModePitch(&r800both), 6272u);
    EXPECT_EQ(ModeSurfaceSize(&r800both), 7'526'400u);
    EXPECT_EQ(ModeStartOffset(&r800both), 4608u);

    // The offset applies only above 4 MiB, and an unaligned remainder (304)
    // is rounded up to 128 bytes.
    DISPLAY_MODE exactly4m = make_row(1024, 32, 4096);
    EXPECT_EQ(ModeStartOffset(&exactly4m), 0u);
    DISPLAY_MODE below = make_row(1398, 8, 3000);
    EXPECT_EQ(ModeStartOffset(&below), 0u);
    DISPLAY_MODE above = make_row(1399, 8, 3000);
    EXPECT_EQ(ModeStartOffset(&above), 384u);
}

TEST(ModeGeometry, TableRowsShareTheirGeometry)
{
    // SGRAM row 80: 1280 x 1024, 60 Hz, 32 bpp, single screen.
    EXPECT_EQ(ModeStartOffset(&display_mode_sgram[80]), 1024u);
    // 800 x 600, 60 Hz, 32 bpp with both extents: block 3, row 18 + 6 + 2.
    EXPECT_EQ(ModePitch(&display_mode_sgram[351 + 26]), 6272u);
    EXPECT_EQ(ModeStartOffset(&display_mode_sgram[351 + 26]), 4608u);
}

} // namespace
