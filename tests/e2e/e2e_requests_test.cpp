// Custom and trial refresh rates, the private requests and the return to
// VGA, end to end on both drivers.
#include "tests/e2e/e2e.h"

namespace e2e {

namespace {

constexpr uint32_t kCustomRate = 72;
constexpr uint32_t kCustomClock = 77'000'000;
constexpr uint32_t kCustomPll = 0x064B; // 79.72 MHz
const char16_t kCustomValue1024x768[] = u"VrelCustomRefresh.04000300";

uint32_t listed_count(Session& s)
{
    return s.send(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8).word();
}

void commit_custom_refresh(Session& s)
{
    ASSERT_EQ(s.boot({board(0x11)}), NO_ERROR);
    set_mode(s, find_mode(s, 1024, 768, 16, 60, 1024, 0));
    const Bytes rate = words({kCustomRate, kCustomClock, kCustomPll});

    Reply eleven = s.send(IOCTL_PRIV_SET_CUSTOM_REFRESH, Bytes(rate.begin(), rate.end() - 1), 44);
    EXPECT_EQ(eleven.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(eleven.information, kUntouchedInformation);
    Reply small = s.send(IOCTL_PRIV_SET_CUSTOM_REFRESH, rate, 43);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 44u);

    // The answer is the registry value the display driver stores for the
    // next start: the resolution's name, then the three words.
    Reply r = s.send(IOCTL_PRIV_SET_CUSTOM_REFRESH, rate, 44, Buffers::Shared);
    ASSERT_EQ(r.status, NO_ERROR);
    std::string name = "VrelCustomRefresh.04000300";
    name.resize(32, '\0');
    EXPECT_EQ(Bytes(r.output.begin(), r.output.begin() + 32), Bytes(name.begin(), name.end()));
    EXPECT_EQ(Bytes(r.output.begin() + 32, r.output.end()), rate);

    // Every layout and depth of 1024 x 768 has the rate now; 32 bpp with
    // both extents does not fit in 8 MiB.
    ASSERT_EQ(s.send(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, {1}).status, NO_ERROR);
    EXPECT_EQ(listed_count(s), 235u + 11);
    EXPECT_EQ(s.send(IOCTL_PRIV_QUERY_REFRESH, words({kCustomRate}), 4).word(), 1u);
    set_mode(s, find_mode(s, 1024, 768, 16, kCustomRate));
    sim::DisplayState d = s.display(0);
    EXPECT_EQ(d.pixel_pll, kCustomPll);
    EXPECT_NEAR(d.pixel_clock_hz / 1e6, 79.721, 0.001);
    EXPECT_NEAR(d.refresh_hz, 73.59, 0.01) << "the 60 Hz timing at the new clock";

    // Stored, the rate is back after a restart; without it the slot is empty.
    korvid_host::System& m = s.system();
    m.set_registry_binary(0, kCustomValue1024x768, rate);
    EXPECT_EQ(s.reboot(), NO_ERROR);
    EXPECT_EQ(listed_count(s), 235u + 11);
    set_mode(s, find_mode(s, 1024, 768, 8, kCustomRate));
    EXPECT_EQ(s.display(0).pixel_pll, kCustomPll);
    m.registry(0).erase(kCustomValue1024x768);
    EXPECT_EQ(s.reboot(), NO_ERROR);
    EXPECT_EQ(listed_count(s), 235u);
}

TEST_P(EndToEnd, CommitsACustomRefreshRate)
{
    play(commit_custom_refresh);
}

void try_refresh(Session& s)
{
    ASSERT_EQ(s.boot({board(0x11)}), NO_ERROR);
    set_mode(s, find_mode(s, 640, 480, 8, 60));
    const Bytes rate = words({70, 31'500'000, 0x0705});
    ASSERT_EQ(s.send(IOCTL_PRIV_SET_TEST_MODES, {1}).status, NO_ERROR);
    Reply r = s.send(IOCTL_PRIV_TRY_REFRESH, rate, 4);
    ASSERT_EQ(r.status, NO_ERROR);
    EXPECT_EQ(r.word(), 1u) << "the trial row heads the list";

    std::vector<VIDEO_MODE_INFORMATION> modes = list_modes(s);
    ASSERT_FALSE(modes.empty());
    EXPECT_EQ(modes[0].ModeIndex, 0u);
    EXPECT_EQ(modes[0].Frequency, 70u);
    EXPECT_EQ(s.send(IOCTL_PRIV_QUERY_REFRESH, words({70}), 4).word(), 0u)
        << "a trial rate is no rate of the mode";
    set_mode(s, 0);
    sim::DisplayState d = s.display(0);
    EXPECT_EQ(d.pixel_pll, 0x0705);
    EXPECT_NEAR(d.pixel_clock_hz / 1e6, 31.469, 0.001);
    // The mode set switched the test modes off again, and the other layouts.
    EXPECT_EQ(listed_count(s), 62u);
    EXPECT_EQ(s.send(IOCTL_PRIV_TRY_REFRESH, rate, 4, Buffers::Shared).word(), 0u)
        << "not listed without test modes";
    EXPECT_EQ(s.send(IOCTL_PRIV_TRY_REFRESH, Bytes(11), 4).status, ERROR_INSUFFICIENT_BUFFER);
}

TEST_P(EndToEnd, TriesARefreshRate)
{
    play(try_refresh);
}

std::string string_request(Session& s, ULONG code, size_t length = 64)
{
    Reply r = s.send(code, {}, length);
    EXPECT_EQ(r.status, NO_ERROR);
    EXPECT_EQ(r.information, r.text().size() + 1);
    return r.text();
}

void private_strings(Session& s)
{
    ASSERT_EQ(s.boot(boards({0x11, 0x02})), NO_ERROR);
    EXPECT_EQ(string_request(s, IOCTL_PRIV_GET_CHIP_NAME), "Orvanel(tm), Rev. 1");
    EXPECT_EQ(string_request(s, IOCTL_PRIV_GET_DAC_NAME), "IBM RGB 526");
    EXPECT_EQ(string_request(s, IOCTL_PRIV_GET_MEMORY_TYPE_NAME), "SGRAM");
    EXPECT_EQ(string_request(s, IOCTL_PRIV_GET_BUS_NAME), "PCI");
    EXPECT_EQ(string_request(s, IOCTL_PRIV_GET_BOARD_NAME), "Halcyra(tm) 3D");
    select_board(s, 1);
    EXPECT_EQ(string_request(s, IOCTL_PRIV_GET_MEMORY_TYPE_NAME), "WRAM");

    Reply cut = s.send(IOCTL_PRIV_GET_CHIP_NAME, {}, 4);
    EXPECT_EQ(cut.information, 4u);
    EXPECT_EQ(cut.output, (Bytes{'O', 'r', 'v', 0}));
    Reply none = s.send(IOCTL_PRIV_GET_BUS_NAME, {}, 0);
    EXPECT_EQ(none.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(none.information, 4u);
}

TEST_P(EndToEnd, AnswersIdentityStrings)
{
    play(private_strings);
}

void board_selection(Session& s)
{
    ASSERT_EQ(s.boot(boards({0x11, 0x13})), NO_ERROR);
    auto config = [&] { return s.send(IOCTL_PRIV_GET_BOARD_CONFIG, {}, 4).word(); };
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_NUM_BOARDS, {}, 4).word(), 2u);
    EXPECT_EQ(config(), 0x11u);
    // An index past the chain selects the last board.
    select_board(s, 5);
    EXPECT_EQ(config(), 0x13u);
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_MEMORY_SIZE_MB, {}, 4).word(), 20u);
    set_mode(s, find_mode(s, 1152, 864, 16, 85));
    EXPECT_TRUE(s.display(1).native) << "the mode went to the selected board";
    EXPECT_FALSE(s.display(0).native);
    select_board(s, 0);
    EXPECT_EQ(config(), 0x11u);
    EXPECT_EQ(s.send(IOCTL_PRIV_SELECT_BOARD, {1, 0, 0}).status, ERROR_INSUFFICIENT_BUFFER);
}

