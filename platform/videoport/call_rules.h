// The call rules the video port stand-in checks like a driver verifier, in
// one place, each with the public source it follows. A broken rule ends the
// run (Verifier::violation) unless a test collects it.
#pragma once

namespace korvid_host {

struct CallRule {
    const char* rule;
    const char* source;
};

inline constexpr CallRule kCallRules[] = {
    {"VideoPortStallExecution: no more than 50 us outside initialisation",
     "VideoPortStallExecution, Microsoft video miniport documentation: thousands of "
     "microseconds during initialisation, otherwise no more than 50"},
    {"HwResetHw: no BIOS call (VideoPortInt10) and no registry access",
     "HwVidResetHw and 'Resetting the Adapter in Video Miniport Drivers': it cannot call the "
     "BIOS or pageable code; register and port access, stalls and memory zeroing only"},
    {"VideoPortGetDeviceBase: only ranges the device was given",
     "VideoPortGetDeviceBase: the range must have been claimed with VideoPortGetAccessRanges or "
     "VideoPortVerifyAccessRanges. While the device is found, the VGA ports and the BIOS image "
     "at 0xC0000, which the system VGA decodes, are mapped without a claim"},
    {"VideoPortGetDeviceBase: only from HwFindAdapter or a registry callback",
     "VideoPortGetDeviceBase, NT 4.0 DDK: called from HwVidFindAdapter, "
     "HwVidQueryDeviceCallback or HwVidQueryNamedValueCallback"},
    {"VideoPortGetAccessRanges: only from HwFindAdapter",
     "VideoPortGetAccessRanges: can be called only from HwVidFindAdapter"},
    {"one driver callback at a time, but for the reset",
     "the video port serialises its calls into the miniport: 'Calling VideoPortXxx from "
     "HwVidFindAdapter', HwVidStartIO (one request at a time); ReactOS videoprt dispatch.c. "
     "HwVidResetHw comes from the HAL when the system stops (a crash, a shutdown), in the "
     "middle of whatever runs: 'Resetting the Adapter in Video Miniport Drivers'; ReactOS "
     "videoprt.c IntVideoPortResetDisplayParametersEx (every opened device)"},
    {"display-driver model: its mappings are released before it closes the device",
     "the display-driver model's own rule, not NT's: the model unmaps what it had mapped "
     "before it lets go of its handle, so a mapping left behind is a fault of the miniport's "
     "unmap"},
};

} // namespace korvid_host
