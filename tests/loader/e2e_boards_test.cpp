// Several boards reached the way the family's display driver reaches them:
// device 0 opened, the other boards selected with the private request, on
// both drivers. Each board answers as it would with its own device opened,
// and only the system's VGA gets the BIOS.
#include "drivers.h"

#include "sim/machine/decode.h"
#include "sim/display/display_boards.h"
#include "sim/display/miniport_client.h"

#include "private_ioctl.h"

#include <algorithm>

namespace {

using korvid_host::System;
using sim::MiniportClient;

class SelectedBoards : public ::testing::TestWithParam<DriverFactory> {
  protected:
    void SetUp() override
    {
        std::string why;
        auto made = GetParam().make(&why);
        if (!made)
            GTEST_SKIP() << why;
        driver = *made;
    }

    std::vector<sim::BoardSetup> setups(std::vector<uint32_t> codes, bool first_vga = true)
    {
        std::vector<sim::BoardSetup> s;
        for (uint32_t code : codes) {
            sim::BoardSetup b;
            b.config_code = code;
            b.vga_compatible = s.empty() ? first_vga : true;
            s.push_back(b);
        }
        return s;
    }

    // The miniport on a machine whose display driver opens device 0 only.
    std::unique_ptr<System> boot(std::vector<uint32_t> codes, bool first_vga = true)
    {
        auto m = std::make_unique<System>(setups(codes, first_vga));
        m->opens = korvid_host::DeviceOpens::DisplayOnly;
        EXPECT_EQ(m->boot(driver), NO_ERROR);
        return m;
    }

    korvid_host::DriverImage driver;
};

size_t writes_to(const System& m, int board)
{
    return std::count_if(
        m.trace.events().begin(), m.trace.events().end(),
        [&](const sim::Event& e) { return e.board == board && e.op == sim::Op::Write; });
}

std::vector<uint32_t> mode_indices(MiniportClient& c)
{
    std::vector<uint32_t> list;
    for (const sim::ModeEntry& e : c.list_modes())
        list.push_back(e.index());
    return list;
}

TEST_P(SelectedBoards, EachBoardIsInitialisedBeforeItsFirstRequest)
{
    for (std::vector<uint32_t> codes :
         {std::vector<uint32_t>{0x01, 0x11}, std::vector<uint32_t>{0x11, 0x04, 0x13}}) {
        auto m = boot(codes);
        for (size_t b = 1; b < codes.size(); ++b)
            EXPECT_EQ(writes_to(*m, int(b)), 1u) << "board " << b << ": only its command register";
        // The reset reaches the chain; a board never initialised is left alone.
        m->trace.clear();
        EXPECT_EQ(m->reset_hw(0), FALSE);
        for (size_t b = 1; b < codes.size(); ++b)
            EXPECT_EQ(writes_to(*m, int(b)), 0u) << "board " << b;

        for (size_t b = 0; b < codes.size(); ++b) {
            MiniportClient c(*m, int(b));
            EXPECT_EQ(c.query_word(IOCTL_PRIV_GET_MEMORY_SIZE_MB),
                      sim::memory_size_for_code(codes[b]) >> 20)
                << "board " << b;
            EXPECT_EQ(c.query_string(IOCTL_PRIV_GET_MEMORY_TYPE_NAME),
                      sim::is_sgram_code(codes[b]) ? "SGRAM" : "WRAM");
            // The same list as the board alone in a machine.
            System alone(setups({codes[b]}));
            ASSERT_EQ(alone.boot(driver), NO_ERROR);
            MiniportClient own(alone, 0);
            EXPECT_EQ(mode_indices(c), mode_indices(own)) << "board " << b;
            std::string why;
            ASSERT_TRUE(c.set_mode(sim::WantedMode{1024, 768, 16}, &why)) << why;
            sim::DisplayState shown = sim::decode_display(m->board(int(b)));
            EXPECT_EQ(shown.h_active, 1024u);
            EXPECT_EQ(shown.v_active, 768u);
            // Its own device, opened after the requests brought the board
            // up, finds it initialised and leaves its mode alone.
            ASSERT_TRUE(m->open(int(b))) << "board " << b;
            EXPECT_EQ(sim::decode_display(m->board(int(b))).h_active, 1024u);
        }
    }
}

TEST_P(SelectedBoards, MultiBoardDesktopSpansEveryBoard)
{
    // The last: an AGP board (behind the AGP bridge) given first, found second.
    for (std::vector<uint32_t> codes :
         {std::vector<uint32_t>{0x11, 0x11}, std::vector<uint32_t>{0x11, 0x11, 0x11},
          std::vector<uint32_t>{0x19, 0x11}}) {
        const size_t n = codes.size();
        auto m = boot(codes);
        sim::DisplayBoards boards(*m);
        ASSERT_EQ(boards.boards(), n);
        ASSERT_TRUE(boards.set_layout(LAYOUT_MULTI_BOARD));
        auto modes = boards.desktop_modes(LAYOUT_MULTI_BOARD);
        auto wide = std::find_if(modes.begin(), modes.end(), [&](const sim::DisplayMode& d) {
            return d.width == 1024 * n && d.height == 768 && d.bits_per_pixel == 16;
        });
        ASSERT_NE(wide, modes.end());
        ASSERT_TRUE(boards.set_desktop(*wide, LAYOUT_MULTI_BOARD));
        for (size_t b = 0; b < n; ++b)
            EXPECT_EQ(sim::decode_display(m->board(int(b))).h_active, 1024u) << "board " << b;
    }
}

// The BIOS belongs to the first VGA-compatible board: only that board's
// return to VGA calls it, and only that board is given the image at 0xC0000.
TEST_P(SelectedBoards, OnlyTheSystemsVgaUsesTheBios)
{
    for (bool first_vga : {true, false}) {
        auto m = boot({0x11, 0x04}, first_vga);
        const int vga = first_vga ? 0 : 1;
        MiniportClient primary(*m, vga), secondary(*m, 1 - vga);
        std::string why;
        ASSERT_TRUE(primary.set_mode(sim::WantedMode{640, 480, 8}, &why)) << why;
        ASSERT_TRUE(secondary.set_mode(sim::WantedMode{640, 480, 8}, &why)) << why;
        m->int10_calls.clear();
        EXPECT_EQ(secondary.reset_device(), NO_ERROR);
        EXPECT_TRUE(m->int10_calls.empty());
        EXPECT_FALSE(m->board(vga).text_mode()) << "the system's VGA keeps its mode";
        EXPECT_EQ(secondary.query_word(IOCTL_PRIV_MAP_BIOS_ROM), 0u) << "no BIOS of its own there";

        EXPECT_EQ(primary.reset_device(), NO_ERROR);
        EXPECT_EQ(m->int10_calls.size(), 1u);
        EXPECT_TRUE(m->board(vga).text_mode());
        uint32_t rom = primary.query_word(IOCTL_PRIV_MAP_BIOS_ROM).value_or(0);
        ASSERT_NE(rom, 0u);
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(uintptr_t(rom))[0], 0x55);
    }
}

std::string driver_name(const ::testing::TestParamInfo<DriverFactory>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Drivers, SelectedBoards, ::testing::ValuesIn(all_drivers()), driver_name);

} // namespace