TEST_P(EndToEnd, SelectsTheBoardRequestsGoTo)
{
    play(board_selection);
}

uint32_t word_request(Session& s, ULONG code)
{
    Reply r = s.send(code, {}, 4);
    EXPECT_EQ(r.status, NO_ERROR);
    EXPECT_EQ(r.information, 4u);
    return r.word();
}

void private_words(Session& s)
{
    ASSERT_EQ(s.boot({board(0x11)}), NO_ERROR);
    EXPECT_EQ(word_request(s, IOCTL_PRIV_GET_BUS_TYPE), 5u);
    EXPECT_EQ(word_request(s, IOCTL_PRIV_GET_CONSTANT_128), 128u);
    EXPECT_EQ(word_request(s, IOCTL_PRIV_GET_CONSTANT_592), 592u);
    Reply small = s.send(IOCTL_PRIV_GET_CONSTANT_592, {}, 3);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 4u);

    // Found while every layout is listed.
    const ULONG both = find_mode(s, 640, 480, 16, 85, 640, 480);

    EXPECT_EQ(word_request(s, IOCTL_PRIV_GET_DRIVER_OPTION), 1u);
    EXPECT_EQ(s.send(IOCTL_PRIV_SET_DRIVER_OPTION, words({0xFE})).status, NO_ERROR);
    EXPECT_EQ(word_request(s, IOCTL_PRIV_GET_DRIVER_OPTION), 2u);
    EXPECT_EQ(word_request(s, IOCTL_PRIV_GET_ALL_VIRTUAL_MODES), 1u);
    EXPECT_EQ(s.send(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, {}).status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(s.send(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, {0}).status, NO_ERROR);
    EXPECT_EQ(word_request(s, IOCTL_PRIV_GET_ALL_VIRTUAL_MODES), 0u);
    EXPECT_EQ(s.send(IOCTL_PRIV_SET_VIRTUALS_FLAG, words({2})).status, NO_ERROR);
    EXPECT_EQ(s.send(IOCTL_PRIV_NOP, words({0})).status, NO_ERROR);
    EXPECT_EQ(s.send(IOCTL_PRIV_NOP, {0}).status, ERROR_INSUFFICIENT_BUFFER);

    // The delay is capped at 50 us.
    for (auto [asked, waited] : {std::pair<uint32_t, uint32_t>{0, 0}, {7, 7}, {1000, 50}}) {
        Reply r = s.send(IOCTL_PRIV_STALL, words({asked}));
        EXPECT_EQ(r.status, NO_ERROR);
        uint32_t us = 0;
        for (const sim::Event& e : r.events)
            us += e.op == sim::Op::Stall ? e.value : 0;
        EXPECT_EQ(us, waited) << asked;
    }

    // The memory clock chosen by index takes effect at the next mode set.
    EXPECT_EQ(s.send(IOCTL_PRIV_SET_MCLOCK_INDEX, words({90})).status, NO_ERROR);
    set_mode(s, find_mode(s, 640, 480, 16, 85));
    EXPECT_EQ(s.display(0).memory_pll, 0x0655);
    EXPECT_NEAR(s.display(0).memory_clock_hz / 1e6, 90.21, 0.01);
    EXPECT_EQ(word_request(s, IOCTL_PRIV_GET_TOTALS), (832u << 16) | 509u);

    // Extents of a row, and of the current mode.
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_EXTRA_HEIGHT, words({both}), 4).word(), 480u);
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_EXTRA_WIDTH, words({0xFFFFFFFF}), 4, Buffers::Shared).word(),
              0u);
    Reply past = s.send(IOCTL_PRIV_GET_EXTRA_WIDTH, words({468}), 4);
    EXPECT_EQ(past.status, ERROR_INVALID_PARAMETER) << "no row past the table is read";

    // The BIOS image is mapped once and kept.
    Reply rom = s.send(IOCTL_PRIV_MAP_BIOS_ROM, {}, 4);
    ASSERT_EQ(rom.status, NO_ERROR);
    EXPECT_EQ(rom.word(), reinterpret_cast<uintptr_t>(s.system().machine().rom().base()));
    const size_t mappings = s.system().mappings().size();
    EXPECT_EQ(s.send(IOCTL_PRIV_MAP_BIOS_ROM, {}, 4).word(), rom.word());
    EXPECT_EQ(s.system().mappings().size(), mappings);

    // A BIOS image that cannot be mapped is reported, not answered with null.
    s.power_on({board(0x11)}).faults().fail_rom_mapping = true;
    ASSERT_EQ(s.boot(), NO_ERROR);
    Reply none = s.send(IOCTL_PRIV_MAP_BIOS_ROM, {}, 4);
    EXPECT_EQ(none.status, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(none.information, 4u);
}

