// Windows, dialogs and controls of the host: a dialog is built from its
// module's template, controls keep their text, check, enabled and visible
// state, and messages go to the dialog procedure as the dialog manager
// sends them. Message boxes run a modal loop of their own. What tests look
// at, and the user's click, are in observe.cpp.
#include "platform/win32/state.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace win32_host {

Window* window(HWND h)
{
    auto& windows = state().windows;
    auto it = windows.find(reinterpret_cast<Window*>(h));
    return it == windows.end() ? nullptr : it->second.get();
}

HWND handle(Window* w)
{
    return reinterpret_cast<HWND>(w);
}

Window* create_window(Window::Kind kind, Window* parent)
{
    auto w = std::make_unique<Window>();
    Window* raw = w.get();
    raw->kind = kind;
    raw->parent = parent;
    if (parent)
        parent->children.push_back(raw);
    state().windows[raw] = std::move(w);
    return raw;
}

void destroy_window(Window* w)
{
    if (!window(handle(w)))
        return;
    if (w->kind == Window::Kind::Dialog && w->procedure)
        w->procedure(handle(w), WM_DESTROY, 0, 0);
    std::vector<Window*> children = w->children;
    for (Window* c : children)
        destroy_window(c);
    if (w->parent) {
        auto& siblings = w->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
    }
    state().windows.erase(w);
}

Window* child(Window* dialog, int id)
{
    if (!dialog)
        return nullptr;
    for (Window* c : dialog->children)
        if (c->id == id)
            return c;
    return nullptr;
}

Window* create_dialog(HINSTANCE instance, int template_id, Window* parent, DLGPROC procedure,
                      LPARAM init_param)
{
    const Module& m = module(instance);
    auto it = m.dialogs.find(template_id);
    if (it == m.dialogs.end())
        return nullptr;
    const DialogTemplate& t = it->second;
    Window* dialog = create_window(Window::Kind::Dialog, parent);
    dialog->text = t.caption;
    dialog->style = t.style;
    dialog->procedure = procedure;
    dialog->template_id = template_id;
    Window* focus = nullptr;
    for (const DialogControl& c : t.controls) {
        Window::Kind kind = Window::Kind::Static;
        if (c.window_class == "Button")
            kind = Window::Kind::Button;
        else if (c.window_class == "Edit")
            kind = Window::Kind::Edit;
        Window* w = create_window(kind, dialog);
        w->id = c.id;
        w->text = c.text;
        w->image = c.image;
        w->style = c.style;
        if (!focus && (c.style & WS_TABSTOP))
            focus = w;
    }
    if (procedure)
        procedure(handle(dialog), WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), init_param);
    return dialog;
}

DWORD button_type(const Window* w)
{
    return w->kind == Window::Kind::Button ? (w->style & BS_TYPEMASK) : ~0ul;
}

namespace {

bool is_check_button(const Window* w)
{
    DWORD t = button_type(w);
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_RADIOBUTTON ||
           t == BS_AUTORADIOBUTTON || t == BS_3STATE || t == BS_AUTO3STATE;
}

std::string message_name(UINT message)
{
    switch (message) {
    case PSM_CHANGED:
        return "PSM_CHANGED";
    case PSM_UNCHANGED:
        return "PSM_UNCHANGED";
    case BM_SETCHECK:
        return "BM_SETCHECK";
    case BM_GETCHECK:
        return "BM_GETCHECK";
    default:
        return std::to_string(message);
    }
}

// The dialog manager's own answer to a message the procedure left to it:
// it erases the background (and says so) and answers 0 to the rest.
LRESULT default_dialog_answer(UINT message)
{
    return message == WM_ERASEBKGND ? 1 : 0;
}

// What SendMessage returns for a dialog, as the dialog manager answers for
// its procedure: DWL_MSGRESULT, cleared before every message, when the
// procedure handled the message (returned TRUE), else the default answer;
// WM_INITDIALOG returns the procedure's own result (focus set or not).
LRESULT dialog_message(Window* w, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (!w->procedure)
        return 0;
    HWND h = handle(w);
    w->msg_result = 0;
    INT_PTR handled = w->procedure(h, message, wparam, lparam);
    if (message == WM_INITDIALOG)
        return handled;
    // The procedure may have destroyed its own window.
    Window* still = window(h);
    if (!handled)
        return default_dialog_answer(message);
    return still ? still->msg_result : 0;
}

} // namespace

Window* top_level(Window* w)
{
    while (w && w->parent)
        w = w->parent;
    return w;
}

void set_message_box_script(MessageBoxScript script)
{
    state().message_box_script = std::move(script);
}

