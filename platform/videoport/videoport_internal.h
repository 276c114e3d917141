// What the video port's operations share, by service file: the system they
// serve, the trace every device access goes to, the address checks, and
// the call rules they check like a driver verifier.
#pragma once

#include "hardware/machine.h"
#include "platform/videoport/system.h"

#include <cstddef>
#include <cstdint>

namespace korvid_host::videoport {

// The current system; the run ends when there is none.
System& current_system();

// Ends the run: a driver touched an address that no device decodes.
[[noreturn]] void bus_fault(const char* what, const void* p, size_t len);

// A platform call the trace records (a device access, a stall, a memory
// clear, a BIOS call), reported to the system's stop at any moment.
void record(int board, sim::Op op, sim::Aperture ap, int width, uint32_t offset, uint32_t value);

// The device aperture a driver address lies in; a bus fault for none.
sim::Location device_at(const char* what, const void* p, size_t len);

// ---- the call rules (call_rules.cpp) -------------------------------------------
// Checked only for calls the driver makes from its callbacks; tests may call
// the operations directly to set a board up.
void check_not_in_reset(System& m, const char* operation);
void check_access_ranges_caller(System& m);
void check_device_base_caller(System& m);
void check_claimed(System& m, PVOID ext, uint32_t start, uint32_t length, bool io);
void check_stall(System& m, ULONG us);

} // namespace korvid_host::videoport
