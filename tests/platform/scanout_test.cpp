// Scan-out: a picture the display driver draws comes back from the board's
// programmed state undistorted and in its colours, through a PNG file; a
// wrong register in the state shows as a wrong picture.
#include "tests/support/build_paths.h"
#include "tests/support/machines.h"
#include "tools/korvid-sim/draw.h"

#include "support/png.h"
#include "hardware/scanout.h"
#include "support/test_pattern.h"

#include "miniport/private_ioctl.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using testing_support::Booted;
using testing_support::temp_path;

constexpr sim::Rgb kWhite{255, 255, 255}, kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0},
    kBlue{0, 0, 255}, kYellow{255, 255, 0};

std::string show(const sim::Rgb& c)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c.r, c.g, c.b);
    return buf;
}

::testing::AssertionResult same_picture(const sim::Image& want, const sim::Image& got)
{
    sim::ImageDifference d = sim::compare_images(want, got);
    if (!d)
        return ::testing::AssertionSuccess();
    if (d.size_differs)
        return ::testing::AssertionFailure() << "sizes differ: " << want.width << "x" << want.height
                                             << " against " << got.width << "x" << got.height;
    return ::testing::AssertionFailure()
           << d.count << " pixels differ, first at (" << d.x << ", " << d.y << "): want "
           << show(d.want) << ", got " << show(d.got);
}

// Landmarks a person would look for, independent of how the pattern is drawn.
void expect_landmarks(sim::Pattern p, const sim::Image& img)
{
    uint32_t w = img.width, h = img.height;
    if (p == sim::Pattern::Bars) {
        const sim::Rgb bars[8] = {kWhite,        kYellow, {0, 255, 255}, kGreen,
                                  {255, 0, 255}, kRed,    kBlue,         kBlack};
        for (uint32_t i = 0; i < 8; ++i) {
            uint32_t x = w * (2 * i + 1) / 16;
            EXPECT_EQ(img.at(x, h / 3), bars[i]) << "top bar " << i;
            EXPECT_EQ(img.at(x, h * 5 / 6), bars[7 - i]) << "bottom bar " << i;
        }
        EXPECT_EQ(img.at(0, 0), kRed);
        EXPECT_EQ(img.at(w - 1, h - 1), kRed);
    } else if (p == sim::Pattern::Grid) {
        EXPECT_EQ(img.at(8, 8), kRed);
        EXPECT_EQ(img.at(w - 9, 8), kGreen);
        EXPECT_EQ(img.at(8, h - 9), kBlue);
        EXPECT_EQ(img.at(w - 9, h - 9), kYellow);
        EXPECT_EQ(img.at(64, 100), kWhite); // a grid column
        EXPECT_EQ(img.at(70, 100), kBlack);
    } else {
        EXPECT_EQ(img.at(w - 3, h / 2), kBlue);
        EXPECT_EQ(img.at(w - 1, h / 2), kWhite);
        size_t yellow = 0;
        for (const sim::Rgb& c : img.pixels)
            yellow += c == kYellow;
        EXPECT_GT(yellow, 100u) << "the capital letters line";
    }
}

struct Shot {
    uint32_t code;
    const char* mode;
    sim::Pattern pattern;
};

void PrintTo(const Shot& s, std::ostream* os)
{
    *os << s.mode << " " << sim::pattern_name(s.pattern);
}

class Screenshot : public ::testing::TestWithParam<Shot> {};

TEST_P(Screenshot, PngShowsThePatternUndistortedInItsColours)
{
    const Shot& p = GetParam();
    Booted b(p.code);
    sim::ModeEntry mode = b.set(p.mode);
    sim::Image drawn = sim::render_pattern(p.pattern, mode.width(), mode.height(), "korvid");
    std::string why;
    ASSERT_TRUE(ksim::draw(b.client, drawn, &why)) << why;

    auto shown = sim::scan_out(b.board(), &why);
    ASSERT_TRUE(shown) << why;
    std::string path = temp_path(std::string(sim::pattern_name(p.pattern)) + ".png");
    ASSERT_TRUE(sim::write_png(path, *shown, &why)) << why;
    auto decoded = sim::read_png(path, &why);
    std::remove(path.c_str());
    ASSERT_TRUE(decoded) << why;

    EXPECT_TRUE(same_picture(drawn, *decoded));
    expect_landmarks(p.pattern, *decoded);
}

// 8 bpp through the palette, 16 bpp direct, 32 bpp from a start past 0 on WRAM,
// and a double-wide surface whose pitch is not the visible line.
INSTANTIATE_TEST_SUITE_P(Modes, Screenshot,
                         ::testing::Values(Shot{0x11, "1024x768x8", sim::Pattern::Bars},
                                           Shot{0x11, "1024x768x8", sim::Pattern::Grid},
                                           Shot{0x11, "1024x768x16", sim::Pattern::Bars},
                                           Shot{0x11, "1024x768x16", sim::Pattern::Text},
                                           Shot{0x01, "1280x1024x32", sim::Pattern::Grid},
                                           Shot{0x01, "1280x1024x32", sim::Pattern::Bars},
                                           Shot{0x11, "640x480x8:wide", sim::Pattern::Grid},
                                           Shot{0x17, "800x600x32:both", sim::Pattern::Text}));

