// QV_CPL, the Control Panel applet of the Quorvane boards: its entry points,
// the property sheet, the pages and the exchange with the display driver.
#pragma once

#include "applet/registry_value.h"
#include "applet/win32.h"

// The library's own module: every icon, string and dialog comes from it.
extern HINSTANCE applet_instance;

// The board family the display driver reported when the sheet was last
// opened: 2, 3 or 4, or 0 when the driver gave no answer.
extern DWORD board_family;

// Sends one escape to the display driver over a device context of its own.
// Returns the driver's result: above 0 for success.
int send_driver_escape(DWORD escape, DWORD value, int out_size, void* out);

// ExtEscape reports 0 for an escape the driver does not carry out and a
// negative value when the call itself failed; only a positive result means
// the driver answered.
inline bool escape_succeeded(int result)
{
    return result > 0;
}

void query_board_family();
void show_control_center(HWND parent);

INT_PTR CALLBACK info_page_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK desktop_page_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK options_page_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The state a page's record carries in its lParam: the page procedure gets
// the record with WM_INITDIALOG and keeps the state in its dialog. Null
// before that.
template <typename STATE> STATE* page_state(HWND dialog, UINT message, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return reinterpret_cast<STATE*>(GetWindowLongPtrA(dialog, DWLP_USER));
    LPARAM state = reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam;
    SetWindowLongPtrA(dialog, DWLP_USER, state);
    return reinterpret_cast<STATE*>(state);
}

// A page procedure over the state in its record: messages before
// WM_INITDIALOG get FALSE, the page's key is closed when the page goes, and
// ANSWER handles the rest.
template <typename STATE, INT_PTR (*ANSWER)(HWND, STATE&, UINT, WPARAM, LPARAM)>
INT_PTR page_procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    STATE* page = page_state<STATE>(dialog, message, lParam);
    if (!page)
        return FALSE;
    if (message != WM_DESTROY)
        return ANSWER(dialog, *page, message, wParam, lParam);
    close_key(page->key);
    return TRUE;
}

// The driver options page's state, carried in its page record: the MCD key
// while the page lives, and the acceleration switch as the check box last
// showed it.
struct OPTIONS_PAGE {
    HKEY key;
    DWORD enable;
};

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
extern "C" LONG APIENTRY CPlApplet(HWND hwndCPl, UINT uMsg, LPARAM lParam1, LPARAM lParam2);
