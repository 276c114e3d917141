// The desktop page against the display-driver model: what its start reads
// and shows, what a click changes, and how Apply fails and undoes itself.
#include "tests/applet/desktop_fixture.h"

#include <utility>

using win32_host::Sheet;

namespace {

constexpr uint32_t kBpp = 16, kRate = 75;

class DesktopPage : public DesktopTest {
  protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        win32_host::create_key(HKEY_LOCAL_MACHINE, kLayoutKey);
    }

    void in_force(uint32_t layout, uint32_t width, uint32_t height)
    {
        driver.layout = layout;
        driver.current = driver.registry_mode = {width, height, kBpp, kRate};
    }

    // The restore back to Normal Mode at 1024 x 768, then the error box.
    static std::vector<std::string> restored_then(const std::string& error)
    {
        std::vector<std::string> steps = layout_writes(0, 0, 4);
        steps.push_back(layout_escape(LAYOUT_NORMAL));
        steps.push_back(mode_change(1024, 768, kUpdate));
        steps.push_back(error_box(error));
        return steps;
    }

    void expect_back_in_normal_mode()
    {
        // The page does not check the restore's mode change: the mode is
        // offered only when the list was read again after the layout escape.
        ASSERT_FALSE(driver.mode_changes.empty());
        EXPECT_NE(driver.mode_changes.back().result, sim::kDispChangeBadMode);
        EXPECT_EQ(driver.layout, LAYOUT_NORMAL);
        EXPECT_EQ(driver.current, (sim::DisplayMode{1024, 768, kBpp, kRate}));
        EXPECT_EQ(current_layout.flags.double_wide, 0u);
        EXPECT_EQ(current_layout.flags.two_tall, 0u);
        EXPECT_EQ(current_layout.width, 1024u);
    }
};

TEST_F(DesktopPage, StartShowsTheLayoutInForce)
{
    struct Case {
        uint32_t layout, width, height;
        int checked;
    } cases[] = {
        {LAYOUT_NORMAL, 1024, 768, IDC_NORMAL_MODE},
        {LAYOUT_DOUBLE_WIDE, 2048, 768, IDC_DOUBLE_WIDE},
        {LAYOUT_TWO_TALL, 1024, 1536, IDC_TWO_TALL},
        {LAYOUT_MULTI_BOARD, 2048, 768, IDC_MULTI_BOARD},
    };
    for (const Case& c : cases) {
        in_force(c.layout, c.width, c.height);
        // The mode in force is read, not the one stored for the next start.
        driver.registry_mode = {640, 480, 8, 60};
        driver.escapes.clear();
        on_page([&](Sheet&, HWND page) {
            EXPECT_EQ(checked_layout(page), c.checked) << c.layout;
            EXPECT_TRUE(win32_host::enabled(page, IDC_MULTI_BOARD));
        });
        EXPECT_EQ(current_layout.flags.double_wide, c.layout == LAYOUT_DOUBLE_WIDE);
        EXPECT_EQ(current_layout.flags.two_tall, c.layout == LAYOUT_TWO_TALL);
        EXPECT_EQ(current_layout.flags.multi_board,
                  c.layout == LAYOUT_MULTI_BOARD ? MULTI_BOARD_ON : MULTI_BOARD_OFF);
        EXPECT_EQ(current_layout.width, c.width);
        EXPECT_EQ(current_layout.height, c.height);
    }
    // The page's questions, each with the filler as input.
    std::vector<uint32_t> codes;
    for (auto& e : driver.escapes) {
        if (e.code != ESC_GET_VIRTUAL_LAYOUT && e.code != ESC_GET_BOARD_COUNT &&
            e.code != ESC_GET_MULTI_BOARD)
            continue;
        codes.push_back(e.code);
        EXPECT_EQ(e.input, ESC_FILLER);
        EXPECT_EQ(e.out_size, e.code == ESC_GET_VIRTUAL_LAYOUT ? 8u : 4u);
    }
    EXPECT_EQ(codes, (std::vector<uint32_t>{ESC_GET_VIRTUAL_LAYOUT, ESC_GET_BOARD_COUNT,
                                            ESC_GET_MULTI_BOARD}));
    EXPECT_TRUE(win32_host::message_boxes().empty());
    EXPECT_EQ(win32_host::open_key_handles(), 0);
}

