// The common controls of the host: the property sheet runs modally as the
// real one does. It creates the start page when it opens and every other page
// when it is first shown, enables Apply when a page reports a change, sends
// PSN_APPLY to every page created so far for Apply and OK, and destroys the
// pages when it closes. It takes the pages' answers (DWL_MSGRESULT) as
// comctl32 does: a page that answers PSN_KILLACTIVE with TRUE keeps the sheet
// where it is, one that answers PSN_APPLY with PSNRET_INVALID or
// PSNRET_INVALID_NOCHANGEPAGE stops the Apply and keeps the sheet open. As
// in the common controls of NT 4.0, PSN_APPLY carries no parameter: a page
// cannot tell OK from Apply. A script set by the test plays the user meanwhile.
#include "platform/win32/state.h"

namespace win32_host {

namespace {

std::string resource_text(HINSTANCE instance, LPCSTR text)
{
    if (!text)
        return "";
    if (!IS_INTRESOURCE(text))
        return text;
    const Module& m = module(instance);
    auto it = m.strings.find(static_cast<int>(reinterpret_cast<uintptr_t>(text)));
    return it == m.strings.end() ? "" : it->second;
}

int resource_id(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name)) : 0;
}

LRESULT notify(HWND sheet, HWND page, UINT code, LPARAM param)
{
    PSHNOTIFY n{{sheet, 0, code}, param};
    return send(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
}

} // namespace

void Sheet::create_page(int index)
{
    PageRecord& p = record_.pages.at(index);
    if (p.window)
        return;
    record_call("create page " + std::to_string(index));
    // The page's procedure sees WM_INITDIALOG with its page record.
    Window* page = create_dialog(p.instance, p.template_id, win32_host::window(window_),
                                 p.procedure, reinterpret_cast<LPARAM>(p.source));
    p.window = handle(page);
}

bool Sheet::usable() const
{
    Window* frame = win32_host::window(window_);
    return !closed_ && !ended_ && frame && !(frame->style & WS_DISABLED);
}

void Sheet::settle()
{
    if (ended_ && !closed_ && state().message_loops == 0)
        close();
}

void Sheet::select(int index)
{
    if (!usable() || index < 0 || index >= static_cast<int>(record_.pages.size()) ||
        index == current_)
        return;
    // A page that finds its fields invalid keeps the sheet on it.
    if (current_ >= 0) {
        if (notify(window_, page(current_), PSN_KILLACTIVE, 0) != FALSE)
            return;
    }
    show(index);
    settle();
}

void Sheet::show(int index)
{
    if (current_ >= 0)
        if (Window* old = win32_host::window(page(current_)))
            old->style &= ~static_cast<DWORD>(WS_VISIBLE);
    create_page(index);
    current_ = index;
    if (Window* now = win32_host::window(page(index)))
        now->style |= WS_VISIBLE;
    notify(window_, page(index), PSN_SETACTIVE, 0);
}

bool Sheet::click(int control)
{
    if (!usable() || current_ < 0)
        return false;
    bool clicked = win32_host::click(win32_host::window(page(current_)), control);
    settle();
    return clicked;
}

void Sheet::changed(HWND)
{
    apply_enabled_ = true;
}

bool Sheet::send_apply(bool closing)
{
    record_call(closing ? "OK" : "Apply");
    if (current_ >= 0 && notify(window_, page(current_), PSN_KILLACTIVE, 0) != FALSE)
        return false;
    for (size_t i = 0; i < record_.pages.size(); ++i) {
        HWND p = record_.pages[i].window;
        if (!p)
            continue;
        switch (notify(window_, p, PSN_APPLY, 0)) {
        case PSNRET_INVALID:
            show(static_cast<int>(i));
            return false;
        case PSNRET_INVALID_NOCHANGEPAGE:
            return false;
        default:
            break;
        }
    }
    applied_ = true;
    if (!closing) {
        apply_enabled_ = false;
        notify(window_, page(current_), PSN_SETACTIVE, 0);
    }
    return true;
}

