// Palette, gamma ramp and cursor colour, end to end on both drivers.
#include "tests/e2e/e2e.h"

namespace e2e {

namespace {

using sim::ColourPath;
using sim::Rgb;

// A VIDEO_CLUT: count and first entry, then red, green, blue, unused.
Bytes clut(uint16_t count, uint16_t first, const std::vector<Rgb>& colours)
{
    Bytes v = {uint8_t(count), uint8_t(count >> 8), uint8_t(first), uint8_t(first >> 8)};
    for (const Rgb& c : colours)
        v.insert(v.end(), {c.r, c.g, c.b, 0});
    return v;
}

std::vector<Rgb> spectrum(size_t n)
{
    std::vector<Rgb> colours;
    for (size_t i = 0; i < n; ++i)
        colours.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    return colours;
}

// Writes to the DAC's palette address and data ports.
size_t palette_writes(const Reply& r)
{
    size_t n = 0;
    for (const sim::Event& e : r.events)
        n += e.op == sim::Op::Write && e.aperture == sim::Aperture::Registers &&
             (e.offset == sim::dac_port::PaletteWriteAddress ||
              e.offset == sim::dac_port::PaletteData);
    return n;
}

void load_palette(Session& s)
{
    ASSERT_EQ(s.boot({board(0x11)}), NO_ERROR);
    set_mode(s, find_mode(s, 800, 600, 8, 72));
    const std::vector<Rgb> colours = spectrum(256);
    Reply all = s.send(IOCTL_VIDEO_SET_COLOR_REGISTERS, clut(256, 0, colours));
    EXPECT_EQ(all.status, NO_ERROR);
    EXPECT_EQ(palette_writes(all), 256u * 4) << "an address and three colours per entry";
    const sim::Dac& dac = s.system().machine().board(0).dac();
    for (int i : {0, 1, 128, 254, 255})
        EXPECT_EQ(dac.palette(i), colours[i]) << "entry " << i;
    EXPECT_EQ(s.display(0).path, ColourPath::Palette);

    EXPECT_EQ(s.send(IOCTL_VIDEO_SET_COLOR_REGISTERS, clut(1, 255, {{9, 8, 7}})).status, NO_ERROR);
    EXPECT_EQ(dac.palette(255), (Rgb{9, 8, 7}));
    EXPECT_EQ(dac.palette(254), colours[254]);

    // Past entry 255, no entries, or fewer bytes than entries: refused untouched.
    Bytes three = clut(3, 0, spectrum(3));
    three.resize(15);
    for (const Bytes& bad :
         {clut(2, 255, spectrum(2)), clut(0, 0, {}), clut(1, 256, spectrum(1))}) {
        Reply r = s.send(IOCTL_VIDEO_SET_COLOR_REGISTERS, bad);
        EXPECT_EQ(r.status, ERROR_INVALID_PARAMETER);
        EXPECT_TRUE(r.events.empty());
    }
    EXPECT_EQ(s.send(IOCTL_VIDEO_SET_COLOR_REGISTERS, three).status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(dac.palette(0), colours[0]);
}

TEST_P(EndToEnd, LoadsThePalette)
{
    play(load_palette);
}

// A ramp request: first entry and count, then one word per entry with red,
// green and blue in bits 8-15, 16-23 and 24-31.
Bytes ramp(uint16_t first, uint16_t count, uint8_t (*level)(uint32_t))
{
    Bytes v = words({uint32_t(count) << 16 | first});
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t c = level(first + i);
        v.insert(v.end(), {0xEE, c, uint8_t(c / 2), uint8_t(255 - c)});
    }
    return v;
}

uint8_t squared(uint32_t i)
{
    return uint8_t(i * i / 255);
}

uint32_t gamma_control(Session& s, uint32_t command, Buffers buffers = Buffers::Separate)
{
    Reply r = s.send(IOCTL_PRIV_GAMMA_CONTROL, words({command}), 4, buffers);
    EXPECT_EQ(r.status, NO_ERROR);
    return r.word();
}

void gamma_ramp(Session& s)
{
    ASSERT_EQ(s.boot({board(0x11)}), NO_ERROR);
    const sim::Dac& dac = s.system().machine().board(0).dac();
    // 8 bpp goes through the palette as a colour map: no gamma.
    set_mode(s, find_mode(s, 640, 480, 8, 75));
    EXPECT_EQ(gamma_control(s, GAMMA_CONTROL_QUERY), 0u);
    EXPECT_EQ(gamma_control(s, GAMMA_CONTROL_ENABLE), 0u);
    EXPECT_EQ(s.send(IOCTL_PRIV_UPDATE_GAMMA).status, ERROR_INVALID_PARAMETER);

    set_mode(s, find_mode(s, 1024, 768, 16, 60));
    EXPECT_EQ(s.display(0).path, ColourPath::Direct);
    EXPECT_EQ(gamma_control(s, GAMMA_CONTROL_QUERY, Buffers::Shared), 1u);
    EXPECT_EQ(gamma_control(s, GAMMA_CONTROL_ENABLE, Buffers::Shared), 1u);
    EXPECT_EQ(s.display(0).path, ColourPath::Gamma);
    EXPECT_EQ(dac.palette(77), (Rgb{77, 77, 77})) << "switching on starts from identity";

    EXPECT_EQ(s.send(IOCTL_PRIV_SET_GAMMA_RAMP, ramp(0, 256, squared)).status, NO_ERROR);
    EXPECT_EQ(dac.palette(200), (Rgb{156, 78, 99}));
    EXPECT_EQ(s.send(IOCTL_PRIV_SET_GAMMA_RAMP, ramp(1, 256, squared)).status,
              ERROR_INVALID_PARAMETER)
        << "entries past 255";
    EXPECT_EQ(s.send(IOCTL_PRIV_SET_GAMMA_RAMP, words({1u << 16})).status,
              ERROR_INSUFFICIENT_BUFFER);

    // A mode set turns the gamma path off; the dispatcher brings the ramp back.
    Reply changed = set_mode(s, find_mode(s, 800, 600, 32, 60));
    EXPECT_EQ(palette_writes(changed), 1u + 256 * 3) << "address, then the whole ramp";
    EXPECT_EQ(s.display(0).path, ColourPath::Gamma);
    EXPECT_EQ(dac.palette(200), (Rgb{156, 78, 99}));
    EXPECT_EQ(s.send(IOCTL_PRIV_UPDATE_GAMMA).status, NO_ERROR);

    EXPECT_EQ(gamma_control(s, GAMMA_CONTROL_DISABLE), 1u);
    EXPECT_EQ(s.display(0).path, ColourPath::Direct);
    EXPECT_EQ(gamma_control(s, 9), 0u) << "an unknown command";
    Reply quiet = set_mode(s, find_mode(s, 800, 600, 16, 60));
    EXPECT_EQ(palette_writes(quiet), 0u) << "gamma off: the ramp is left alone";
    EXPECT_EQ(s.display(0).path, ColourPath::Direct);
}

TEST_P(EndToEnd, EnablesLoadsAndDisablesTheGammaRamp)
{
    play(gamma_ramp);
}

void cursor_colour(Session& s)
{
    ASSERT_EQ(s.boot({board(0x11)}), NO_ERROR);
    set_mode(s, find_mode(s, 1024, 768, 8, 70));
    // Three 16-bit words; only their low bytes count.
    const Bytes words16 = {0x34, 0x12, 0xFF, 0x00, 0x80, 0xAB};
    EXPECT_EQ(s.send(IOCTL_PRIV_SET_CURSOR_COLOR, Bytes(words16.begin(), words16.end() - 1)).status,
              ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(s.send(IOCTL_PRIV_SET_CURSOR_COLOR, words16).status, NO_ERROR);
    sim::DisplayState d = s.display(0);
    EXPECT_EQ(d.cursor_colour1, (Rgb{0, 0, 0}));
    EXPECT_EQ(d.cursor_colour2, (Rgb{0x34, 0xFF, 0x80}));

    // The stored colour is written again on request.
    s.system().machine().board(0).dac().set_reg(0x43, 0);
    Reply again = s.send(IOCTL_PRIV_APPLY_CURSOR_COLOR);
    EXPECT_EQ(again.status, NO_ERROR);
    EXPECT_EQ(s.display(0).cursor_colour2, (Rgb{0x34, 0xFF, 0x80}));
    EXPECT_FALSE(again.events.empty());
}

TEST_P(EndToEnd, SetsTheCursorColour)
{
    play(cursor_colour);
}

} // namespace

} // namespace e2e