TEST_F(DesktopPage, MultiBoardIsHiddenOrGreyedWhereItCannotBeHad)
{
    // Family 2 has no multi-board layout and is not asked about boards.
    driver.family = 2;
    win32_host::create_key(HKEY_LOCAL_MACHINE,
                           "SYSTEM\\CurrentControlSet\\Services\\zorxv2\\Device0");
    on_page([](Sheet&, HWND page) {
        EXPECT_FALSE(win32_host::visible(page, IDC_MULTI_GROUP));
        EXPECT_FALSE(win32_host::visible(page, IDC_MULTI_BOARD));
        EXPECT_EQ(checked_layout(page), IDC_NORMAL_MODE);
    });
    for (uint32_t code : escape_codes())
        EXPECT_TRUE(code != ESC_GET_MULTI_BOARD && code != ESC_GET_BOARD_COUNT) << code;

    // Families 3 and 4 with one board, or a board count the driver cannot
    // give, grey it.
    for (uint32_t family : {3u, 4u}) {
        driver.family = family;
        win32_host::create_key(HKEY_LOCAL_MACHINE, family == 3 ? kLayoutKey
                                                               : "SYSTEM\\CurrentControlSet\\"
                                                                 "Services\\halcyra4\\Device0");
        for (bool count_fails : {false, true}) {
            driver.board_count = 1;
            driver.clear_faults();
            if (count_fails) {
                driver.board_count = 2;
                driver.set_fault(ESC_GET_BOARD_COUNT, sim::EscapeFault::Fail);
            }
            driver.escapes.clear();
            on_page([&](Sheet& sheet, HWND page) {
                EXPECT_TRUE(win32_host::visible(page, IDC_MULTI_BOARD));
                EXPECT_FALSE(win32_host::enabled(page, IDC_MULTI_GROUP)) << family;
                EXPECT_FALSE(win32_host::enabled(page, IDC_MULTI_BOARD)) << family;
                EXPECT_FALSE(sheet.click(IDC_MULTI_BOARD));
            });
            if (count_fails) {
                for (uint32_t code : escape_codes())
                    EXPECT_NE(code, static_cast<uint32_t>(ESC_GET_MULTI_BOARD));
            }
        }
    }
}

TEST_F(DesktopPage, WithoutAnAnswerTheStoredLayoutIsTaken)
{
    driver.set_fault(ESC_GET_VIRTUAL_LAYOUT, sim::EscapeFault::Fail);
    struct Case {
        int wide, tall; // -1: not stored
        int checked;
    } cases[] = {
        {1, 0, IDC_DOUBLE_WIDE}, {0, 1, IDC_TWO_TALL},      {1, 1, IDC_DOUBLE_WIDE},
        {2, 0, IDC_NORMAL_MODE}, {-1, -1, IDC_NORMAL_MODE},
    };
    for (const Case& c : cases) {
        win32_host::delete_key(HKEY_LOCAL_MACHINE, kLayoutKey);
        win32_host::create_key(HKEY_LOCAL_MACHINE, kLayoutKey);
        if (c.wide >= 0) {
            win32_host::set_dword(HKEY_LOCAL_MACHINE, kLayoutKey, "DoubleWide", c.wide);
            win32_host::set_dword(HKEY_LOCAL_MACHINE, kLayoutKey, "TwoTall", c.tall);
        }
        on_page([&](Sheet&, HWND page) { EXPECT_EQ(checked_layout(page), c.checked); });
    }
    // The driver's answer wins over the key, also one it did not write.
    for (auto fault : {sim::EscapeFault::None, sim::EscapeFault::SilentSuccess}) {
        driver.set_fault(ESC_GET_VIRTUAL_LAYOUT, fault);
        win32_host::set_dword(HKEY_LOCAL_MACHINE, kLayoutKey, "DoubleWide", 1);
        on_page([&](Sheet&, HWND page) { EXPECT_EQ(checked_layout(page), IDC_NORMAL_MODE); });
    }
}

