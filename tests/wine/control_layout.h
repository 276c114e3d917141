// How a dialog control is laid out on the screen: what kind of control it
// is, and whether its text fits the room the control gives it.
#pragma once

#include <windows.h>

enum class ControlKind { Group, Radio, Check, Push, Picture, Text, Other };

ControlKind control_kind(HWND control);
const char* kind_name(ControlKind kind);

// Lays `text` out in the control's font as the control draws it: 1 when it
// fits, 0 when part of it would be cut off, -1 for controls without text.
int text_fits(HWND control, ControlKind kind, const char* text);
