// The tests' side of the windows: what they look at, and the user's click
// that a property sheet's script plays.
#include "platform/win32/observe.h"

#include "platform/win32/state.h"

#include <algorithm>

namespace win32_host {

namespace {

// The group runs from the nearest WS_GROUP control at or before the button
// to the next one after it; the button is checked, the group's other
// automatic radio buttons are cleared.
void check_in_group(Window* dialog, Window* button)
{
    auto& all = dialog->children;
    size_t at = std::find(all.begin(), all.end(), button) - all.begin();
    size_t first = at;
    while (first > 0 && !(all[first]->style & WS_GROUP))
        --first;
    size_t last = at + 1;
    while (last < all.size() && !(all[last]->style & WS_GROUP))
        ++last;
    for (size_t i = first; i < last; ++i)
        if (button_type(all[i]) == BS_AUTORADIOBUTTON)
            all[i]->checked = all[i] == button;
}

} // namespace

// Automatic buttons change their own state, then the dialog hears of it.
bool click(Window* dialog, int id)
{
    Window* c = child(dialog, id);
    if (!c || c->kind != Window::Kind::Button || !(c->style & WS_VISIBLE) ||
        (c->style & WS_DISABLED))
        return false;
    record_call("click " + std::to_string(id));
    DWORD type = button_type(c);
    if (type == BS_GROUPBOX)
        return false;
    if (type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE)
        c->checked = !c->checked;
    else if (type == BS_AUTORADIOBUTTON)
        check_in_group(dialog, c);
    send(handle(dialog), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c));
    return true;
}

const std::vector<MessageBoxCall>& message_boxes()
{
    return state().message_boxes;
}

const std::vector<std::string>& calls()
{
    return state().calls;
}

bool common_controls_initialised()
{
    return state().common_controls;
}

std::string text(HWND h)
{
    Window* w = window(h);
    return w ? w->text : std::string();
}

std::string text(HWND dialog, int control)
{
    Window* c = child(window(dialog), control);
    return c ? c->text : std::string();
}

bool has_control(HWND dialog, int control)
{
    return child(window(dialog), control) != nullptr;
}

bool checked(HWND dialog, int control)
{
    Window* c = child(window(dialog), control);
    return c && c->checked;
}

bool enabled(HWND dialog, int control)
{
    Window* c = child(window(dialog), control);
    return c && !(c->style & WS_DISABLED);
}

bool visible(HWND dialog, int control)
{
    Window* c = child(window(dialog), control);
    return c && (c->style & WS_VISIBLE);
}

int template_of(HWND dialog)
{
    Window* w = window(dialog);
    return w ? w->template_id : 0;
}

int icon_id(HICON icon)
{
    uintptr_t v = reinterpret_cast<uintptr_t>(icon);
    return (v & ~uintptr_t{0xFFFF}) == kIconHandleBase ? static_cast<int>(v & 0xFFFF) : 0;
}

} // namespace win32_host