class ScanOut : public ::testing::Test {
  protected:
    // 1024x768 at 16 bpp with the bars drawn, and the state that shows them.
    void SetUp() override
    {
        mode_ = b_.set(mode_text_);
        drawn_ = sim::render_pattern(sim::Pattern::Bars, mode_.width(), mode_.height());
        std::string why;
        ASSERT_TRUE(ksim::draw(b_.client, drawn_, &why)) << why;
        state_ = sim::decode_display(b_.board());
    }
    sim::Image scan(const sim::DisplayState& s)
    {
        std::string why;
        auto img = sim::scan_out(b_.board(), s, &why);
        EXPECT_TRUE(img) << why;
        return img.value_or(sim::Image{});
    }

    Booted b_{0x11};
    std::string mode_text_ = "1024x768x16";
    sim::ModeEntry mode_;
    sim::Image drawn_;
    sim::DisplayState state_;
};

TEST_F(ScanOut, AWrongPitchInACopyOfTheBoardStateFailsTheCheck)
{
    ASSERT_TRUE(same_picture(drawn_, scan(state_)));
    for (uint32_t pitch : {state_.pitch + 128, state_.pitch - 2, state_.pitch / 2}) {
        sim::DisplayState wrong = state_;
        wrong.pitch = pitch;
        sim::ImageDifference d = sim::compare_images(drawn_, scan(wrong));
        EXPECT_TRUE(d) << "pitch " << pitch;
        EXPECT_GT(d.y, 0u) << "the first line is right; the lines after it shear";
    }
}

TEST_F(ScanOut, AWrongStartOrPixelFormatFailsTheCheck)
{
    sim::DisplayState moved = state_;
    moved.start += 64;
    EXPECT_TRUE(sim::compare_images(drawn_, scan(moved)));
    sim::DisplayState deeper = state_;
    deeper.bpp = 32;
    EXPECT_TRUE(sim::compare_images(drawn_, scan(deeper)));
}

TEST_F(ScanOut, MemoryPastTheEndShowsBlackInsteadOfBeingRead)
{
    sim::DisplayState late = state_;
    late.start = b_.board().memory_size() - late.pitch; // only the first line lies in memory
    sim::Image img = scan(late);
    EXPECT_EQ(img.at(0, 1), kBlack);
    EXPECT_EQ(img.at(img.width - 1, img.height - 1), kBlack);
}

TEST_F(ScanOut, GammaRampMapsEachComponentThroughThePalette)
{
    sim::Reply on = b_.client.send(IOCTL_PRIV_GAMMA_CONTROL, {2, 0, 0, 0}, 4);
    ASSERT_EQ(on.status, NO_ERROR);
    ASSERT_EQ(on.word(0), 1u);
    // An inverting ramp: entry i holds 255 - i for red, green and blue.
    std::vector<uint8_t> ramp = {0, 0, 0, 1}; // first 0, count 256
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t v = 255 - i;
        uint32_t word = v << 8 | v << 16 | v << 24;
        for (int k = 0; k < 4; ++k)
            ramp.push_back(uint8_t(word >> (8 * k)));
    }
    ASSERT_EQ(b_.client.send(IOCTL_PRIV_SET_GAMMA_RAMP, ramp, 0).status, NO_ERROR);
    sim::DisplayState s = sim::decode_display(b_.board());
    ASSERT_EQ(s.path, sim::ColourPath::Gamma);
    sim::Image img = scan(s);
    uint32_t y = img.height / 3;
    EXPECT_EQ(img.at(img.width / 16, y), kBlack) << "white through the inverted ramp";
    EXPECT_EQ(img.at(img.width * 15 / 16, y), kWhite) << "black through the inverted ramp";
    EXPECT_EQ(img.at(img.width * 11 / 16, y), (sim::Rgb{0, 255, 255})) << "red turns cyan";
}

TEST(ScanOutPalette, EightBitPixelsShowThePaletteTheDisplayDriverLoaded)
{
    Booted b(0x11);
    sim::ModeEntry mode = b.set("800x600x8");
    std::string why;
    ASSERT_TRUE(ksim::draw_pattern(b.client, sim::Pattern::Bars, "", &why)) << why;
    // White is index 0xFF of the 3-3-2 cube; make it red.
    const sim::Rgb red[] = {kRed};
    ASSERT_EQ(b.client.load_palette(0xFF, red), NO_ERROR);
    auto img = sim::scan_out(b.board(), &why);
    ASSERT_TRUE(img) << why;
    EXPECT_EQ(img->at(mode.width() / 16, mode.height() / 3), kRed);
    EXPECT_EQ(img->at(mode.width() * 3 / 16, mode.height() / 3), kYellow);
}

TEST(ScanOutVga, ABoardWithoutANativeModeHasNothingToScanOut)
{
    Booted b(0x11);
    std::string why;
    EXPECT_FALSE(sim::scan_out(b.board(), &why));
    EXPECT_NE(why.find("VGA"), std::string::npos) << why;
    ASSERT_EQ(b.client.set_mode(0u), NO_ERROR);
    ASSERT_EQ(b.client.reset_device(), NO_ERROR);
    EXPECT_FALSE(sim::scan_out(b.board(), &why));
}

TEST(Png, AnUnwritablePathIsReportedNotIgnored)
{
    std::string why;
    EXPECT_FALSE(sim::write_png("/nonexistent-dir/x.png", sim::Image(4, 4), &why));
    EXPECT_NE(why.find("/nonexistent-dir/x.png"), std::string::npos);
    EXPECT_FALSE(sim::read_png("/nonexistent-dir/x.png", &why));
}

} // namespace