TEST_P(EndToEnd, AnswersAndStoresWords)
{
    play(private_words);
}

// Two boards in graphics modes, the second not VGA compatible.
void boot_two_in_graphics(Session& s)
{
    ASSERT_EQ(s.boot({board(0x11), board(0x13, false)}), NO_ERROR);
    set_mode(s, find_mode(s, 800, 600, 16, 75));
    set_mode(s, find_mode(s, 800, 600, 16, 75), 1);
    ASSERT_TRUE(s.display(0).native);
    ASSERT_TRUE(s.display(1).native);
}

void expect_vga(Session& s, int board, bool text)
{
    sim::DisplayState d = s.display(board);
    EXPECT_FALSE(d.native) << "board " << board;
    EXPECT_EQ(d.text_mode, text) << "board " << board;
    EXPECT_EQ(d.memory_pll, 0x0626) << "the memory clock the VGA BIOS expects";
    EXPECT_FALSE(d.cursor_on);
}

std::vector<uint32_t> bios_calls(const Reply& r)
{
    std::vector<uint32_t> eax;
    for (const sim::Event& e : r.events)
        if (e.op == sim::Op::Int10)
            eax.push_back(e.value);
    return eax;
}

void reset_to_vga(Session& s)
{
    boot_two_in_graphics(s);
    // The request resets the board it is for, and calls the BIOS for text
    // mode 3 only where there is a VGA.
    Reply first = s.send(IOCTL_VIDEO_RESET_DEVICE);
    EXPECT_EQ(first.status, NO_ERROR);
    EXPECT_EQ(bios_calls(first), std::vector<uint32_t>{3});
    expect_vga(s, 0, true);
    EXPECT_TRUE(s.display(1).native);
    Reply second = s.send(IOCTL_VIDEO_RESET_DEVICE, {}, 0, Buffers::Separate, 1);
    EXPECT_EQ(second.status, NO_ERROR);
    EXPECT_TRUE(bios_calls(second).empty());
    expect_vga(s, 1, false);

    // The reset callback returns every board of the chain, without the BIOS.
    boot_two_in_graphics(s);
    EXPECT_EQ(s.reset_hw(0), FALSE) << "the system then sets text mode itself";
    for (int b : {0, 1})
        expect_vga(s, b, false);
    EXPECT_TRUE(s.system().int10_calls().empty());

    // A failing BIOS call changes nothing for the request: the board has
    // already left its graphics mode.
    boot_two_in_graphics(s);
    s.system().faults().int10_status = ERROR_INVALID_FUNCTION;
    EXPECT_EQ(s.send(IOCTL_VIDEO_RESET_DEVICE).status, NO_ERROR);
    EXPECT_FALSE(s.display(0).native);
}

TEST_P(EndToEnd, ReturnsToVga)
{
    play(reset_to_vga);
}

} // namespace

} // namespace e2e
