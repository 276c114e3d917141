// The desktop page on the whole system: the applet, the display driver on
// the miniport, and two simulated boards. A layout chosen on the page ends
// as a mode set on the boards and as values the miniport reads at its next
// start.
#include "tests/applet/desktop_fixture.h"

#include "miniport/registry.h"
#include "hardware/decode.h"
#include "display/display_boards.h"
#include "loader/host_driver.h"

#include <optional>

namespace {

using sim::DisplayMode;
using sim::Layout;

constexpr uint32_t kBpp = 16;

struct Desktop {
    uint32_t layout;
    uint32_t width, height;
};

class DesktopSystem : public DesktopTest {
  protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        system_.emplace(std::vector<sim::BoardSetup>(board_total()));
        system().set_device_opens(korvid_host::DeviceOpens::DisplayOnly);
        ASSERT_EQ(system().boot(sim::host_miniport()), 0u);
        ASSERT_EQ(system().device_count(), board_total());
        driver.board_count = static_cast<uint32_t>(board_total());
        boards.emplace(system());
        win32_host::bind_key(HKEY_LOCAL_MACHINE, kLayoutKey, system().registry(0));
    }

    // The display driver starts in the layout a previous Apply stored.
    void start(const Desktop& d)
    {
        system().set_registry_dword(0, u"DoubleWide", d.layout == LAYOUT_DOUBLE_WIDE);
        system().set_registry_dword(0, u"TwoTall", d.layout == LAYOUT_TWO_TALL);
        system().set_registry_dword(0, u"MultiBoardFlag",
                                    d.layout == LAYOUT_MULTI_BOARD ? MULTI_BOARD_ON
                                                                   : MULTI_BOARD_OFF);
        ASSERT_TRUE(boards->start(driver, {d.width, d.height, kBpp, 0}));
        ASSERT_EQ(driver.layout, d.layout);
    }

    // The mode the board shows, as its registers say and as the miniport
    // reports it.
    void expect_board_at(int board, Layout layout)
    {
        auto mode = boards->client(board).current_mode();
        ASSERT_TRUE(mode);
        EXPECT_EQ(mode->width(), 1024u) << "board " << board;
        EXPECT_EQ(mode->height(), 768u) << "board " << board;
        EXPECT_EQ(mode->bpp(), kBpp) << "board " << board;
        EXPECT_EQ(mode->layout(), layout) << "board " << board;
        uint32_t wide = layout == Layout::Wide ? 2 : 1;
        sim::DisplayState shown = sim::decode_display(system().machine().board(board));
        EXPECT_EQ(shown.h_active, 1024u) << "board " << board;
        EXPECT_EQ(shown.v_active, 768u) << "board " << board;
        EXPECT_EQ(shown.pitch, wide * 1024 * kBpp / 8) << "board " << board;
    }

    virtual size_t board_total() const { return 2; }
    korvid_host::System& system() { return *system_; }

    std::optional<korvid_host::System> system_;
    std::optional<sim::DisplayBoards> boards;
};

// Every board reads its own key at its start, and the virtuals flag is one
// for all boards: the first board alone shows what it read.
class OneBoardSystem : public DesktopSystem {
  protected:
    size_t board_total() const override { return 1; }
};

struct Transition {
    const char* name;
    Desktop from;
    int control;
    bool intermediate;
    Desktop to;
};

class Transitions : public DesktopSystem, public ::testing::WithParamInterface<Transition> {};

const Desktop kNormal{LAYOUT_NORMAL, 1024, 768};
const Desktop kDoubleWide{LAYOUT_DOUBLE_WIDE, 2048, 768};
const Desktop kTwoTall{LAYOUT_TWO_TALL, 1024, 1536};
const Desktop kMultiBoard{LAYOUT_MULTI_BOARD, 2048, 768};

const Transition kTransitions[] = {
    {"NormalToDoubleWide", kNormal, IDC_DOUBLE_WIDE, true, kDoubleWide},
    {"NormalToTwoTall", kNormal, IDC_TWO_TALL, false, kTwoTall},
    {"NormalToMultiBoard", kNormal, IDC_MULTI_BOARD, false, kMultiBoard},
    {"DoubleWideToNormal", kDoubleWide, IDC_NORMAL_MODE, false, kNormal},
    {"DoubleWideToTwoTall", kDoubleWide, IDC_TWO_TALL, false, kTwoTall},
    {"DoubleWideToMultiBoard", kDoubleWide, IDC_MULTI_BOARD, true, kMultiBoard},
    {"TwoTallToNormal", kTwoTall, IDC_NORMAL_MODE, false, kNormal},
    {"TwoTallToDoubleWide", kTwoTall, IDC_DOUBLE_WIDE, true, kDoubleWide},
    {"TwoTallToMultiBoard", kTwoTall, IDC_MULTI_BOARD, false, kMultiBoard},
    {"MultiBoardToNormal", kMultiBoard, IDC_NORMAL_MODE, false, kNormal},
    {"MultiBoardToDoubleWide", kMultiBoard, IDC_DOUBLE_WIDE, true, kDoubleWide},
    {"MultiBoardToTwoTall", kMultiBoard, IDC_TWO_TALL, false, kTwoTall},
};

