// The host's Win32 where the applet relies on it behaving as the platform
// does: registry, version information of real images, the property sheet's
// page life, button groups, and the display-driver model's answers.
#include "tests/applet/applet_fixture.h"
#include "tests/applet/pe_image.h"
#include "tests/support/build_paths.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <sstream>

using win32_host::Sheet;

namespace {

const char kDevice0[] = "SYSTEM\\CurrentControlSet\\Services\\halcyra3d\\Device0";

class StandIn : public AppletTest {};

TEST_F(StandIn, BoundKeySharesItsValuesWithTheSimulatedMachine)
{
    korvid_host::RegistryKey device;
    device[u"TwoTall"] = {korvid_host::kRegDword, {1, 0, 0, 0}};
    win32_host::bind_key(HKEY_LOCAL_MACHINE, kDevice0, device);

    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDevice0, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    DWORD value = 0, type = 0, size = sizeof value;
    ASSERT_EQ(
        RegQueryValueExA(key, "twotall", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

    DWORD one = 1, zero = 0;
    RegSetValueExA(key, "DoubleWide", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
    RegSetValueExA(key, "TWOTALL", 0, REG_DWORD, reinterpret_cast<BYTE*>(&zero), 4);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(device.size(), 2u) << "a name written again keeps its first spelling";
    EXPECT_EQ(device[u"DoubleWide"].type, korvid_host::kRegDword);
    EXPECT_EQ(device[u"DoubleWide"].data, (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(device[u"TwoTall"].data, (std::vector<uint8_t>{0, 0, 0, 0}));

    // Text is held as the platform holds it, in 16-bit characters.
    win32_host::set_string(HKEY_LOCAL_MACHINE, kDevice0, "Name", "QV");
    EXPECT_EQ(device[u"Name"].data, (std::vector<uint8_t>{'Q', 0, 'V', 0, 0, 0}));
}

TEST_F(StandIn, RegistryAnswersAsThePlatformDoes)
{
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nowhere", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(win32_host::key_exists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nowhere"));

    win32_host::set_string(HKEY_LOCAL_MACHINE, kMcdKey, "Text", "abcdef");
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMcdKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    char small[4];
    DWORD size = sizeof small;
    EXPECT_EQ(
        RegQueryValueExA(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    DWORD one = 1;
    EXPECT_EQ(RegSetValueExA(key, "Enable", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
              ERROR_ACCESS_DENIED)
        << "opened for reading only";
    EXPECT_EQ(win32_host::open_key_handles(), 1);
    RegCloseKey(key);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

// A failed call whose output its documentation leaves undefined leaves it
// poisoned, so that a caller that reads it anyway is caught.
TEST_F(StandIn, FailedCallsLeaveUndefinedOutputPoisoned)
{
    win32_host::set_string(HKEY_LOCAL_MACHINE, kMcdKey, "Text", "abcdef");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMcdKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    uint8_t b[16];
    auto fresh = [&] { return static_cast<uint8_t*>(std::memset(b, 0, sizeof b)); };
    auto poisoned = [&](size_t n) {
        return std::all_of(b, b + n, [](uint8_t v) { return v == win32_host::kPoisonByte; });
    };
    DWORD size = 4, in = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, fresh(), &size), ERROR_MORE_DATA);
    EXPECT_TRUE(poisoned(4));
    EXPECT_NE(RegQueryValueExA(key, "None", nullptr, nullptr, fresh(), &(size = 16)), 0);
    EXPECT_TRUE(poisoned(16));
    EXPECT_GT(GetWindowsDirectoryA(reinterpret_cast<LPSTR>(fresh()), 3), 3u);
    EXPECT_TRUE(poisoned(3));
    EXPECT_FALSE(GetFileVersionInfoA("C:\\WINNT\\none.dll", 0, 16, fresh()));
    EXPECT_TRUE(poisoned(16));
    uint8_t block[16] = {};
    EXPECT_FALSE(VerQueryValueA(block, "\\", reinterpret_cast<LPVOID*>(fresh()),
                                reinterpret_cast<PUINT>(b + 4)));
    EXPECT_TRUE(poisoned(8));
    EXPECT_LE(
        ExtEscape(dc, 4000, 4, reinterpret_cast<LPCSTR>(&in), 16, reinterpret_cast<LPSTR>(fresh())),
        0);
    EXPECT_TRUE(poisoned(16));
    DEVMODEA dm = {};
    dm.dmSize = sizeof dm;
    EXPECT_FALSE(EnumDisplaySettingsA(nullptr, 100000, &dm));
    EXPECT_EQ(dm.dmSize, sizeof dm) << "the caller's size is kept";
    EXPECT_EQ(dm.dmFields, 0xA5A5A5A5u);
    DeleteDC(dc);
    RegCloseKey(key);
}

std::string product_version(const std::string& windows_path)
{
    DWORD handle;
    DWORD size = GetFileVersionInfoSizeA(windows_path.c_str(), &handle);
    if (!size)
        return "(none)";
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(windows_path.c_str(), handle, size, block.data()))
        return "(unreadable)";
    void* value;
    UINT length;
    if (!VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\ProductVersion", &value,
                        &length))
        return "(no entry)";
    return static_cast<const char*>(value);
}

TEST_F(StandIn, ReadsTheVersionOfTheRealMiniport)
{
    std::string korvid = testing_support::cross_korvid_sys();
    if (korvid.empty() || testing_support::file_text(korvid).empty())
        GTEST_SKIP() << "no cross-built korvid.sys";
    win32_host::map_file("C:\\WINNT\\system32\\drivers\\korvid.sys", korvid);
    EXPECT_EQ(product_version("C:\\WINNT\\system32\\drivers\\korvid.sys"), "4.00.106");

    // And the page shows it.
    driver.family = 3;
    EXPECT_EQ(open_info_page().version, "4.00.106");
}

TEST_F(StandIn, DamagedImagesGiveNoVersionAndAreNotReadPastTheirEnd)
{
    auto image =
        applet_tests::image_with(applet_tests::version_resource({{"ProductVersion", "1.2"}}));
    std::string path = applet_tests::write("whole.sys", image);
    win32_host::map_file("C:\\v.sys", path);
    ASSERT_EQ(product_version("C:\\v.sys"), "1.2");

    // Every cut of the image either still holds the whole resource or
    // gives no version; the sanitizers watch the reading.
    for (size_t length = 0; length < image.size(); length += 7) {
        std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<long>(length));
        win32_host::map_file("C:\\v.sys", applet_tests::write("cut.sys", cut));
        std::string v = product_version("C:\\v.sys");
        EXPECT_TRUE(v == "1.2" || v == "(none)") << length << ": " << v;
    }
    // A block that claims more than the resource holds.
    auto bad = image;
    bad[0x258] = 0xFF;
    bad[0x259] = 0x7F;
    win32_host::map_file("C:\\v.sys", applet_tests::write("bad.sys", bad));
    std::string v = product_version("C:\\v.sys");
    EXPECT_TRUE(v == "(none)" || v == "(no entry)") << v;
}

// Past a section's raw data the mapped image holds zeros, not the bytes that
// follow in the file: a resource there gives no version.
TEST_F(StandIn, VersionDataPastItsSectionsRawDataIsNotRead)
{
    auto image =
        applet_tests::image_with(applet_tests::version_resource({{"ProductVersion", "1.2"}}));
    // The section's raw data cut to its resource directory; the version
    // data still follows it in the file.
    store_le32(&image[pe::PeFile(image).section_table() + pe::section_header::kSizeOfRawData],
               0x58);
    win32_host::map_file("C:\\v.sys", applet_tests::write("short.sys", image));
    EXPECT_EQ(product_version("C:\\v.sys"), "(none)");
}

TEST_F(StandIn, SheetCreatesPagesWhenFirstShownAndAppliesOnlyThose)
{
    driver.family = 3;
    win32_host::set_dword(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", 1);
    open([](Sheet& sheet) {
        EXPECT_TRUE(sheet.created(kInfoPage));
        EXPECT_FALSE(sheet.created(kDesktopPage));
        EXPECT_FALSE(sheet.created(kOptionsPage));
        sheet.select(kOptionsPage);
        EXPECT_TRUE(sheet.created(kOptionsPage));
        EXPECT_FALSE(sheet.created(kDesktopPage));
        EXPECT_FALSE(sheet.apply()) << "Apply is greyed until a page changes";
        sheet.ok();
    });
    int created = 0;
    for (auto& call : win32_host::calls())
        created += call.rfind("create page", 0) == 0;
    EXPECT_EQ(created, 2);
    EXPECT_EQ(win32_host::sheets().back().result, 1);
}

TEST_F(StandIn, AutomaticRadioButtonsFormTheirGroup)
{
    driver.family = 3;
    open([](Sheet& sheet) {
        sheet.select(kDesktopPage);
        HWND page = sheet.page(kDesktopPage);
        for (int id : {IDC_DOUBLE_WIDE, IDC_MULTI_BOARD, IDC_NORMAL_MODE, IDC_TWO_TALL}) {
            ASSERT_TRUE(sheet.click(id));
            for (int other = IDC_NORMAL_MODE; other <= IDC_MULTI_BOARD; ++other)
                EXPECT_EQ(win32_host::checked(page, other), other == id) << id << " " << other;
        }
        // Nobody can click what is hidden or greyed.
        ShowWindow(GetDlgItem(page, IDC_MULTI_BOARD), SW_HIDE);
        EnableWindow(GetDlgItem(page, IDC_DOUBLE_WIDE), FALSE);
        EXPECT_FALSE(sheet.click(IDC_MULTI_BOARD));
        EXPECT_FALSE(sheet.click(IDC_DOUBLE_WIDE));
        EXPECT_TRUE(win32_host::checked(page, IDC_TWO_TALL));
    });
}

// A page that answers PSN_KILLACTIVE and PSN_APPLY through DWL_MSGRESULT as
// the test says, and keeps what PSN_APPLY carried.
LONG answers[2];
std::vector<LPARAM> apply_params;

INT_PTR CALLBACK answering_page(HWND dialog, UINT message, WPARAM, LPARAM lparam)
{
    const auto* n = reinterpret_cast<const PSHNOTIFY*>(lparam);
    if (message != WM_NOTIFY || (n->hdr.code != PSN_KILLACTIVE && n->hdr.code != PSN_APPLY))
        return FALSE;
    if (n->hdr.code == PSN_APPLY)
        apply_params.push_back(n->lParam);
    SetWindowLongA(dialog, DWL_MSGRESULT, answers[n->hdr.code == PSN_APPLY]);
    return TRUE;
}

TEST_F(StandIn, SheetTakesThePagesAnswersAndBoxesDisableOnlyTheirOwner)
{
    PROPSHEETPAGEA pages[2] = {};
    for (PROPSHEETPAGEA& p : pages) {
        p.dwSize = sizeof p;
        p.hInstance = instance;
        p.pszTemplate = MAKEINTRESOURCEA(IDD_OPTIONS);
        p.pfnDlgProc = answering_page;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE;
    header.nPages = 2;
    header.ppsp = pages;
    answers[0] = TRUE; // PSN_KILLACTIVE: the page's fields are invalid
    win32_host::set_sheet_script([](Sheet& sheet) {
        sheet.changed(sheet.page(0));
        sheet.select(1);
        EXPECT_FALSE(sheet.apply());
        EXPECT_EQ(sheet.current(), 0);
        answers[0] = FALSE;
        sheet.select(1);
        answers[1] = PSNRET_INVALID;
        sheet.ok();
        EXPECT_FALSE(sheet.ended());
        EXPECT_EQ(sheet.current(), 0) << "the sheet turns to the page that refused";
        answers[1] = PSNRET_NOERROR;
        std::vector<bool> applied;
        win32_host::set_message_box_script(
            [&](auto&) { return applied.push_back(sheet.apply()), IDOK; });
        for (HWND owner : {sheet.page(1), HWND{}})
            MessageBoxA(owner, "text", "caption", MB_OK);
        EXPECT_EQ(applied, (std::vector<bool>{false, true}));
        sheet.ok();
        EXPECT_TRUE(sheet.closed());
    });
    PropertySheetA(&header);
    // The common controls of NT 4.0 do not tell OK from Apply.
    EXPECT_EQ(apply_params, std::vector<LPARAM>(5, 0));
}

TEST_F(StandIn, DisplaySettingsAsTheSystemKeepsThem)
{
    driver.current = {800, 600, 16, 75};
    driver.registry_mode = {1024, 768, 16, 75};
    DEVMODEA dm = {}; // a size field of 0 is not read
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_REGISTRY_SETTINGS, &dm));
    EXPECT_EQ(dm.dmPelsWidth, 1024u);
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, 0, &dm));
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm));
    EXPECT_EQ(dm.dmPelsWidth, 800u);
    // No field past the size field is read; a record without dmFields is refused.
    dm.dmPelsHeight = 9999;
    dm.dmSize = offsetof(DEVMODEA, dmPelsHeight);
    EXPECT_EQ(ChangeDisplaySettingsA(&dm, CDS_TEST), DISP_CHANGE_SUCCESSFUL);
    dm.dmSize = offsetof(DEVMODEA, dmFields) - 1;
    EXPECT_EQ(ChangeDisplaySettingsA(&dm, CDS_TEST), DISP_CHANGE_BADMODE);
}

