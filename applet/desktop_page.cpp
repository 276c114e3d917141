// The desktop page. Its layouts are switched in a later step; until then the
// page shows its choices and changes nothing.
#include "applet.h"

INT_PTR CALLBACK desktop_page_proc(HWND, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_NOTIFY:
    case WM_DESTROY:
        return TRUE;
    default:
        return FALSE;
    }
}