LRESULT send(HWND h, UINT message, WPARAM wparam, LPARAM lparam)
{
    Window* w = window(h);
    if (!w)
        return 0;
    switch (message) {
    case WM_SETTEXT:
        w->text = lparam ? reinterpret_cast<const char*>(lparam) : "";
        return TRUE;
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_GETTEXT: {
        if (wparam == 0 || !lparam)
            return 0;
        size_t n = std::min<size_t>(w->text.size(), wparam - 1);
        std::memcpy(reinterpret_cast<char*>(lparam), w->text.data(), n);
        reinterpret_cast<char*>(lparam)[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    default:
        break;
    }
    switch (w->kind) {
    case Window::Kind::Dialog:
        return dialog_message(w, message, wparam, lparam);
    case Window::Kind::Sheet:
        if (message == PSM_CHANGED && w->sheet)
            w->sheet->changed(reinterpret_cast<HWND>(wparam));
        return 0;
    case Window::Kind::Button:
        if (message == BM_GETCHECK)
            return w->checked ? BST_CHECKED : BST_UNCHECKED;
        if (message == BM_SETCHECK && is_check_button(w))
            w->checked = wparam == BST_CHECKED;
        return 0;
    default:
        return 0;
    }
}

} // namespace win32_host

using namespace win32_host;

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    if (!hInstance || !IS_INTRESOURCE(lpIconName))
        return nullptr;
    int id = static_cast<int>(reinterpret_cast<uintptr_t>(lpIconName));
    if (!module(hInstance).icons.count(id))
        return nullptr;
    return reinterpret_cast<HICON>(kIconHandleBase | static_cast<uintptr_t>(id));
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    if (!lpBuffer || cchBufferMax <= 0)
        return 0;
    const Module& m = module(hInstance);
    auto it = m.strings.find(static_cast<int>(uID));
    if (it == m.strings.end()) {
        lpBuffer[0] = '\0';
        return 0;
    }
    size_t n = std::min<size_t>(it->second.size(), static_cast<size_t>(cchBufferMax) - 1);
    std::memcpy(lpBuffer, it->second.data(), n);
    lpBuffer[n] = '\0';
    return static_cast<int>(n);
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    return handle(child(window(hDlg), nIDDlgItem));
}

int WINAPI GetDlgCtrlID(HWND hWnd)
{
    Window* w = window(hWnd);
    return w ? w->id : 0;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    if (!window(hWnd))
        return FALSE;
    return send(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    if (nMaxCount <= 0)
        return 0;
    return static_cast<int>(
        send(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton)
{
    Window* dialog = window(hDlg);
    if (!dialog)
        return FALSE;
    record_call("CheckRadioButton " + std::to_string(nIDCheckButton));
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
        if (Window* c = child(dialog, id))
            send(handle(c), BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck)
{
    Window* c = child(window(hDlg), nIDButton);
    if (!c)
        return FALSE;
    send(handle(c), BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton)
{
    Window* c = child(window(hDlg), nIDButton);
    return c ? static_cast<UINT>(send(handle(c), BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    Window* w = window(hWnd);
    if (!w)
        return FALSE;
    BOOL was_visible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    if (nCmdShow == SW_HIDE)
        w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    else
        w->style |= WS_VISIBLE;
    record_call("ShowWindow " + std::to_string(w->id) + " " + std::to_string(nCmdShow));
    return was_visible;
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    Window* w = window(hWnd);
    if (!w)
        return FALSE;
    BOOL was_disabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (bEnable)
        w->style &= ~static_cast<DWORD>(WS_DISABLED);
    else
        w->style |= WS_DISABLED;
    record_call("EnableWindow " + std::to_string(w->id) + " " + std::to_string(bEnable ? 1 : 0));
    return was_disabled;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd)
{
    Window* w = window(hWnd);
    return w && !(w->style & WS_DISABLED);
}

BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    Window* w = window(hWnd);
    return w && (w->style & WS_VISIBLE);
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (!window(hWnd)) {
        record_call("SendMessageA to no window: " + message_name(Msg));
        return 0;
    }
    if (Msg == PSM_CHANGED || Msg == PSM_UNCHANGED)
        record_call("SendMessageA " + message_name(Msg));
    return send(hWnd, Msg, wParam, lParam);
}

HWND WINAPI GetParent(HWND hWnd)
{
    Window* w = window(hWnd);
    return w ? handle(w->parent) : nullptr;
}

// A dialog's window words: DWL_MSGRESULT and DWL_USER, both 0 when the
// dialog is made. A set returns the previous value; other windows and
// indexes keep nothing.
static LONG* dialog_word(HWND hWnd, int nIndex)
{
    Window* w = window(hWnd);
    if (!w || w->kind != Window::Kind::Dialog)
        return nullptr;
    return nIndex == DWL_MSGRESULT ? &w->msg_result : nIndex == DWL_USER ? &w->user_data : nullptr;
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong)
{
    LONG* word = dialog_word(hWnd, nIndex);
    return word ? std::exchange(*word, dwNewLong) : 0;
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex)
{
    LONG* word = dialog_word(hWnd, nIndex);
    return word ? *word : 0;
}

// The box is a modal dialog: it disables its owner's top-level window (not a
// box without owner) and runs its own message loop, in which every other
// window of the thread keeps getting its messages, until it is dismissed.
int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    State& s = state();
    MessageBoxCall call{hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "Error", uType};
    record_call("MessageBoxA " + call.caption + ": " + call.text);
    s.message_boxes.push_back(call);
    Window* owner = top_level(window(hWnd));
    bool disabled = owner && !(owner->style & WS_DISABLED);
    if (disabled)
        owner->style |= WS_DISABLED;
    ++s.message_loops;
    // A copy: the script may set another one.
    MessageBoxScript script = s.message_box_script;
    int button = script ? script(call) : IDOK;
    --s.message_loops;
    if (disabled && window(handle(owner)))
        owner->style &= ~static_cast<DWORD>(WS_DISABLED);
    return button;
}

} // extern "C"
