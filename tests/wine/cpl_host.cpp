// Plays the Control Panel for QV_CPL.cpl on a real Win32: loads the applet,
// sends it the Control Panel's messages and prints what it answers. The
// applet's display calls go to an in-process display-driver model, so the
// real property sheet, dialogs and registry run with a board family of
// choice. The model's state is written when the applet has been let go.
//
//   cpl_host --cpl PATH --out DIR [--family N] [--boards N] [--board-index N]
//            [--layout N] [--mode WxHxBPP@HZ] [--fail-current-read N]
//            [--refuse-layout N]
//
// Family 0 stands for a display driver that knows none of the family's escapes.
// --fail-current-read N makes the Nth read of the current settings and every
// later one fail; --refuse-layout N makes the driver refuse layout code N.
// Files in DIR: cpl.log (messages and display calls), model.txt (the model
// at exit), and window dumps on request (window_dump.h).
#include <windows.h>

#include <cpl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/wine/display_binding.h"
#include "tests/wine/window_dump.h"

namespace {

constexpr int kBadUsage = 2;
constexpr int kLoadFailed = 3;
constexpr int kBindFailed = 4;
constexpr unsigned char kUnfilled = 0xCC;

const uint32_t kFamilyEscapes[] = {
    ESC_GET_BOARD_FAMILY,   ESC_GET_VIRTUAL_LAYOUT, ESC_GET_BIOS_DATA,   ESC_GET_BOARD_INDEX,
    ESC_SET_VIRTUAL_LAYOUT, ESC_GET_MULTI_BOARD,    ESC_GET_BOARD_COUNT,
};

struct Options {
    std::string cpl;
    std::string out;
    sim::DisplayDriver driver;
};

bool parse_mode(const char* text, sim::DisplayMode& mode)
{
    unsigned width, height, bpp, frequency;
    if (std::sscanf(text, "%ux%ux%u@%u", &width, &height, &bpp, &frequency) != 4)
        return false;
    mode = {width, height, bpp, frequency};
    return true;
}

bool parse(int argc, char** argv, Options& options)
{
    sim::DisplayDriver& driver = options.driver;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        const char* value = argv[i + 1];
        unsigned long number = std::strtoul(value, nullptr, 0);
        if (name == "--cpl")
            options.cpl = value;
        else if (name == "--out")
            options.out = value;
        else if (name == "--family")
            driver.family = number;
        else if (name == "--boards")
            driver.board_count = number;
        else if (name == "--board-index")
            driver.board_index = number;
        else if (name == "--layout")
            driver.layout = number;
        else if (name == "--fail-current-read")
            fail_current_reads_from(number);
        else if (name == "--refuse-layout")
            driver.refused_layouts.insert(number);
        else if (name == "--mode") {
            if (!parse_mode(value, driver.current))
                return false;
        } else
            return false;
    }
    // A driver that cannot name the family is another maker's: it knows
    // none of the family's escapes.
    if (driver.family == 0)
        for (uint32_t code : kFamilyEscapes)
            driver.set_fault(code, sim::EscapeFault::Unsupported);
    return argc % 2 == 1 && !options.cpl.empty() && !options.out.empty();
}

FILE* log_file;

// Both to the console and to the log that the driving script reads.
__attribute__((format(printf, 1, 2))) void say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    std::vprintf(format, args);
    std::vfprintf(log_file, format, again);
    va_end(again);
    va_end(args);
    std::fflush(stdout);
    std::fflush(log_file);
}

void describe(const NEWCPLINFOA& info)
{
    say("newcplinfo size=%lu flags=%lu help_context=%lu data=%ld icon=%d\n", info.dwSize,
        info.dwFlags, info.dwHelpContext, static_cast<long>(info.lData), info.hIcon != NULL);
    say("newcplinfo name=\"%.32s\" info=\"%.64s\" help_file_empty=%d\n", info.szName, info.szInfo,
        info.szHelpFile[0] == '\0');
}

// The window the Control Panel would pass: the sheet's owner.
HWND control_panel_window()
{
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(NULL);
    window_class.lpszClassName = "cpl_host";
    RegisterClassA(&window_class);
    return CreateWindowA("cpl_host", "Control Panel", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, NULL,
                         NULL, window_class.hInstance, NULL);
}

void run_applet(APPLET_PROC applet, HWND panel)
{
    say("CPL_INIT -> %ld\n", applet(panel, CPL_INIT, 0, 0));
    say("CPL_GETCOUNT -> %ld\n", applet(panel, CPL_GETCOUNT, 0, 0));

    CPLINFO old_info;
    std::memset(&old_info, kUnfilled, sizeof old_info);
    LONG inquire = applet(panel, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&old_info));
    const auto* bytes = reinterpret_cast<const unsigned char*>(&old_info);
    bool untouched = true;
    for (size_t i = 0; i < sizeof old_info; ++i)
        untouched = untouched && bytes[i] == kUnfilled;
    say("CPL_INQUIRE -> %ld untouched=%d\n", inquire, untouched);

    NEWCPLINFOA info;
    std::memset(&info, kUnfilled, sizeof info);
    say("CPL_NEWINQUIRE -> %ld\n",
        applet(panel, CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&info)));
    describe(info);
    LPARAM data = info.lData;

    say("CPL_DBLCLK -> %ld\n", applet(panel, CPL_DBLCLK, 0, data));
    say("CPL_STOP -> %ld\n", applet(panel, CPL_STOP, 0, data));
    say("CPL_EXIT -> %ld\n", applet(panel, CPL_EXIT, 0, 0));
}

void write_state(const Options& options)
{
    std::string path = options.out + "\\model.partial";
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return;
    report_display_state(options.driver, out);
    std::fclose(out);
    MoveFileExA(path.c_str(), (options.out + "\\model.txt").c_str(), MOVEFILE_REPLACE_EXISTING);
}

} // namespace

int main(int argc, char** argv)
{
    static Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: cpl_host --cpl PATH --out DIR [--family N] [--boards N] "
                             "[--board-index N] [--layout N] [--mode WxHxBPP@HZ] "
                             "[--fail-current-read N] [--refuse-layout N]\n");
        return kBadUsage;
    }
    log_file = std::fopen((options.out + "\\cpl.log").c_str(), "wb");
    if (!log_file)
        return kBadUsage;

    HMODULE applet_module = LoadLibraryA(options.cpl.c_str());
    // Through void*: the export's type is known only to us.
    auto applet = reinterpret_cast<APPLET_PROC>(
        reinterpret_cast<void*>(applet_module ? GetProcAddress(applet_module, "CPlApplet") : NULL));
    if (!applet) {
        say("load failed: error %lu\n", GetLastError());
        return kLoadFailed;
    }
    if (!bind_display_calls(applet_module, options.driver, log_file))
        return kBindFailed;

    start_window_dumps(options.out.c_str());
    run_applet(applet, control_panel_window());
    say("FreeLibrary -> %d\n", FreeLibrary(applet_module) ? 1 : 0);
    write_state(options);
    return 0;
}