TEST(DisplayDriverModel, AnswersOnlyIntoBuffersLargeEnough)
{
    sim::DisplayDriver d;
    uint32_t in = 1234;
    uint32_t out[2] = {0xAAAAAAAA, 0xAAAAAAAA};
    EXPECT_EQ(d.escape(ESC_GET_VIRTUAL_LAYOUT, 4, &in, 4, out), 0);
    EXPECT_EQ(out[0], 0xAAAAAAAAu);

    uint32_t code = LAYOUT_MULTI_BOARD;
    EXPECT_GT(d.escape(ESC_SET_VIRTUAL_LAYOUT, 4, &code, 4, out), 0);
    EXPECT_GT(d.escape(ESC_GET_MULTI_BOARD, 4, &in, 4, out), 0);
    EXPECT_EQ(out[0], MULTI_BOARD_ON);
    code = LAYOUT_TWO_TALL;
    d.escape(ESC_SET_VIRTUAL_LAYOUT, 4, &code, 4, out);
    EXPECT_GT(d.escape(ESC_GET_VIRTUAL_LAYOUT, 4, &in, 8, out), 0);
    EXPECT_EQ(out[0], 0u);
    EXPECT_EQ(out[1], 1u);
    code = 4;
    EXPECT_EQ(d.escape(ESC_SET_VIRTUAL_LAYOUT, 4, &code, 4, out), 0) << "no such layout";
    EXPECT_EQ(d.layout, LAYOUT_TWO_TALL);
    EXPECT_EQ(d.escape(4000, 4, &in, 4, out), 0);
}

} // namespace
