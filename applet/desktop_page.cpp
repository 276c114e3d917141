// The desktop page: Normal Mode, Double Wide, Two Tall or Multi Board. Its
// start reads the layout in force from the display driver, a click picks a
// layout, and Apply (desktop_apply.cpp) switches to it.
#include "applet.h"
#include "desktop.h"
#include "escapes.h"
#include "registry_value.h"
#include "resource.h"

DESKTOP_SETTINGS desktop_settings;
DESKTOP_LAYOUT current_layout;
DWORD board_count;

namespace {

const char* const LAYOUT_KEYS[] = {
    "SYSTEM\\CurrentControlSet\\Services\\zorxv2\\Device0",
    "SYSTEM\\CurrentControlSet\\Services\\halcyra3d\\Device0",
    "SYSTEM\\CurrentControlSet\\Services\\halcyra4\\Device0",
};
constexpr DWORD FIRST_KEYED_FAMILY = 2;

// The family's key, or null for a family that has none.
const char* layout_key()
{
    DWORD row = board_family - FIRST_KEYED_FAMILY;
    return row < sizeof LAYOUT_KEYS / sizeof LAYOUT_KEYS[0] ? LAYOUT_KEYS[row] : NULL;
}

bool multi_board_family()
{
    return board_family == 3 || board_family == 4;
}

void open_layout_key()
{
    const char* path = layout_key();
    HKEY key;
    if (path && RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) ==
                    ERROR_SUCCESS) {
        desktop_settings.hKey = key;
        return;
    }
    MessageBoxA(NULL, "Could not open QV 2 Registry Key", "ERROR", MB_OK | MB_ICONERROR);
}

// A stored flag that is missing or not a 4-byte number counts as 0.
DWORD stored_flag(const char* name)
{
    return desktop_settings.hKey ? read_stored_dword(desktop_settings.hKey, name) : 0;
}

// Double Wide and Two Tall in force. A driver that cannot say leaves the
// layout the last Apply stored, read as the miniport reads it at its start:
// only a 1 counts, and double width wins.
void read_virtual_layout()
{
    DWORD flags[2] = {0, 0};
    if (escape_succeeded(
            send_driver_escape(ESC_GET_VIRTUAL_LAYOUT, ESC_FILLER, sizeof flags, flags))) {
        desktop_settings.DoubleWide = flags[0] != 0 ? 1 : 0;
        desktop_settings.TwoTall = flags[0] == 0 && flags[1] != 0 ? 1 : 0;
    } else {
        desktop_settings.DoubleWide = stored_flag("DoubleWide") == 1 ? 1 : 0;
        desktop_settings.TwoTall = !desktop_settings.DoubleWide && stored_flag("TwoTall") == 1;
    }
    desktop_settings.MultiBoardFlag = MULTI_BOARD_OFF;
}

// The number of boards and whether the desktop spans them all (families
// that have more than one board only).
void read_multi_board()
{
    board_count = 1;
    if (!multi_board_family())
        return;
    DWORD count = 0;
    if (!escape_succeeded(
            send_driver_escape(ESC_GET_BOARD_COUNT, ESC_FILLER, sizeof count, &count)))
        return;
    // The driver promises at least one board; the sizes are divided by it.
    board_count = count != 0 ? count : 1;
    DWORD& multi = desktop_settings.MultiBoardFlag;
    if (escape_succeeded(
            send_driver_escape(ESC_GET_MULTI_BOARD, ESC_FILLER, sizeof multi, &multi)) &&
        multi == MULTI_BOARD_ON) {
        set_flags(desktop_settings, MULTI_BOARD_FLAGS);
        return;
    }
    multi = MULTI_BOARD_OFF;
}

BOOL start_page(HWND dialog)
{
    desktop_settings = DESKTOP_SETTINGS{};
    open_layout_key();
    read_virtual_layout();
    read_multi_board();
    set_up_desktop_controls(dialog);

    refresh_mode_list();
    DEVMODEA mode;
    if (!read_current_mode(&mode))
        return FALSE;
    LAYOUT_FLAGS f = flags_of(desktop_settings);
    current_layout = {f.DoubleWide, mode.dmPelsWidth, f.TwoTall, f.MultiBoardFlag,
                      mode.dmPelsHeight};
    return TRUE;
}

// A click on one of the four layouts; the sheet's Apply button is enabled
// when the choice differs from the one before it.
void choose_layout(HWND dialog, int control)
{
    DESKTOP_SETTINGS& r = desktop_settings;
    bool changed = false;
    switch (control) {
    case IDC_NORMAL_MODE:
        changed = !same_flags(flags_of(r), NORMAL_FLAGS);
        set_flags(r, NORMAL_FLAGS);
        break;
    case IDC_DOUBLE_WIDE:
        changed = r.DoubleWide == 0;
        set_flags(r, DOUBLE_WIDE_FLAGS);
        break;
    case IDC_TWO_TALL:
        changed = r.TwoTall == 0;
        set_flags(r, TWO_TALL_FLAGS);
        break;
    default:
        changed = r.MultiBoardFlag == MULTI_BOARD_OFF;
        set_flags(r, MULTI_BOARD_FLAGS);
        break;
    }
    if (changed)
        SendMessageA(GetParent(dialog), PSM_CHANGED, reinterpret_cast<WPARAM>(dialog), 0);
}

} // namespace

void set_up_desktop_controls(HWND dialog)
{
    const DESKTOP_SETTINGS& r = desktop_settings;
    if (!r.hKey)
        return;
    int checked = r.TwoTall == 1                       ? IDC_TWO_TALL
                  : r.DoubleWide == 1                  ? IDC_DOUBLE_WIDE
                  : r.MultiBoardFlag == MULTI_BOARD_ON ? IDC_MULTI_BOARD
                                                       : IDC_NORMAL_MODE;
    CheckRadioButton(dialog, IDC_NORMAL_MODE, IDC_MULTI_BOARD, checked);
    if (!multi_board_family()) {
        ShowWindow(GetDlgItem(dialog, IDC_MULTI_GROUP), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_MULTI_BOARD), SW_HIDE);
    } else if (board_count < 2) {
        EnableWindow(GetDlgItem(dialog, IDC_MULTI_GROUP), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_MULTI_BOARD), FALSE);
    }
}

INT_PTR CALLBACK desktop_page_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return start_page(dialog);
    case WM_COMMAND: {
        int control = LOWORD(wParam);
        if (control < IDC_NORMAL_MODE || control > IDC_MULTI_BOARD)
            return FALSE;
        choose_layout(dialog, control);
        return TRUE;
    }
    case WM_NOTIFY:
        if (lParam && reinterpret_cast<const NMHDR*>(lParam)->code == PSN_APPLY) {
            apply_desktop_layout(dialog);
            return FALSE;
        }
        return TRUE;
    case WM_DESTROY:
        if (desktop_settings.hKey)
            RegCloseKey(desktop_settings.hKey);
        desktop_settings.hKey = NULL;
        return TRUE;
    default:
        return FALSE;
    }
}