TEST_F(DesktopPage, AStartThatCannotReadTheModeKeepsTheLayoutInForceUnknown)
{
    in_force(LAYOUT_DOUBLE_WIDE, 2048, 768);
    driver.fail_current_mode = true;
    on_page([](Sheet&, HWND page) { EXPECT_EQ(checked_layout(page), IDC_DOUBLE_WIDE); });
    EXPECT_EQ(current_layout.flags.double_wide, 0u);
    EXPECT_EQ(current_layout.width, 0u);
}

TEST_F(DesktopPage, ABoardCountOfZeroCountsAsOne)
{
    driver.board_count = 0;
    in_force(LAYOUT_MULTI_BOARD, 1024, 768);
    driver.board_modes = {{1024, 768, kBpp, kRate}};
    std::vector<std::string> want = {layout_escape(LAYOUT_NORMAL), mode_change(1024, 768, kTest)};
    auto writes = layout_writes(0, 0, 4);
    want.insert(want.end(), writes.begin(), writes.end());
    want.push_back(mode_change(1024, 768, kUpdate));
    EXPECT_EQ(choose_and_apply(IDC_NORMAL_MODE), want);
}

TEST_F(DesktopPage, ApplyDoesNothingWhenTheLayoutIsUnchanged)
{
    in_force(LAYOUT_NORMAL, 1024, 768);
    on_page([](Sheet& sheet, HWND) {
        EXPECT_FALSE(sheet.apply_enabled());
        sheet.click(IDC_NORMAL_MODE);
        EXPECT_FALSE(sheet.apply_enabled()) << "no change";
        sheet.click(IDC_DOUBLE_WIDE);
        EXPECT_TRUE(sheet.apply_enabled());
        sheet.click(IDC_TWO_TALL);
        sheet.click(IDC_NORMAL_MODE);
        size_t from = win32_host::calls().size();
        ASSERT_TRUE(sheet.apply());
        EXPECT_TRUE(apply_steps(from).empty());
    });

    // After a successful Apply, OK sends another one that finds nothing to do.
    on_page([](Sheet& sheet, HWND) {
        sheet.click(IDC_TWO_TALL);
        ASSERT_TRUE(sheet.apply());
        size_t from = win32_host::calls().size();
        sheet.ok();
        EXPECT_TRUE(apply_steps(from).empty());
    });
    EXPECT_EQ(driver.current.height, 1536u);
    EXPECT_TRUE(win32_host::message_boxes().empty());
    EXPECT_EQ(win32_host::open_key_handles(), 0);
}

TEST_F(DesktopPage, AFailedFinalStepIsUndoneAndReported)
{
    struct Case {
        const char* name;
        std::function<void(sim::DisplayDriver&)> fault;
        int control;
        std::vector<std::string> before_restore;
        const char* error;
    } cases[] = {
        {"layout escape",
         [](auto& d) { d.refused_layouts = {LAYOUT_TWO_TALL}; },
         IDC_TWO_TALL,
         {layout_escape(LAYOUT_TWO_TALL)},
         "Escape to driver could not be executed"},
        {"test towards Multi Board",
         [](auto& d) { d.test_fault = sim::kDispChangeBadMode; },
         IDC_MULTI_BOARD,
         {layout_escape(LAYOUT_MULTI_BOARD), mode_change(2048, 768, kTest)},
         "Could not change into the requested multi mode, change resolutions and try again"},
        {"test towards Two Tall",
         [](auto& d) { d.test_fault = sim::kDispChangeFailed; },
         IDC_TWO_TALL,
         {layout_escape(LAYOUT_TWO_TALL), mode_change(1024, 1536, kTest)},
         "Could not test change into the requested mode"},
        {"mode change",
         [](auto& d) { d.change_fault = sim::kDispChangeFailed; },
         IDC_TWO_TALL,
         {layout_escape(LAYOUT_TWO_TALL), mode_change(1024, 1536, kTest), layout_writes(0, 1, 4)[0],
          layout_writes(0, 1, 4)[1], layout_writes(0, 1, 4)[2], mode_change(1024, 1536, kUpdate)},
         "Could not update registry after changing into mode"},
    };
    for (const Case& c : cases) {
        in_force(LAYOUT_NORMAL, 1024, 768);
        current_layout = {};
        driver = sim::DisplayDriver{};
        driver.board_count = 2;
        c.fault(driver);
        std::vector<std::string> want = c.before_restore;
        auto tail = restored_then(c.error);
        want.insert(want.end(), tail.begin(), tail.end());
        EXPECT_EQ(choose_and_apply(c.control), want) << c.name;
        EXPECT_EQ(shown, IDC_NORMAL_MODE) << c.name;
        driver.change_fault = driver.test_fault = sim::kDispChangeSuccessful;
        expect_back_in_normal_mode();
        EXPECT_EQ(stored("TwoTall"), 0u) << c.name;
        EXPECT_EQ(stored("MultiBoardFlag"), 4u) << c.name;
    }
}

