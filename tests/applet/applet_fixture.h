// A Control Panel around the applet: the host's Win32 with the applet's
// module loaded and attached, a display driver answering its escapes, and
// the system's MCD key in the registry.
#pragma once

#include "applet/applet.h"
#include "applet/escapes.h"
#include "applet/resource.h"
#include "display/display_driver.h"
#include "platform/win32/host.h"
#include "platform/win32/observe.h"
#include "tests/support/build_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

inline const char kMcdKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\MCD";

// Page order of a full sheet.
enum { kInfoPage = 0, kDesktopPage = 1, kOptionsPage = 2 };

class AppletTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        win32_host::reset();
        instance = win32_host::load_module(testing_support::applet_resources());
        win32_host::set_display_device(&driver);
        ASSERT_TRUE(DllMain(instance, DLL_PROCESS_ATTACH, nullptr));
        win32_host::create_key(HKEY_LOCAL_MACHINE, kMcdKey);
    }

    void TearDown() override { win32_host::reset(); }

    // The user opens the item; `script` runs while the sheet is up.
    const win32_host::SheetRecord& open(std::function<void(win32_host::Sheet&)> script = {})
    {
        win32_host::set_sheet_script(std::move(script));
        size_t before = win32_host::sheets().size();
        EXPECT_EQ(CPlApplet(control_panel, CPL_DBLCLK, 0, 0), 0);
        EXPECT_EQ(win32_host::sheets().size(), before + 1) << "no property sheet was shown";
        return win32_host::sheets().back();
    }

    // Texts of the information page's value fields, read while it is up.
    struct InfoTexts {
        int template_id = 0;
        std::string version, bios, name, memory, panel;
        bool has_panel = false;
    };
    InfoTexts open_info_page()
    {
        InfoTexts t;
        open([&](win32_host::Sheet& sheet) {
            HWND page = sheet.page(kInfoPage);
            t.template_id = win32_host::template_of(page);
            t.version = win32_host::text(page, IDC_DRIVER_VERSION);
            t.bios = win32_host::text(page, IDC_BIOS_DATA);
            t.name = win32_host::text(page, IDC_BOARD_NAME);
            t.memory = win32_host::text(page, IDC_VIDEO_RAM);
            t.panel = win32_host::text(page, IDC_PANEL_VERSION);
            t.has_panel = win32_host::has_control(page, IDC_PANEL_VERSION);
        });
        return t;
    }

    std::vector<uint32_t> escape_codes() const
    {
        std::vector<uint32_t> codes;
        for (auto& e : driver.escapes)
            codes.push_back(e.code);
        return codes;
    }

    sim::DisplayDriver driver;
    HINSTANCE instance = nullptr;
    HWND control_panel = reinterpret_cast<HWND>(0x4242);
};

inline uint32_t dword_of(const korvid_host::RegistryValue* v)
{
    uint32_t d = 0xDEADBEEF;
    if (v && v->data.size() == 4)
        std::memcpy(&d, v->data.data(), 4);
    return d;
}
