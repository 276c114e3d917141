// The control statements of a dialog's body: LTEXT, RTEXT, CTEXT, GROUPBOX,
// the buttons, EDITTEXT, ICON and the general CONTROL.
#pragma once

#include "platform/win32/host.h"
#include "platform/win32/resource_script_expressions.h"
#include "platform/win32/resource_script_tokens.h"

namespace win32_host {

// Reads one control statement; `extended`: the dialog is a DIALOGEX, whose
// controls may name a help id.
DialogControl read_control(TokenStream& tokens, ScriptExpressions& values, bool extended);

} // namespace win32_host