TEST_F(DesktopPage, AModeThatCannotBeReadAtApplyIsReportedAndUndone)
{
    in_force(LAYOUT_NORMAL, 1024, 768);
    std::vector<std::string> steps;
    on_page([&](Sheet& sheet, HWND page) {
        sheet.click(IDC_DOUBLE_WIDE);
        driver.fail_current_mode = true;
        size_t from = win32_host::calls().size();
        sheet.apply();
        steps = apply_steps(from);
        EXPECT_EQ(checked_layout(page), IDC_NORMAL_MODE);
    });
    std::vector<std::string> want = {error_box("Could not get current mode")};
    auto writes = layout_writes(0, 0, 4);
    want.insert(want.end(), writes.begin(), writes.end());
    want.push_back(layout_escape(LAYOUT_NORMAL));
    want.push_back(mode_change(1024, 768, kUpdate));
    EXPECT_EQ(steps, want);
    expect_back_in_normal_mode();
}

// Boards that take every layout but show no desktop in Normal Mode.
struct NoNormalDesktop : sim::DisplayBackend {
    sim::DisplayDriver plain;
    bool set_layout(uint32_t) override { return true; }
    std::vector<sim::DisplayMode> desktop_modes(uint32_t layout) override
    {
        return plain.desktop_modes(layout);
    }
    bool set_desktop(const sim::DisplayMode&, uint32_t layout) override
    {
        return layout != LAYOUT_NORMAL;
    }
};

TEST_F(DesktopPage, AnErrorOfTheIntermediateStepIsShownAfterTheChange)
{
    NoNormalDesktop boards;
    struct Case {
        bool refuse_escape; // else the mode change fails
        const char* error;
    } cases[] = {{true, "Escape to driver could not be executed"},
                 {false, "Could not test change into the requested mode"}};
    for (const Case& c : cases) {
        in_force(LAYOUT_NORMAL, 1024, 768);
        current_layout = {};
        driver.refused_layouts.clear();
        if (c.refuse_escape)
            driver.refused_layouts = {LAYOUT_NORMAL};
        driver.attach(c.refuse_escape ? nullptr : &boards);
        std::vector<std::string> want = {
            layout_escape(LAYOUT_NORMAL), mode_change(1024, 768, kUpdate),
            layout_escape(LAYOUT_DOUBLE_WIDE), mode_change(2048, 768, kTest)};
        auto writes = layout_writes(1, 0, 4);
        want.insert(want.end(), writes.begin(), writes.end());
        want.push_back(mode_change(2048, 768, kUpdate));
        want.push_back(error_box(c.error));
        EXPECT_EQ(choose_and_apply(IDC_DOUBLE_WIDE), want) << c.error;
        EXPECT_EQ(driver.layout, LAYOUT_DOUBLE_WIDE);
        EXPECT_EQ(current_layout.width, 2048u);
    }
    driver.attach(nullptr);
}