TEST_P(Transitions, EndAsAModeSetOnTheBoards)
{
    const Transition& t = GetParam();
    start(t.from);
    std::vector<std::string> want;
    if (t.intermediate)
        want = {layout_escape(LAYOUT_NORMAL), mode_change(1024, 768, kUpdate)};
    want.push_back(layout_escape(static_cast<int>(t.to.layout)));
    want.push_back(mode_change(t.to.width, t.to.height, kTest));
    auto writes = layout_writes(t.to.layout == LAYOUT_DOUBLE_WIDE, t.to.layout == LAYOUT_TWO_TALL,
                                t.to.layout == LAYOUT_MULTI_BOARD ? 3 : 4);
    want.insert(want.end(), writes.begin(), writes.end());
    want.push_back(mode_change(t.to.width, t.to.height, kUpdate));

    EXPECT_EQ(choose_and_apply(t.control), want);
    EXPECT_TRUE(win32_host::message_boxes().empty());

    EXPECT_EQ(driver.layout, t.to.layout);
    EXPECT_EQ(driver.current.width, t.to.width);
    EXPECT_EQ(driver.current.height, t.to.height);
    EXPECT_EQ(driver.current.bits_per_pixel, kBpp);
    EXPECT_EQ(current_layout.width, t.to.width);
    EXPECT_EQ(current_layout.height, t.to.height);
    // The display driver told the miniport (which has no flag for Multi Board).
    EXPECT_EQ(gVirtualsFlag, t.to.layout == LAYOUT_MULTI_BOARD ? 0u : t.to.layout);
    switch (t.to.layout) {
    case LAYOUT_DOUBLE_WIDE:
        expect_board_at(0, Layout::Wide);
        break;
    case LAYOUT_TWO_TALL:
        expect_board_at(0, Layout::Tall);
        break;
    case LAYOUT_MULTI_BOARD:
        expect_board_at(0, Layout::Single);
        expect_board_at(1, Layout::Single);
        break;
    default:
        expect_board_at(0, Layout::Single);
    }
}

INSTANTIATE_TEST_SUITE_P(TwoBoardsAt1024x768, Transitions, ::testing::ValuesIn(kTransitions),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OneBoardSystem, TheMiniportStartsInTheStoredLayout)
{
    start(kNormal);
    choose_and_apply(IDC_DOUBLE_WIDE);
    EXPECT_EQ(stored("DoubleWide"), 1u);
    EXPECT_EQ(stored("TwoTall"), 0u);
    EXPECT_EQ(stored("MultiBoardFlag"), 4u);

    gVirtualsFlag = VIRTUALS_NONE;
    ASSERT_EQ(system().reboot(), 0u);
    EXPECT_EQ(gVirtualsFlag, VIRTUALS_DOUBLE_WIDE);

    // The display driver comes back in the layout, and so does the page.
    sim::DisplayBoards after(system());
    sim::DisplayDriver restarted;
    restarted.family = 3;
    win32_host::set_display_device(&restarted);
    ASSERT_TRUE(after.start(restarted, {2048, 768, kBpp, 0}));
    on_page(
        [](win32_host::Sheet&, HWND page) { EXPECT_EQ(checked_layout(page), IDC_DOUBLE_WIDE); });
    EXPECT_EQ(current_layout.width, 2048u);
    win32_host::set_display_device(&driver);
}

TEST_F(DesktopSystem, ASizeTheBoardsDoNotOfferIsCaughtByTheTestAndUndone)
{
    // 1600 x 1200 at 16 bpp fills most of a board's memory: no room for a
    // second screen beside it.
    ASSERT_TRUE(boards->start(driver, {1600, 1200, kBpp, 0}));
    uint32_t rate = driver.current.frequency;
    std::vector<std::string> want = {
        layout_escape(LAYOUT_NORMAL),
        mode_change(1600, 1200, kUpdate),
        layout_escape(LAYOUT_DOUBLE_WIDE),
        mode_change(3200, 1200, kTest),
    };
    auto restore = layout_writes(0, 0, 4);
    want.insert(want.end(), restore.begin(), restore.end());
    want.push_back(layout_escape(LAYOUT_NORMAL));
    want.push_back(mode_change(1600, 1200, kUpdate));
    want.push_back(error_box("Could not test change into the requested mode"));
    EXPECT_EQ(choose_and_apply(IDC_DOUBLE_WIDE), want);

    EXPECT_EQ(driver.layout, LAYOUT_NORMAL);
    EXPECT_EQ(driver.current, (DisplayMode{1600, 1200, kBpp, rate}));
    auto mode = boards->client(0).current_mode();
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->width(), 1600u);
    EXPECT_EQ(mode->layout(), Layout::Single);
    EXPECT_EQ(stored("DoubleWide"), 0u);
}

} // namespace
