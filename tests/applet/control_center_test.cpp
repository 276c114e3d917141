// The Control Panel entry, the property sheet and the escape sender.
#include "tests/applet/applet_fixture.h"

using win32_host::Sheet;
using win32_host::SheetRecord;

namespace {

class ControlCenter : public AppletTest {};

TEST_F(ControlCenter, AnswersTheControlPanelsMessages)
{
    EXPECT_TRUE(win32_host::common_controls_initialised());
    EXPECT_EQ(CPlApplet(control_panel, CPL_INIT, 0, 0), 1);
    EXPECT_EQ(CPlApplet(control_panel, CPL_GETCOUNT, 0, 0), 1);

    // CPL_INQUIRE fills nothing: the item is described by CPL_NEWINQUIRE.
    CPLINFO old;
    std::memset(&old, 0xA5, sizeof old);
    CPLINFO info = old;
    EXPECT_EQ(CPlApplet(control_panel, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(std::memcmp(&info, &old, sizeof info), 0);

    for (UINT message : {UINT{CPL_SELECT}, UINT{CPL_STOP}, UINT{CPL_EXIT}, 99u})
        EXPECT_EQ(CPlApplet(control_panel, message, 0, 0), 0) << message;
    EXPECT_TRUE(win32_host::sheets().empty());
}

TEST_F(ControlCenter, DescribesItsOneItem)
{
    NEWCPLINFOA item;
    std::memset(&item, 0xCC, sizeof item);
    EXPECT_EQ(CPlApplet(control_panel, CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&item)), 0);
    EXPECT_EQ(item.dwSize, 244u);
    EXPECT_EQ(item.dwFlags, 0u);
    EXPECT_EQ(item.dwHelpContext, 0u);
    EXPECT_EQ(item.lData, 0);
    EXPECT_EQ(win32_host::icon_id(item.hIcon), IDI_ITEM);
    EXPECT_STREQ(item.szName, "The Quorvane Control Center");
    EXPECT_STREQ(item.szInfo, "Quorvane Control Panel");
    EXPECT_EQ(item.szHelpFile[0], '\0');

    // There is no second item to describe.
    NEWCPLINFOA other;
    std::memset(&other, 0xCC, sizeof other);
    NEWCPLINFOA untouched = other;
    EXPECT_EQ(CPlApplet(control_panel, CPL_NEWINQUIRE, 1, reinterpret_cast<LPARAM>(&other)), 0);
    EXPECT_EQ(std::memcmp(&other, &untouched, sizeof other), 0);
}

void expect_page(const win32_host::PageRecord& page, const char* title, int dialog, int icon,
                 DLGPROC procedure, HINSTANCE instance, bool carries_state = false)
{
    EXPECT_EQ(page.size, 40u);
    EXPECT_EQ(page.flags, static_cast<DWORD>(PSP_USETITLE | PSP_USEICONID));
    EXPECT_EQ(page.instance, instance);
    EXPECT_EQ(page.title, title);
    EXPECT_EQ(page.template_id, dialog);
    EXPECT_EQ(page.icon, icon);
    EXPECT_EQ(page.procedure, procedure);
    EXPECT_EQ(page.param != 0, carries_state);
}

void expect_header(const SheetRecord& sheet, HWND parent, HINSTANCE instance)
{
    EXPECT_EQ(sheet.size, 40u);
    EXPECT_EQ(sheet.flags, static_cast<DWORD>(PSH_PROPSHEETPAGE | PSH_USEICONID));
    EXPECT_EQ(sheet.parent, parent);
    EXPECT_EQ(sheet.instance, instance);
    EXPECT_EQ(sheet.icon, IDI_SHEET);
    EXPECT_EQ(sheet.caption, "Quorvane Control Center");
    EXPECT_EQ(sheet.start_page, 0u);
}

// How a display driver can fail to name a board family.
enum class NoFamily { Unsupported, FailedAfterWriting, Error, AnswersZero, NoDriver, NoDc };

class WithoutFamily : public AppletTest, public ::testing::WithParamInterface<NoFamily> {};

TEST_P(WithoutFamily, ShowsOnlyTheInformationPage)
{
    switch (GetParam()) {
    case NoFamily::Unsupported:
        driver.set_fault(ESC_GET_BOARD_FAMILY, sim::EscapeFault::Unsupported);
        break;
    case NoFamily::FailedAfterWriting: // the driver wrote 3 and still failed
        driver.set_fault(ESC_GET_BOARD_FAMILY, sim::EscapeFault::FailAfterWrite);
        break;
    case NoFamily::Error:
        driver.set_fault(ESC_GET_BOARD_FAMILY, sim::EscapeFault::Error);
        break;
    case NoFamily::AnswersZero:
        driver.family = 0;
        break;
    case NoFamily::NoDriver:
        win32_host::set_display_device(nullptr);
        break;
    case NoFamily::NoDc:
        win32_host::fail_create_dc(true);
        break;
    }
    // A family seen earlier must not linger.
    board_family = 3;
    const SheetRecord& sheet = open();
    expect_header(sheet, control_panel, instance);
    ASSERT_EQ(sheet.pages.size(), 1u);
    expect_page(sheet.pages[0], "Quorvane Info", IDD_INFO_UNKNOWN, IDI_SHEET, info_page_proc,
                instance);
    EXPECT_EQ(board_family, 0u);
}

INSTANTIATE_TEST_SUITE_P(Driver, WithoutFamily,
                         ::testing::Values(NoFamily::Unsupported, NoFamily::FailedAfterWriting,
                                           NoFamily::Error, NoFamily::AnswersZero,
                                           NoFamily::NoDriver, NoFamily::NoDc));

class WithFamily : public AppletTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(WithFamily, ShowsThreePagesWithTheFamilysInformationTemplate)
{
    driver.family = GetParam().first;
    const SheetRecord& sheet = open();
    expect_header(sheet, control_panel, instance);
    ASSERT_EQ(sheet.pages.size(), 3u);
    expect_page(sheet.pages[0], "Quorvane Info", GetParam().second, IDI_SHEET, info_page_proc,
                instance);
    expect_page(sheet.pages[1], "Desktop", IDD_DESKTOP, IDI_DESKTOP, desktop_page_proc, instance,
                true);
    expect_page(sheet.pages[2], "Driver Options", IDD_OPTIONS, IDI_OPTIONS, options_page_proc,
                instance, true);
}

// A page leaves the messages it does not handle to the dialog manager, which
// paints its background.
TEST_F(ControlCenter, PagesLeaveOtherMessagesToTheDialogManager)
{
    win32_host::create_key(HKEY_LOCAL_MACHINE,
                           "SYSTEM\\CurrentControlSet\\Services\\halcyra3d\\Device0");
    open([](Sheet& sheet) {
        for (int index : {kInfoPage, kDesktopPage, kOptionsPage}) {
            sheet.select(index);
            EXPECT_EQ(SendMessageA(sheet.page(index), WM_ERASEBKGND, 0, 0), 1) << index;
        }
    });
}

INSTANTIATE_TEST_SUITE_P(Families, WithFamily,
                         ::testing::Values(std::pair{2, IDD_INFO_FAMILY2},
                                           std::pair{3, IDD_INFO_FAMILY3},
                                           std::pair{4, IDD_INFO_FAMILY4},
                                           std::pair{7, IDD_INFO_UNKNOWN}));

TEST_F(ControlCenter, AsksForTheFamilyEachTimeTheItemOpens)
{
    driver.set_fault(ESC_GET_BOARD_FAMILY, sim::EscapeFault::Unsupported);
    EXPECT_EQ(open().pages.size(), 1u);
    driver.clear_faults();
    EXPECT_EQ(open().pages.size(), 3u);

    int asked = 0;
    for (auto& e : driver.escapes) {
        if (e.code != ESC_GET_BOARD_FAMILY)
            continue;
        ++asked;
        EXPECT_EQ(e.input, 0u);
        EXPECT_EQ(e.in_size, 4u);
        EXPECT_EQ(e.out_size, 4u);
    }
    EXPECT_EQ(asked, 2);
}

TEST_F(ControlCenter, EveryEscapeHasADeviceContextOfItsOwn)
{
    driver.family = 3;
    open([](Sheet& sheet) { sheet.select(kOptionsPage); });
    ASSERT_GE(driver.escapes.size(), 3u);

    auto counts = win32_host::dc_counts();
    EXPECT_EQ(counts.created, static_cast<int>(driver.escapes.size()));
    EXPECT_EQ(counts.live(), 0);
    // Each escape sits between the creation and the deletion of its context.
    const auto& calls = win32_host::calls();
    int escapes_seen = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].rfind("ExtEscape", 0) != 0)
            continue;
        ++escapes_seen;
        ASSERT_GT(i, 0u);
        ASSERT_LT(i + 1, calls.size());
        EXPECT_EQ(calls[i - 1], "CreateDCA display");
        EXPECT_EQ(calls[i + 1], "DeleteDC");
    }
    EXPECT_EQ(escapes_seen, static_cast<int>(driver.escapes.size()));
}

} // namespace
