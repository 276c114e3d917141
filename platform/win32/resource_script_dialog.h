// DIALOG and DIALOGEX: a template's position and size, its options (style,
// caption, font, ...) and its block of controls.
#pragma once

#include "platform/win32/host.h"
#include "platform/win32/resource_script_expressions.h"
#include "platform/win32/resource_script_tokens.h"

namespace win32_host {

// Reads a dialog statement from its position on; `line` is the statement's.
DialogTemplate read_dialog(TokenStream& tokens, ScriptExpressions& values, bool extended, int line);

} // namespace win32_host
