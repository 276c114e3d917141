// VideoPortInitialize: the driver's registration and the discovery of its
// devices, bus by bus.
#include "platform/videoport/videoport_internal.h"

#include <cstring>

using korvid_host::Callback;
using korvid_host::System;
using korvid_host::videoport::current_system;

namespace {

constexpr int kMaxFindAdapterCalls = 64;

// One HwFindAdapter call for `bus` with a fresh zeroed extension; a device
// found is kept.
VP_STATUS find_adapter(System& m, int bus, PVOID context, UCHAR* again)
{
    PVOID ext = m.new_extension(bus);
    const VIDEO_HW_INITIALIZATION_DATA& hw = m.registration();
    // Values a legacy VGA board would be offered; the miniport declines them.
    VIDEO_PORT_CONFIG_INFO info{};
    info.Length = m.faults().config_info_length;
    info.SystemIoBusNumber = static_cast<ULONG>(bus);
    info.AdapterInterfaceType = hw.AdapterInterfaceType;
    info.VdmPhysicalVideoMemoryAddress.QuadPart = 0xA0000;
    info.VdmPhysicalVideoMemoryLength = 0x20000;
    info.HardwareStateSize = 0x1000;
    *again = FALSE;
    VP_STATUS status = m.verifier().in_callback(Callback::FindAdapter, [&] {
        return hw.HwFindAdapter(ext, context, nullptr, &info, again);
    });
    m.found_adapter(ext, status, info);
    return status;
}

} // namespace

extern "C" {

// HwFindAdapter is called per bus of the registered interface type, the
// bus named in SystemIoBusNumber: again on the same bus while the driver
// sets *Again after finding a device, and on the next bus once it answers
// an error (no device there, or one it cannot configure). The load
// succeeds when any device was found. Answers an NTSTATUS: a registration
// record larger than the port knows is a newer revision, one without the
// three callbacks every miniport has is refused, and a driver that finds no
// device does not load.
ULONG NTAPI VideoPortInitialize(PVOID, PVOID, PVIDEO_HW_INITIALIZATION_DATA data, PVOID context)
{
    System& m = current_system();
    VIDEO_HW_INITIALIZATION_DATA hw{};
    if (data->HwInitDataSize > sizeof hw)
        return static_cast<ULONG>(STATUS_REVISION_MISMATCH);
    if (!data->HwFindAdapter || !data->HwInitialize || !data->HwStartIO)
        return static_cast<ULONG>(STATUS_INVALID_PARAMETER);
    // An older, shorter record: the fields it lacks are zero.
    std::memcpy(&hw, data, data->HwInitDataSize);
    m.register_driver(hw);
    int calls = 0;
    for (int bus = 0; bus < sim::kNumBuses; ++bus) {
        UCHAR again = TRUE;
        while (again && calls++ < kMaxFindAdapterCalls) {
            if (find_adapter(m, bus, context, &again) != NO_ERROR)
                break;
        }
    }
    m.discovery_done();
    return static_cast<ULONG>(m.device_count() == 0 ? STATUS_UNSUCCESSFUL : STATUS_SUCCESS);
}

} // extern "C"
