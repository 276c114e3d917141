#include "tests/fuzz/applet_checks.h"

#include "applet/applet.h"
#include "applet/escapes.h"
#include "applet/resource.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace fuzz_tests {

namespace {

// The information page builds every value in a buffer of MAX_PATH characters.
constexpr size_t kLongestText = MAX_PATH - 1;
constexpr const char* kUndefined = "Undefined";

size_t g_calls_checked = 0;
size_t g_boxes_checked = 0;

const win32_host::DialogTemplate& template_of(HWND page)
{
    const win32_host::Module& m = win32_host::module(applet_instance);
    return m.dialogs.at(win32_host::template_of(page));
}

// A registry write: "RegSetValueExA <name> <type> <value or size>".
void check_write(const std::string& line)
{
    std::istringstream in(line.substr(line.find(' ') + 1));
    std::string name, shown;
    DWORD type = 0;
    in >> name >> type >> shown;
    if (type != REG_DWORD || shown.empty() || shown[0] == '(')
        broken("%s: not a 4-byte number", line.c_str());
    unsigned long value = std::stoul(shown);
    bool flag = value == 0 || value == 1;
    if ((name == "Enable" || name == "DoubleWide" || name == "TwoTall") && !flag)
        broken("%s: a flag is 0 or 1", line.c_str());
    if (name == "MultiBoardFlag" && value != MULTI_BOARD_ON && value != MULTI_BOARD_OFF)
        broken("%s: the multi-board value is %lu or %lu", line.c_str(), MULTI_BOARD_ON,
               MULTI_BOARD_OFF);
}

void check_layout_escape(const std::string& line)
{
    unsigned long code = std::stoul(line.substr(line.find("in=") + 3));
    if (code > LAYOUT_MULTI_BOARD)
        broken("%s: no such layout code", line.c_str());
}

} // namespace

void broken(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::fputs("applet invariant broken: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::abort();
}

void check_opened(const win32_host::Sheet& sheet, const FuzzedDriver& driver)
{
    const Told& family = driver.family();
    DWORD expected = family.asked && family.result > 0 ? family.family : 0;
    if (board_family != expected)
        broken("board family %lu, the driver said %lu with result %d", board_family, expected,
               family.result);
    size_t pages = sheet.record().pages.size();
    if (pages != (board_family != 0 ? 3u : 1u))
        broken("%zu pages for board family %lu", pages, board_family);

    const Told& bios = driver.bios();
    std::string shown = win32_host::text(sheet.page(0), IDC_BIOS_DATA);
    std::string told = bios.asked && bios.result > 0 ? bios.bios_texts : kUndefined;
    if (shown != told)
        broken("BIOS data \"%s\", the driver gave \"%s\" with result %d", shown.c_str(),
               told.c_str(), bios.result);
}

void check_texts(const win32_host::Sheet& sheet)
{
    if (sheet.closed())
        return; // its pages are gone
    for (size_t i = 0; i < sheet.record().pages.size(); ++i) {
        HWND page = sheet.page(static_cast<int>(i));
        if (!page)
            continue;
        for (const win32_host::DialogControl& c : template_of(page).controls) {
            std::string text = win32_host::text(page, c.id);
            if (text.size() > kLongestText && text != c.text)
                broken("page %zu control %d holds %zu characters", i, c.id, text.size());
        }
    }
}

void check_calls()
{
    const std::vector<std::string>& calls = win32_host::calls();
    for (; g_calls_checked < calls.size(); ++g_calls_checked) {
        const std::string& line = calls[g_calls_checked];
        if (line.rfind("RegSetValueExA ", 0) == 0)
            check_write(line);
        else if (line.rfind("ExtEscape 4004 ", 0) == 0)
            check_layout_escape(line);
    }
    const std::vector<win32_host::MessageBoxCall>& boxes = win32_host::message_boxes();
    for (; g_boxes_checked < boxes.size(); ++g_boxes_checked) {
        const win32_host::MessageBoxCall& box = boxes[g_boxes_checked];
        if (box.owner || box.caption != "ERROR" || (box.type & MB_ICONMASK) != MB_ICONERROR)
            broken("message box \"%s\" is no error box without owner", box.text.c_str());
    }
}

void check_closed()
{
    check_calls();
    if (win32_host::open_key_handles() != 0)
        broken("%d registry keys left open", win32_host::open_key_handles());
    if (win32_host::dc_counts().live() != 0)
        broken("%d device contexts left", win32_host::dc_counts().live());
    if (win32_host::live_allocations() != 0)
        broken("%d allocations left", win32_host::live_allocations());
}

void restart_checks()
{
    g_calls_checked = 0;
    g_boxes_checked = 0;
}

} // namespace fuzz_tests
