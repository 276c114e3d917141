#include "tests/wine/control_layout.h"

namespace {

// Room a radio button or check box keeps for its mark and the gap after
// it, and the indent of a group box's caption from the frame's left end.
constexpr int kMarkWidth = 16;
constexpr int kCaptionIndent = 8;

// Laid out in the dialog's font by the thread that measures it; the control
// may belong to another thread, so its font is asked for, not assumed.
RECT measure(HWND control, const char* text, UINT flags, int width)
{
    RECT room = {0, 0, width, 0};
    HDC dc = GetDC(control);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : NULL;
    DrawTextA(dc, text, -1, &room, flags | DT_CALCRECT);
    if (old)
        SelectObject(dc, old);
    ReleaseDC(control, dc);
    return room;
}

int static_text_fits(HWND control, const char* text, const RECT& client)
{
    LONG style = GetWindowLongA(control, GWL_STYLE);
    UINT flags = DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
    RECT needed = measure(control, text, flags, client.right);
    return needed.right <= client.right && needed.bottom <= client.bottom;
}

int one_line_fits(HWND control, const char* text, int room, const RECT& client)
{
    RECT needed = measure(control, text, DT_SINGLELINE, room);
    return needed.right <= room && needed.bottom <= client.bottom;
}

} // namespace

ControlKind control_kind(HWND control)
{
    char name[64] = {};
    GetClassNameA(control, name, sizeof name);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (lstrcmpiA(name, "Static") == 0) {
        LONG type = style & SS_TYPEMASK;
        return type == SS_BITMAP || type == SS_ICON ? ControlKind::Picture : ControlKind::Text;
    }
    if (lstrcmpiA(name, "Button") != 0)
        return ControlKind::Other;
    switch (style & BS_TYPEMASK) {
    case BS_GROUPBOX:
        return ControlKind::Group;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return ControlKind::Radio;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
        return ControlKind::Check;
    default:
        return ControlKind::Push;
    }
}

const char* kind_name(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Group:
        return "group";
    case ControlKind::Radio:
        return "radio";
    case ControlKind::Check:
        return "check";
    case ControlKind::Push:
        return "push";
    case ControlKind::Picture:
        return "picture";
    case ControlKind::Text:
        return "text";
    default:
        return "other";
    }
}

int text_fits(HWND control, ControlKind kind, const char* text)
{
    RECT client = {};
    GetClientRect(control, &client);
    switch (kind) {
    case ControlKind::Text:
        return static_text_fits(control, text, client);
    case ControlKind::Radio:
    case ControlKind::Check:
        return one_line_fits(control, text, client.right - kMarkWidth, client);
    case ControlKind::Group:
        return one_line_fits(control, text, client.right - 2 * kCaptionIndent, client);
    case ControlKind::Push:
        return one_line_fits(control, text, client.right, client);
    default:
        return -1;
    }
}
