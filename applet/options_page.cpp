// The driver options page: the system's OpenGL mini-client-driver switch.
#include "applet/applet.h"
#include "applet/registry_value.h"
#include "applet/resource.h"

namespace {

const char MCD_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\MCD";
const char ENABLE_VALUE[] = "Enable";

// A missing value, a failed read or a value of another type counts as off.
DWORD read_enable(HKEY key)
{
    return read_stored_dword(key, ENABLE_VALUE) != 0 ? 1 : 0;
}

void start_page(HWND dialog, OPTIONS_PAGE& page)
{
    page = OPTIONS_PAGE{};
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, MCD_KEY, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS) {
        MessageBoxA(NULL, "Could not open QV 6 Registry Key", "ERROR", MB_OK | MB_ICONERROR);
        return;
    }
    page.key = key;
    page.enable = read_enable(key);
    CheckDlgButton(dialog, IDC_MCD_ACCELERATION, page.enable ? BST_CHECKED : BST_UNCHECKED);
}

void store_enable(const OPTIONS_PAGE& page)
{
    if (!page.key)
        return;
    DWORD value = page.enable ? 1 : 0;
    RegSetValueExA(page.key, ENABLE_VALUE, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
}

INT_PTR answer(HWND dialog, OPTIONS_PAGE& page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        start_page(dialog, page);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDC_MCD_ACCELERATION)
            return FALSE;
        // Every click counts as a change, also one back to the state read.
        page.enable = IsDlgButtonChecked(dialog, IDC_MCD_ACCELERATION) == BST_CHECKED ? 1 : 0;
        SendMessageA(GetParent(dialog), PSM_CHANGED, reinterpret_cast<WPARAM>(dialog), 0);
        return TRUE;
    case WM_NOTIFY:
        if (lParam && reinterpret_cast<const NMHDR*>(lParam)->code == PSN_APPLY)
            store_enable(page);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK options_page_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return page_procedure<OPTIONS_PAGE, answer>(dialog, message, wParam, lParam);
}
