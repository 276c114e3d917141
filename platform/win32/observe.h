// What tests see of the Win32 stand-in: the message boxes shown, the
// platform calls made, and each window's state as the user sees it.
#pragma once

#include "platform/win32/host.h"

#include <string>
#include <vector>

namespace win32_host {

const std::vector<MessageBoxCall>& message_boxes();

// Notable platform calls in the order they were made, one line each, e.g.
// "ExtEscape 4004 in=1", "EnumDisplaySettingsA 0", "MessageBoxA ERROR: ...",
// "RegSetValueExA DoubleWide 4 1" (name, type, DWORD value or size),
// "ChangeDisplaySettingsA 2048x768 1" (size, flags), "click 1033", "Apply".
const std::vector<std::string>& calls();

bool common_controls_initialised();

// A window's state, as the user sees it.
std::string text(HWND window);
std::string text(HWND dialog, int control);
bool has_control(HWND dialog, int control);
bool checked(HWND dialog, int control);
bool enabled(HWND dialog, int control);
bool visible(HWND dialog, int control);
int template_of(HWND dialog); // the dialog template a page was built from
int icon_id(HICON icon);      // 0 for an icon that is not a module's

} // namespace win32_host
