// What must hold however the display driver, the display settings and the
// registry answer: the sheet shows what the driver told the applet, texts
// stay within the applet's buffers, values written to the registry and
// layouts sent to the driver are ones the applet knows, every message box is
// an error box without owner, and a closed sheet leaves no registry key,
// device context or allocation behind. A broken invariant aborts with a
// message, which the fuzzer reports as a crash.
#pragma once

#include "tests/fuzz/applet_driver.h"

#include "platform/win32/host.h"
#include "platform/win32/observe.h"

namespace fuzz_tests {

[[noreturn]] void broken(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The sheet just opened: its pages and the information page's BIOS field.
void check_opened(const win32_host::Sheet& sheet, const FuzzedDriver& driver);
// Every control of every page created so far holds a bounded text.
void check_texts(const win32_host::Sheet& sheet);
// The platform calls made since the last check.
void check_calls();
// Nothing is left open once the sheet has closed.
void check_closed();
// A new input: the platform's records start empty again.
void restart_checks();

} // namespace fuzz_tests
