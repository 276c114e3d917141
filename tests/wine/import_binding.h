// Rebinds the imports of a loaded module to functions of this program, the
// way a loader would have bound them had the module named us.
#pragma once

#include <windows.h>

// Rewrites every import address table slot of `module` that imports
// `function` by name from `dll` (case-insensitive) to `replacement`.
// Returns the number of slots rewritten.
int rebind_import(HMODULE module, const char* dll, const char* function, void* replacement);
