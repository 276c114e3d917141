// The call rules of call_rules.h, each checked by the operation it concerns.
#include "platform/videoport/call_rules.h"

#include "platform/videoport/videoport_internal.h"

#include <cstdio>
#include <string>

namespace korvid_host::videoport {

namespace {
constexpr ULONG kMaxStallUs = 50;
} // namespace

// HwResetHw may run at raised IRQL after a crash: registers and stalls only.
void check_not_in_reset(System& m, const char* operation)
{
    if (m.verifier().running() == Callback::ResetHw)
        m.verifier().violation(std::string(operation) + " called from HwResetHw");
}

void check_access_ranges_caller(System& m)
{
    const Verifier& v = m.verifier();
    if (v.in_driver() && v.running() != Callback::FindAdapter)
        m.verifier().violation("VideoPortGetAccessRanges called outside HwFindAdapter");
}

// Kernel mappings are made while the device is found: from HwFindAdapter
// or from a registry callback (HwVidQueryNamedValueCallback), never while
// requests are served.
void check_device_base_caller(System& m)
{
    Verifier& v = m.verifier();
    if (v.in_driver() && v.running() != Callback::FindAdapter && !v.in_registry_callback())
        v.violation(std::string("VideoPortGetDeviceBase called from ") +
                    callback_name(v.running()));
}

// A kernel mapping must lie in a range the device was given. Two legacy
// ranges are mapped without a claim while the device is found: the VGA
// ports, which every VGA-compatible board decodes and the miniport presets,
// and the system BIOS image at 0xC0000.
void check_claimed(System& m, PVOID ext, uint32_t start, uint32_t length, bool io)
{
    Verifier& v = m.verifier();
    if (!v.in_driver() || m.claimed_by(ext, start, length, io))
        return;
    const bool legacy = io ? start == sim::kVgaPortsBase : start == sim::kRomBase;
    if (legacy && v.running() == Callback::FindAdapter)
        return;
    char text[120];
    std::snprintf(text, sizeof text,
                  "VideoPortGetDeviceBase of %s 0x%X (+0x%X) that the device was not given",
                  io ? "I/O range" : "memory range", start, length);
    v.violation(text);
}

void check_stall(System& m, ULONG us)
{
    Verifier& v = m.verifier();
    if (us > kMaxStallUs && v.in_driver() && !v.initialising())
        v.violation("a stall of " + std::to_string(us) + " us in " + callback_name(v.running()));
}

} // namespace korvid_host::videoport
