// libFuzzer target for the applet's side of the display driver: the input
// decides every answer the applet gets (escape results and output bytes,
// BIOS texts with or without their terminating zero, board family, index and
// count, layout flags, display-settings results, the MCD and layout keys and
// their values, device contexts that cannot be created) and plays the user through the Control
// Panel item and its sheet: pages, clicks, Apply, OK and Cancel. The checks of applet_checks.h run
// after every step.
#include "tests/fuzz/applet_checks.h"
#include "tests/fuzz/applet_driver.h"
#include "tests/fuzz/applet_script.h"

#include "applet/applet.h"
#include "applet/desktop.h"
#include "platform/win32/host.h"
#include "platform/win32/observe.h"
#include "tests/support/build_paths.h"

#include <cstdio>
#include <cstdlib>
#include <set>

using namespace fuzz_tests;

namespace {

const char kMcdKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\MCD";
const char* const kMcdValues[] = {"Enable"};
const char kLayoutKey[] = "SYSTEM\\CurrentControlSet\\Services\\halcyra3d\\Device0";
const char* const kLayoutValues[] = {"DoubleWide", "TwoTall"};
const char kDefaultDirectory[] = "C:\\WINNT";
const HWND kControlPanel = reinterpret_cast<HWND>(0x4242);
constexpr int kMaxSheets = 8;

// The notifications a page may hear, by selector; past the table the
// selector is the code itself.
const UINT kNotifications[] = {PSN_APPLY, PSN_SETACTIVE, PSN_KILLACTIVE, PSN_RESET};
constexpr size_t kNotificationCount = sizeof kNotifications / sizeof kNotifications[0];

HINSTANCE g_module;
// KORVID_FUZZ_TRACE set: the platform calls of each input go to stderr.
bool g_trace = false;
// Sheets opened and escapes answered in this process, reported at exit.
unsigned long long g_sheets = 0;
unsigned long long g_escapes = 0;

void report_counts()
{
    std::fprintf(stderr, "applet_fuzzer: %llu sheets opened, %llu escapes answered\n", g_sheets,
                 g_escapes);
}

sim::DisplayMode mode_of(const ModeChoice& m)
{
    return {m.width, m.height, m.bits_per_pixel, m.frequency};
}

void set_display(sim::DisplayDriver& driver, const DisplayChoice& d)
{
    driver.fail_current_mode = d.flags & kDisplayFailCurrent;
    driver.fail_mode_list = d.flags & kDisplayFailList;
    driver.test_fault = d.test_result;
    driver.change_fault = d.change_result;
}

void set_up_driver(sim::DisplayDriver& driver, const AppletInput& in)
{
    driver.family = in.family;
    driver.board_index = in.board_index;
    driver.board_count = in.board_count;
    driver.layout = in.layout;
    for (int i = 0; i < 3; ++i)
        driver.bios_texts[i] = in.bios[i];
    set_display(driver, in.display);
    if (!in.modes.empty()) {
        driver.board_modes.clear();
        for (const ModeChoice& m : in.modes)
            driver.board_modes.push_back(mode_of(m));
        driver.current = driver.board_modes[in.current_index % in.modes.size()];
    }
    if (in.custom_current)
        driver.current = mode_of(in.current);
    driver.registry_mode = driver.current;
}

template <size_t N>
void set_up_key(const char* path, const KeyChoice& k, const char* const (&names)[N])
{
    if (k.state == KeyState::Missing)
        return;
    win32_host::create_key(HKEY_LOCAL_MACHINE, path);
    for (size_t i = 0; i < N && i < k.values.size(); ++i)
        if (k.values[i].present)
            win32_host::set_value(HKEY_LOCAL_MACHINE, path, names[i], k.values[i].type,
                                  k.values[i].data);
    if (k.state == KeyState::Denied)
        win32_host::deny_key(HKEY_LOCAL_MACHINE, path);
    else if (k.state == KeyState::ReadOnly)
        win32_host::read_only_key(HKEY_LOCAL_MACHINE, path);
    else if (k.state == KeyState::RefusesWrites)
        win32_host::refuse_writes(HKEY_LOCAL_MACHINE, path);
}

std::string windows_directory(uint8_t choice)
{
    if (choice == 0)
        return kDefaultDirectory;
    if (choice == kNoDirectory)
        return "";
    // Long directories reach the limit of the version file's path.
    return "C:\\" + std::string(choice + MAX_PATH - 0x100, 'd');
}

// A fresh Control Panel process: the applet's globals as loaded, the
// platform as booted.
void start_process(sim::DisplayDriver& driver, const AppletInput& in)
{
    win32_host::reset();
    restart_checks();
    board_family = 0;
    current_layout = {};
    win32_host::set_display_device(&driver);
    set_up_key(kMcdKey, in.mcd_key, kMcdValues);
    set_up_key(kLayoutKey, in.layout_key, kLayoutValues);
    win32_host::set_windows_directory(windows_directory(in.directory));
    std::set<int> failing;
    for (int bit = 0; bit < 8; ++bit)
        if (in.failing_contexts & (1 << bit))
            failing.insert(bit + 1);
    win32_host::fail_create_dc_calls(failing);
    DllMain(g_module, DLL_PROCESS_ATTACH, nullptr);
}

class Session {
  public:
    Session(const AppletInput& in, sim::DisplayDriver& model, FuzzedDriver& driver)
        : in_(in), model_(model), driver_(driver)
    {
    }