TEST_F(DesktopPage, WithoutTheKeyNothingIsCheckedUntilAnApplyIsUndone)
{
    win32_host::delete_key(HKEY_LOCAL_MACHINE, kLayoutKey);
    in_force(LAYOUT_NORMAL, 1024, 768);
    driver.family = 2;
    std::vector<std::string> steps;
    on_page([&](Sheet& sheet, HWND page) {
        EXPECT_EQ(checked_layout(page), 0);
        EXPECT_TRUE(win32_host::visible(page, IDC_MULTI_BOARD));
        sheet.click(IDC_DOUBLE_WIDE);
        size_t from = win32_host::calls().size();
        sheet.apply();
        steps = apply_steps(from);
        EXPECT_EQ(checked_layout(page), IDC_NORMAL_MODE) << "the layout put back";
    });
    ASSERT_GE(win32_host::message_boxes().size(), 1u);
    EXPECT_EQ(win32_host::message_boxes()[0].text, "Could not open QV 2 Registry Key");
    EXPECT_EQ(win32_host::message_boxes()[0].owner, nullptr);

    // The change is tried, then undone: the display driver would otherwise
    // keep a layout that neither the mode nor the stored values match.
    std::vector<std::string> want = {layout_escape(LAYOUT_NORMAL),
                                     mode_change(1024, 768, kUpdate),
                                     layout_escape(LAYOUT_DOUBLE_WIDE),
                                     mode_change(2048, 768, kTest),
                                     layout_escape(LAYOUT_NORMAL),
                                     mode_change(1024, 768, kUpdate),
                                     error_box("Could not update registry for virtual data")};
    EXPECT_EQ(steps, want);
    expect_back_in_normal_mode();
    EXPECT_FALSE(win32_host::key_exists(HKEY_LOCAL_MACHINE, kLayoutKey));
}

TEST_F(DesktopPage, ARefusedWriteIsReportedAndUndone)
{
    in_force(LAYOUT_NORMAL, 1024, 768);
    win32_host::refuse_writes(HKEY_LOCAL_MACHINE, kLayoutKey);
    std::vector<std::string> want = {layout_escape(LAYOUT_TWO_TALL),
                                     mode_change(1024, 1536, kTest)};
    auto writes = layout_writes(0, 1, 4);
    want.insert(want.end(), writes.begin(), writes.end());
    auto tail = restored_then("Could not update registry for virtual data");
    want.insert(want.end(), tail.begin(), tail.end());
    EXPECT_EQ(choose_and_apply(IDC_TWO_TALL), want);
    EXPECT_EQ(shown, IDC_NORMAL_MODE);
    expect_back_in_normal_mode();
}

TEST_F(DesktopPage, AModeListThatCannotBeReadLeavesNothingToChangeInto)
{
    in_force(LAYOUT_NORMAL, 1024, 768);
    driver.fail_mode_list = true;
    std::vector<std::string> want = {layout_escape(LAYOUT_TWO_TALL),
                                     mode_change(1024, 1536, kTest)};
    auto tail = restored_then("Could not test change into the requested mode");
    want.insert(want.end(), tail.begin(), tail.end());
    EXPECT_EQ(choose_and_apply(IDC_TWO_TALL), want);
    EXPECT_EQ(driver.layout, LAYOUT_NORMAL);
    EXPECT_EQ(driver.current.height, 768u);
    EXPECT_EQ(stored("TwoTall"), 0u);
}

// A layout clicked under an error box with no press after it goes with the
// box: the sheet greys Apply when the Apply under way returns, so the page
// shows the layout in force, and a later OK changes nothing. So also after
// an Apply that a press under its box made run again.
TEST_F(DesktopPage, ALayoutClickedUnderABoxWithoutAPressGoesWithTheBox)
{
    in_force(LAYOUT_NORMAL, 1024, 768);
    driver.refused_layouts = {LAYOUT_TWO_TALL};
    on_page([&](Sheet& sheet, HWND page) {
        bool press = true;
        win32_host::set_message_box_script([&](auto&) {
            sheet.click(press ? IDC_DOUBLE_WIDE : IDC_MULTI_BOARD);
            if (std::exchange(press, false))
                sheet.apply();
            return IDOK;
        });
        for (int tries = 0; tries < 2; ++tries) {
            sheet.click(IDC_TWO_TALL);
            sheet.apply();
        }
        win32_host::set_message_box_script({});
        EXPECT_EQ(checked_layout(page), IDC_DOUBLE_WIDE);
        EXPECT_FALSE(sheet.apply_enabled());
        sheet.ok();
    });
    EXPECT_EQ(driver.layout, LAYOUT_DOUBLE_WIDE);
    EXPECT_EQ(stored("MultiBoardFlag"), 4u);
}

