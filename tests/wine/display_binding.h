// The applet's display calls answered by an in-process display-driver
// model: device contexts on "display" carry its escapes, and the display
// settings calls list, test and set its modes.
#pragma once

#include <windows.h>

#include <cstdio>

#include "display/display_driver.h"

// Rebinds the applet's CreateDCA, ExtEscape, DeleteDC, EnumDisplaySettingsA
// and ChangeDisplaySettingsA to `driver`, logging every call to `log`.
// Returns false when one of them was not found among the applet's imports.
bool bind_display_calls(HMODULE applet, sim::DisplayDriver& driver, FILE* log);

// The `read`-th read of the current settings (1: the first) and every later
// one fail; 0: none does.
void fail_current_reads_from(unsigned read);

// The model's state and what the calls did, one fact a line.
void report_display_state(const sim::DisplayDriver& driver, FILE* out);
