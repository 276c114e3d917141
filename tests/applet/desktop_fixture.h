// The desktop page on a sheet: a family 3 display driver with two boards,
// its layout key, and the steps an Apply takes as the platform saw them.
#pragma once

#include "tests/applet/applet_fixture.h"
#include "applet/desktop.h"

#include <functional>
#include <string>
#include <vector>

inline const char kLayoutKey[] = "SYSTEM\\CurrentControlSet\\Services\\halcyra3d\\Device0";

class DesktopTest : public AppletTest {
  protected:
    void SetUp() override
    {
        AppletTest::SetUp();
        current_layout = {};
        driver.family = 3;
        driver.board_count = 2;
    }

    // Opens the sheet on the desktop page; `then` plays the user.
    void on_page(std::function<void(win32_host::Sheet&, HWND)> then = {})
    {
        open([&](win32_host::Sheet& sheet) {
            sheet.select(kDesktopPage);
            if (then)
                then(sheet, sheet.page(kDesktopPage));
        });
    }

    // Opens the page, clicks `control` and presses Apply; returns what the
    // Apply did: layout escapes, mode changes, value writes and messages.
    // The radio button checked after it lands in `shown`.
    std::vector<std::string> choose_and_apply(int control)
    {
        std::vector<std::string> steps;
        on_page([&](win32_host::Sheet& sheet, HWND page) {
            EXPECT_TRUE(sheet.click(control));
            size_t from = win32_host::calls().size();
            EXPECT_TRUE(sheet.apply());
            steps = apply_steps(from);
            shown = checked_layout(page);
        });
        return steps;
    }
    int shown = 0;

    static std::vector<std::string> apply_steps(size_t from)
    {
        static const char* const kinds[] = {"ExtEscape 4004", "ChangeDisplaySettingsA",
                                            "RegSetValueExA", "MessageBoxA"};
        std::vector<std::string> steps;
        const auto& calls = win32_host::calls();
        for (size_t i = from; i < calls.size(); ++i)
            for (const char* kind : kinds)
                if (calls[i].rfind(kind, 0) == 0)
                    steps.push_back(calls[i]);
        return steps;
    }

    // The radio button checked on the page (0: none).
    static int checked_layout(HWND page)
    {
        for (int id = IDC_NORMAL_MODE; id <= IDC_MULTI_BOARD; ++id)
            if (win32_host::checked(page, id))
                return id;
        return 0;
    }

    static uint32_t stored(const char* name)
    {
        return dword_of(win32_host::value(HKEY_LOCAL_MACHINE, kLayoutKey, name));
    }
};

// Steps of an Apply, as the platform records them.
inline std::string layout_escape(int code)
{
    return "ExtEscape 4004 in=" + std::to_string(code);
}
inline std::string mode_change(uint32_t w, uint32_t h, int flags)
{
    return "ChangeDisplaySettingsA " + std::to_string(w) + "x" + std::to_string(h) + " " +
           std::to_string(flags);
}
inline std::vector<std::string> layout_writes(int wide, int tall, int multi)
{
    return {"RegSetValueExA DoubleWide 4 " + std::to_string(wide),
            "RegSetValueExA TwoTall 4 " + std::to_string(tall),
            "RegSetValueExA MultiBoardFlag 4 " + std::to_string(multi)};
}
inline std::string error_box(const std::string& text)
{
    return "MessageBoxA ERROR: " + text;
}
constexpr int kUpdate = CDS_UPDATEREGISTRY;
constexpr int kTest = CDS_TEST;