// Error boxes have no owner window: the sheet stays enabled while one is up.
// Apply or OK pressed then must end exactly as when pressed after the box,
// also after a click on another layout (Multi Board): that choice is applied
// once the Apply under way has finished, and OK closes the sheet only then.
TEST_F(DesktopPage, ApplyOrOkWhileAnErrorBoxIsUpEndsAsAfterTheBox)
{
    using Play = std::function<void(Sheet&)>;
    auto apply = [&](int control, std::function<void()> fault) -> Play {
        return [=](Sheet& sheet) {
            sheet.select(kDesktopPage);
            sheet.click(control);
            fault();
            sheet.apply();
        };
    };
    auto run = [&](const Play& until_box, int click, bool ok, bool during) {
        driver = sim::DisplayDriver{};
        driver.board_count = 2;
        current_layout = {};
        for (const char* key : {kLayoutKey, kMcdKey}) {
            win32_host::delete_key(HKEY_LOCAL_MACHINE, key);
            win32_host::create_key(HKEY_LOCAL_MACHINE, key);
        }
        size_t from = win32_host::calls().size();
        bool pressed = false;
        int shown = 0;
        auto press = [&](Sheet& sheet) {
            if (std::exchange(pressed, true))
                return;
            if (click)
                sheet.click(click);
            ok ? sheet.ok() : (void)sheet.apply();
        };
        open([&](Sheet& sheet) {
            if (during)
                win32_host::set_message_box_script([&](auto&) { return press(sheet), IDOK; });
            until_box(sheet);
            win32_host::set_message_box_script({});
            EXPECT_EQ(pressed, during) << "no box came up";
            press(sheet);
            if (!sheet.closed())
                shown = checked_layout(sheet.page(kDesktopPage));
        });
        auto steps = apply_steps(from);
        for (const char* name : {"DoubleWide", "TwoTall", "MultiBoardFlag"})
            steps.push_back(std::to_string(stored(name)));
        steps.push_back(std::to_string(driver.layout) + " " + std::to_string(driver.current.width) +
                        "x" + std::to_string(driver.current.height) + " shown " +
                        std::to_string(shown));
        EXPECT_EQ(win32_host::open_key_handles(), 0);
        return steps;
    };
    auto& d = driver;
    const Play cases[] = {
        [](Sheet& sheet) {
            win32_host::delete_key(HKEY_LOCAL_MACHINE, kLayoutKey);
            sheet.select(kOptionsPage);
            sheet.click(IDC_MCD_ACCELERATION);
            sheet.select(kDesktopPage);
        },
        apply(IDC_DOUBLE_WIDE, [&] { d.fail_current_mode = true; }),
        apply(IDC_TWO_TALL, [&] { d.change_fault = sim::kDispChangeFailed; }),
        apply(IDC_TWO_TALL, [] { win32_host::refuse_writes(HKEY_LOCAL_MACHINE, kLayoutKey); }),
        apply(IDC_TWO_TALL, [&] { d.test_fault = sim::kDispChangeFailed; }),
        apply(IDC_TWO_TALL, [&] { d.refused_layouts = {LAYOUT_TWO_TALL}; }),
        apply(IDC_DOUBLE_WIDE, [&] { d.refused_layouts = {LAYOUT_NORMAL}; }),
        apply(IDC_MULTI_BOARD, [&] { d.test_fault = sim::kDispChangeBadMode; }),
    };
    for (const Play& c : cases)
        // The first box comes before the desktop page can be clicked.
        for (int click : {0, &c == cases ? 0 : IDC_MULTI_BOARD})
            for (bool ok : {false, true}) {
                size_t boxes = win32_host::message_boxes().size();
                auto after = run(c, click, ok, false);
                EXPECT_TRUE(click || win32_host::message_boxes().size() == boxes + 1);
                EXPECT_EQ(run(c, click, ok, true), after)
                    << win32_host::message_boxes().back().text << ", click " << click;
            }
}

} // namespace