    void run()
    {
        while (next_ < in_.actions.size()) {
            const Action& a = in_.actions[next_++];
            if (a.op == Op::OpenSheet && sheets_ < kMaxSheets)
                open_sheet();
            else
                outside(a);
            check_calls();
        }
    }

  private:
    void open_sheet()
    {
        ++sheets_;
        ++g_sheets;
        driver_.forget();
        win32_host::set_sheet_script([this](win32_host::Sheet& sheet) { play(sheet); });
        CPlApplet(kControlPanel, CPL_DBLCLK, 0, 0);
        win32_host::set_sheet_script({});
        check_closed();
    }

    // The user at the sheet, until OK, Cancel or the end of the input.
    void play(win32_host::Sheet& sheet)
    {
        check_opened(sheet, driver_);
        check_texts(sheet);
        while (next_ < in_.actions.size() && !sheet.closed()) {
            const Action& a = in_.actions[next_++];
            if (a.op == Op::OpenSheet)
                continue; // the sheet is modal: the item cannot be opened twice
            inside(sheet, a);
            check_texts(sheet);
            check_calls();
        }
    }

    void inside(win32_host::Sheet& sheet, const Action& a)
    {
        switch (a.op) {
        case Op::Select:
            sheet.select(static_cast<int>(a.a % sheet.record().pages.size()));
            break;
        case Op::Click:
            click(sheet, a.a);
            break;
        case Op::Apply:
            sheet.apply();
            break;
        case Op::Ok:
            sheet.ok();
            break;
        case Op::Cancel:
            sheet.cancel();
            break;
        case Op::Command:
            command(sheet, a.a, a.b);
            break;
        case Op::Notify:
            notify(sheet, a.a);
            break;
        default:
            outside(a);
            break;
        }
    }

    void outside(const Action& a)
    {
        switch (a.op) {
        case Op::ControlPanel:
            control_panel(a.a, a.b);
            break;
        case Op::Display:
            set_display(model_, a.display);
            break;
        case Op::Driver:
            model_.layout = a.a;
            model_.board_count = a.b;
            break;
        default:
            break;
        }
    }

    static void click(win32_host::Sheet& sheet, uint32_t pick)
    {
        HWND page = sheet.page(sheet.current());
        const auto& m = win32_host::module(g_module);
        const auto& controls = m.dialogs.at(win32_host::template_of(page)).controls;
        if (!controls.empty())
            sheet.click(controls[pick % controls.size()].id);
    }

    // A command from a control the user cannot reach comes from nowhere.
    static void command(win32_host::Sheet& sheet, uint32_t id, uint32_t code)
    {
        HWND page = sheet.page(sheet.current());
        int control = static_cast<int>(id);
        if (win32_host::has_control(page, control) &&
            (!win32_host::visible(page, control) || !win32_host::enabled(page, control)))
            return;
        win32_host::send(page, WM_COMMAND, MAKEWPARAM(id, code),
                         reinterpret_cast<LPARAM>(GetDlgItem(page, control)));
    }

    static void notify(win32_host::Sheet& sheet, uint32_t select)
    {
        UINT code = select < kNotificationCount ? kNotifications[select] : select;
        PSHNOTIFY n{{sheet.window(), 0, code}, 0};
        win32_host::send(sheet.page(sheet.current()), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
    }

    static void control_panel(uint32_t message, uint32_t item)
    {
        if (message == CPL_DBLCLK)
            return; // opening the item is an action of its own
        NEWCPLINFOA info;
        CPlApplet(kControlPanel, message, static_cast<LPARAM>(item),
                  reinterpret_cast<LPARAM>(&info));
    }

    const AppletInput& in_;
    sim::DisplayDriver& model_;
    FuzzedDriver& driver_;
    size_t next_ = 0;
    int sheets_ = 0;
};

void trace_calls()
{
    for (const std::string& line : win32_host::calls())
        std::fprintf(stderr, "  %s\n", line.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_trace = std::getenv("KORVID_FUZZ_TRACE") != nullptr;
    std::atexit(report_counts);
    g_module = win32_host::load_module(testing_support::applet_resources());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AppletInput in = read_input(data, size);
    sim::DisplayDriver model;
    set_up_driver(model, in);
    FuzzedDriver driver(model, in.plans);
    start_process(model, in);
    win32_host::set_escape_hook(
        [&driver](int escape, int in_size, const void* input, int out_size, void* out, int* r) {
            ++g_escapes;
            *r = driver.answer(escape, in_size, input, out_size, out);
            return true;
        });
    Session(in, model, driver).run();
    if (g_trace)
        trace_calls();
    win32_host::reset();
    return 0;
}
