// Several boards reached the way the family's display driver reaches them:
// device 0 opened, the other boards selected with the private request, on
// both drivers. Each board answers as it would with its own device opened,
// and only the system's VGA gets the BIOS.
#include "tests/support/drivers.h"
#include "tests/support/machines.h"

#include "hardware/decode.h"
#include "display/display_boards.h"
#include "display/miniport_client.h"

#include "miniport/private_ioctl.h"

#include <algorithm>
#include <deque>
#include <optional>

namespace {

using korvid_host::System;
using sim::MiniportClient;

class SelectedBoards : public OnEachDriver {
  protected:
    std::vector<sim::BoardSetup> setups(std::vector<uint32_t> codes, bool first_vga = true)
    {
        std::vector<sim::BoardSetup> s = testing_support::boards(codes);
        if (!s.empty())
            s[0].vga_compatible = first_vga;
        return s;
    }

    // The miniport on a machine whose display driver opens device 0 only.
    std::unique_ptr<System> boot(std::vector<uint32_t> codes, bool first_vga = true)
    {
        auto m = std::make_unique<System>(setups(codes, first_vga));
        m->set_device_opens(korvid_host::DeviceOpens::DisplayOnly);
        EXPECT_EQ(m->boot(driver), NO_ERROR);
        return m;
    }
};

std::vector<uint32_t> mode_indices(MiniportClient& c)
{
    std::vector<uint32_t> list;
    for (const sim::ModeEntry& e : c.list_modes())
        list.push_back(e.index());
    return list;
}

// What a board answers about its modes: the list, the current mode and its
// totals.
struct ModeAnswers {
    std::vector<uint32_t> list;
    std::optional<uint32_t> current, totals;
    bool operator==(const ModeAnswers&) const = default;
};

ModeAnswers mode_answers(MiniportClient& c)
{
    auto current = c.current_mode();
    return {mode_indices(c), current ? std::optional(current->index()) : std::nullopt,
            c.query_word(IOCTL_PRIV_GET_TOTALS)};
}

// Where in the trace each board was first initialised: its first access past
// the command register that discovery writes.
std::vector<size_t> first_initialisation(const System& m, size_t boards)
{
    std::vector<size_t> first(boards, SIZE_MAX);
    const auto& events = m.machine().trace.events();
    for (size_t i = 0; i < events.size(); ++i) {
        const sim::Event& e = events[i];
        if (e.board >= 0 && e.aperture != sim::Aperture::PciConfig)
            first[size_t(e.board)] = std::min(first[size_t(e.board)], i);
    }
    return first;
}

// Every board is brought up at the first open, in discovery order, whether or
// not its device is opened; from then on a request to one board, or a later
// open of its device, changes nothing another board answers.
TEST_P(SelectedBoards, EveryBoardIsSettledBeforeTheFirstRequest)
{
    for (std::vector<uint32_t> codes :
         {std::vector<uint32_t>{0x13, 0x00}, std::vector<uint32_t>{0x11, 0x04, 0x13}}) {
        auto m = boot(codes);
        std::vector<size_t> first = first_initialisation(*m, codes.size());
        EXPECT_TRUE(std::is_sorted(first.begin(), first.end()));
        EXPECT_NE(first.back(), SIZE_MAX) << "the last board is initialised too";

        std::deque<MiniportClient> clients;
        std::vector<ModeAnswers> answers;
        for (size_t b = 0; b < codes.size(); ++b) {
            clients.emplace_back(*m, int(b));
            EXPECT_EQ(clients[b].query_word(IOCTL_PRIV_GET_MEMORY_SIZE_MB),
                      sim::memory_size_for_code(codes[b]) >> 20);
            EXPECT_EQ(clients[b].query_string(IOCTL_PRIV_GET_MEMORY_TYPE_NAME),
                      sim::is_sgram_code(codes[b]) ? "SGRAM" : "WRAM");
            answers.push_back(mode_answers(clients[b]));
        }
        for (size_t b = 0; b < codes.size(); ++b) {
            ASSERT_FALSE(answers[b].list.empty());
            const uint32_t row = answers[b].list.back();
            ASSERT_EQ(clients[b].set_mode(row), NO_ERROR) << "board " << b;
            ASSERT_TRUE(m->open(int(b)));
            answers[b] = mode_answers(clients[b]);
            EXPECT_EQ(answers[b].current, row);
            for (size_t other = 0; other < codes.size(); ++other)
                EXPECT_EQ(mode_answers(clients[other]), answers[other])
                    << "board " << other << " after board " << b << "'s requests";
            EXPECT_EQ(clients[0].set_mode(answers[0].current.value_or(0)), NO_ERROR);
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
            EXPECT_EQ(sim::decode_display(m->machine().board(int(b))).h_active, 1024u)
                << "board " << b;
    }
}

// The BIOS belongs to the first VGA-compatible board: only that board's
// return to VGA calls it. Every board is given its image at 0xC0000 to read.
TEST_P(SelectedBoards, OnlyTheSystemsVgaUsesTheBios)
{
    for (bool first_vga : {true, false}) {
        auto m = boot({0x11, 0x04}, first_vga);
        const int vga = first_vga ? 0 : 1;
        MiniportClient primary(*m, vga), secondary(*m, 1 - vga);
        std::string why;
        ASSERT_TRUE(primary.set_mode(sim::WantedMode{640, 480, 8}, &why)) << why;
        ASSERT_TRUE(secondary.set_mode(sim::WantedMode{640, 480, 8}, &why)) << why;
        const size_t bios_calls = m->int10_calls().size();
        EXPECT_EQ(secondary.reset_device(), NO_ERROR);
        EXPECT_EQ(m->int10_calls().size(), bios_calls);
        EXPECT_FALSE(m->machine().board(vga).text_mode()) << "the system's VGA keeps its mode";

        EXPECT_EQ(primary.reset_device(), NO_ERROR);
        EXPECT_EQ(m->int10_calls().size(), bios_calls + 1);
        EXPECT_TRUE(m->machine().board(vga).text_mode());
        for (MiniportClient* c : {&secondary, &primary}) {
            uint32_t rom = c->query_word(IOCTL_PRIV_MAP_BIOS_ROM).value_or(0);
            ASSERT_NE(rom, 0u);
            EXPECT_EQ(reinterpret_cast<const uint8_t*>(uintptr_t(rom))[0], 0x55);
        }
    }
}

// What the return to VGA sets on a board: the memory layout, the memory
// clock and the DAC registers it writes.
std::vector<uint32_t> vga_registers(sim::Board& b)
{
    sim::DisplayState s = sim::decode_display(b);
    std::vector<uint32_t> regs{s.native, s.memory_pll};
    for (uint16_t r :
         {sim::dac_reg::Misc1, sim::dac_reg::Misc2, sim::dac_reg::Misc3, sim::dac_reg::Misc4,
          sim::dac_reg::MiscClock, sim::dac_reg::SyncControl, sim::dac_reg::HSyncPosition,
          sim::dac_reg::Power, sim::dac_reg::Operation, sim::dac_reg::PaletteControl,
          sim::dac_reg::SystemClockControl, sim::dac_reg::PllControl1, sim::dac_reg::CursorControl})
        regs.push_back(b.dac().reg(r));
    return regs;
}

// The system may stop in the middle of a request: the display reset then
// comes while the mode set runs, and must still leave every board in VGA.
TEST_P(SelectedBoards, AStopAtAnyCallOfAModeSetLeavesEveryBoardInVga)
{
    auto m = boot({0x10, 0x00});
    MiniportClient first(*m, 0), second(*m, 1);
    std::string why;
    auto a = second.find_mode(sim::WantedMode{640, 480, 8}, &why);
    auto b = second.find_mode(sim::WantedMode{800, 600, 16}, &why);
    ASSERT_TRUE(a && b) << why;
    ASSERT_TRUE(first.set_mode(sim::WantedMode{640, 480, 8}, &why)) << why;
    ASSERT_EQ(second.set_mode(b->index()), NO_ERROR);
    EXPECT_EQ(m->reset_display(), FALSE);
    const std::vector<uint32_t> vga[] = {vga_registers(m->machine().board(0)),
                                         vga_registers(m->machine().board(1))};
    auto shown = first.set_mode(sim::WantedMode{640, 480, 8}, &why);
    ASSERT_TRUE(shown) << why;

    // Each time from b to a, stopped one call further in, with the other
    // board showing its mode.
    ASSERT_EQ(second.set_mode(b->index()), NO_ERROR);
    m->machine().trace.clear();
    ASSERT_EQ(second.set_mode(a->index()), NO_ERROR);
    const size_t calls = m->machine().trace.events().size();
    ASSERT_GT(calls, 100u);
    for (size_t call = 0; call < calls; ++call) {
        ASSERT_EQ(first.set_mode(shown->index()), NO_ERROR);
        ASSERT_EQ(second.set_mode(b->index()), NO_ERROR);
        bool stopped = false;
        m->stop_at_call(call, [&] {
            stopped = true;
            EXPECT_EQ(m->reset_display(), FALSE);
            for (int board : {0, 1})
                EXPECT_EQ(vga_registers(m->machine().board(board)), vga[board])
                    << "board " << board << ", stopped at call " << call;
        });
        ASSERT_EQ(second.set_mode(a->index()), NO_ERROR);
        ASSERT_TRUE(stopped) << call;
    }
}

std::string driver_name(const ::testing::TestParamInfo<DriverFactory>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Drivers, SelectedBoards, ::testing::ValuesIn(all_drivers()), driver_name);

} // namespace
