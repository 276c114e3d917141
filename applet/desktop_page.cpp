// The desktop page: Normal Mode, Double Wide, Two Tall or Multi Board. Its
// start reads the layout in force from the display driver, a click picks a
// layout, and Apply (desktop_apply.cpp) switches to it.
#include "applet/applet.h"
#include "applet/desktop.h"
#include "applet/escapes.h"
#include "applet/registry_value.h"
#include "applet/resource.h"

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

HKEY open_layout_key()
{
    const char* path = layout_key();
    HKEY key;
    if (path && RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) ==
                    ERROR_SUCCESS)
        return key;
    MessageBoxA(NULL, "Could not open QV 2 Registry Key", "ERROR", MB_OK | MB_ICONERROR);
    return NULL;
}

// A stored flag that is missing or not a 4-byte number counts as 0.
DWORD stored_flag(HKEY key, const char* name)
{
    return key ? read_stored_dword(key, name) : 0;
}

// Double Wide and Two Tall in force. A driver that cannot say leaves the
// layout the last Apply stored, read as the miniport reads it at its start:
// only a 1 counts, and double width wins.
LAYOUT_FLAGS read_virtual_layout(HKEY key)
{
    DWORD flags[2] = {0, 0};
    if (escape_succeeded(
            send_driver_escape(ESC_GET_VIRTUAL_LAYOUT, ESC_FILLER, sizeof flags, flags)))
        return {flags[0] != 0, flags[0] == 0 && flags[1] != 0, MULTI_BOARD_OFF};
    DWORD double_wide = stored_flag(key, "DoubleWide") == 1 ? 1 : 0;
    return {double_wide, !double_wide && stored_flag(key, "TwoTall") == 1, MULTI_BOARD_OFF};
}

// The number of boards and whether the desktop spans them all (families
// that have more than one board only).
void read_multi_board(DESKTOP_PAGE& page)
{
    page.board_count = 1;
    if (!multi_board_family())
        return;
    DWORD count = 0;
    if (!escape_succeeded(
            send_driver_escape(ESC_GET_BOARD_COUNT, ESC_FILLER, sizeof count, &count)))
        return;
    // The driver promises at least one board; the sizes are divided by it.
    page.board_count = count != 0 ? count : 1;
    DWORD& multi = page.choice.multi_board;
    if (escape_succeeded(
            send_driver_escape(ESC_GET_MULTI_BOARD, ESC_FILLER, sizeof multi, &multi)) &&
        multi == MULTI_BOARD_ON) {
        page.choice = MULTI_BOARD_FLAGS;
        return;
    }
    multi = MULTI_BOARD_OFF;
}

// Checks the radio button of `layout`.
void show_layout(HWND dialog, const LAYOUT_FLAGS& layout)
{
    int checked = layout.two_tall == 1                   ? IDC_TWO_TALL
                  : layout.double_wide == 1              ? IDC_DOUBLE_WIDE
                  : layout.multi_board == MULTI_BOARD_ON ? IDC_MULTI_BOARD
                                                         : IDC_NORMAL_MODE;
    CheckRadioButton(dialog, IDC_NORMAL_MODE, IDC_MULTI_BOARD, checked);
}

// Checks one of the four radio buttons and hides or greys Multi Board. A
// page without its key starts with none checked and nothing limited.
void set_up_controls(HWND dialog, const DESKTOP_PAGE& page)
{
    if (!page.key)
        return;
    show_layout(dialog, page.choice);
    if (!multi_board_family()) {
        ShowWindow(GetDlgItem(dialog, IDC_MULTI_GROUP), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_MULTI_BOARD), SW_HIDE);
    } else if (page.board_count < 2) {
        EnableWindow(GetDlgItem(dialog, IDC_MULTI_GROUP), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_MULTI_BOARD), FALSE);
    }
}

BOOL start_page(HWND dialog, DESKTOP_PAGE& page)
{
    page = DESKTOP_PAGE{};
    page.key = open_layout_key();
    page.choice = read_virtual_layout(page.key);
    read_multi_board(page);
    set_up_controls(dialog, page);

    refresh_mode_list();
    DEVMODEA mode;
    if (!read_current_mode(&mode))
        return FALSE;
    current_layout = {page.choice, mode.dmPelsWidth, mode.dmPelsHeight};
    return TRUE;
}

// A click on one of the four layouts; the sheet's Apply button is enabled
// when the choice differs from the one before it.
void choose_layout(HWND dialog, LAYOUT_FLAGS& choice, int control)
{
    bool changed = false;
    switch (control) {
    case IDC_NORMAL_MODE:
        changed = !same_flags(choice, NORMAL_FLAGS);
        choice = NORMAL_FLAGS;
        break;
    case IDC_DOUBLE_WIDE:
        changed = choice.double_wide == 0;
        choice = DOUBLE_WIDE_FLAGS;
        break;
    case IDC_TWO_TALL:
        changed = choice.two_tall == 0;
        choice = TWO_TALL_FLAGS;
        break;
    default:
        changed = choice.multi_board == MULTI_BOARD_OFF;
        choice = MULTI_BOARD_FLAGS;
        break;
    }
    if (changed)
        SendMessageA(GetParent(dialog), PSM_CHANGED, reinterpret_cast<WPARAM>(dialog), 0);
}

void show_error(const char* text)
{
    refresh_mode_list();
    MessageBoxA(NULL, text, "ERROR", MB_OK | MB_ICONERROR);
    refresh_mode_list();
}

// One Apply with its error box and its restore. From its end on, the choice
// is the layout in force, unless the user picks another one under the box.
void apply_once(DESKTOP_PAGE& page)
{
    APPLY_RESULT result = apply_desktop_layout(page);
    page.choice = current_layout.flags;
    if (result.error)
        show_error(result.error);
    if (result.restore_after_error)
        restore_desktop_layout(page.key);
}

// A PSN_APPLY while an Apply runs (pressed under its box) is not taken
// inside it: the running one finishes its steps, its restore, its writes
// and its message as it would alone, and then the layout chosen by then is
// applied. OK pressed under the box closes the sheet only after that, as
// the sheet's own loop sees the end only when this returns.
void apply_page(HWND dialog, DESKTOP_PAGE& page)
{
    if (page.apply_running) {
        page.apply_again = true;
        return;
    }
    if (same_flags(page.choice, current_layout.flags))
        return;
    page.apply_running = true;
    do {
        page.apply_again = false;
        apply_once(page);
    } while (page.apply_again && !same_flags(page.choice, current_layout.flags));
    page.apply_running = false;
    // A layout clicked under a box with no press after it goes with the box:
    // once this returns the sheet greys Apply (or closes, for OK).
    page.choice = current_layout.flags;
    // Also without the key: the button the user clicked must not stay
    // checked over the layout put back.
    if (!page.key)
        show_layout(dialog, page.choice);
    set_up_controls(dialog, page);
}

INT_PTR answer(HWND dialog, DESKTOP_PAGE& page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return start_page(dialog, page);
    case WM_COMMAND: {
        int control = LOWORD(wParam);
        if (control < IDC_NORMAL_MODE || control > IDC_MULTI_BOARD)
            return FALSE;
        choose_layout(dialog, page.choice, control);
        return TRUE;
    }
    case WM_NOTIFY:
        if (lParam && reinterpret_cast<const NMHDR*>(lParam)->code == PSN_APPLY) {
            apply_page(dialog, page);
            return FALSE;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK desktop_page_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return page_procedure<DESKTOP_PAGE, answer>(dialog, message, wParam, lParam);
}