bool Sheet::apply()
{
    if (!usable() || !apply_enabled_)
        return false;
    bool applied = send_apply(false);
    settle();
    return applied;
}

void Sheet::ok()
{
    if (!usable())
        return;
    // OK pressed again under a box that this OK's Apply shows has ended the
    // sheet already.
    if (send_apply(true))
        ended_ = true;
    settle();
}

void Sheet::cancel()
{
    if (!usable())
        return;
    record_call("Cancel");
    for (PageRecord& p : record_.pages)
        if (p.window)
            notify(window_, p.window, PSN_RESET, 0);
    ended_ = true;
    settle();
}

void Sheet::close()
{
    for (PageRecord& p : record_.pages)
        if (p.window)
            destroy_window(win32_host::window(p.window));
    closed_ = true;
    record_.result = applied_ ? 1 : 0;
}

void set_sheet_script(std::function<void(Sheet&)> script)
{
    state().sheet_script = std::move(script);
}

const std::vector<SheetRecord>& sheets()
{
    return state().sheets;
}

} // namespace win32_host

using namespace win32_host;

extern "C" {

void WINAPI InitCommonControls(void)
{
    state().common_controls = true;
}

INT_PTR WINAPI PropertySheetA(LPCPROPSHEETHEADERA h)
{
    record_call("PropertySheetA");
    // Only what the first version of the records can describe: an array of
    // page records built from dialog templates of a loaded module. The
    // common controls must have been started (InitCommonControls).
    if (!h || h->dwSize < PROPSHEETHEADERA_V1_SIZE || !(h->dwFlags & PSH_PROPSHEETPAGE) ||
        (h->dwFlags & PSH_MODELESS) || !h->ppsp || h->nPages == 0 || !state().common_controls)
        return -1;
    SheetRecord record;
    record.size = h->dwSize;
    record.flags = h->dwFlags;
    record.parent = h->hwndParent;
    record.instance = h->hInstance;
    if (h->dwFlags & PSH_USEICONID)
        record.icon = resource_id(h->pszIcon);
    record.caption = h->pszCaption ? h->pszCaption : "";
    record.start_page = h->nStartPage;
    const uint8_t* at = reinterpret_cast<const uint8_t*>(h->ppsp);
    for (UINT i = 0; i < h->nPages; ++i) {
        auto* p = reinterpret_cast<const PROPSHEETPAGEA_V1*>(at);
        if (p->dwSize < PROPSHEETPAGEA_V1_SIZE || (p->dwFlags & PSP_DLGINDIRECT))
            return -1;
        PageRecord page;
        page.size = p->dwSize;
        page.flags = p->dwFlags;
        page.instance = p->hInstance;
        page.template_id = resource_id(p->pszTemplate);
        const Module& m = module(p->hInstance);
        auto t = m.dialogs.find(page.template_id);
        if (t == m.dialogs.end())
            return -1;
        page.title = (p->dwFlags & PSP_USETITLE) ? resource_text(p->hInstance, p->pszTitle)
                                                 : t->second.caption;
        if (p->dwFlags & PSP_USEICONID)
            page.icon = resource_id(p->pszIcon);
        page.procedure = p->pfnDlgProc;
        page.param = p->lParam;
        page.source = p;
        record.pages.push_back(page);
        at += p->dwSize;
    }
    if (record.start_page >= record.pages.size())
        record.start_page = 0;

    Window* frame = create_window(Window::Kind::Sheet, nullptr);
    frame->text = record.caption;
    Sheet sheet(record, handle(frame));
    frame->sheet = &sheet;
    sheet.select(static_cast<int>(record.start_page));
    // A copy: the script may open another sheet with a script of its own.
    if (auto script = state().sheet_script)
        script(sheet);
    if (!sheet.ended())
        sheet.cancel();
    if (!sheet.closed())
        sheet.close();
    destroy_window(frame);
    for (PageRecord& p : record.pages)
        p.source = nullptr;
    state().sheets.push_back(record);
    return record.result;
}

} // extern "C"
