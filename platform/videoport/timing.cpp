// Stalls and the memory routines: stalls are counted in the machine's
// device time, not slept; a device memory clear takes the time the bus
// needs for it.
#include "platform/videoport/videoport_internal.h"

#include <cstring>

using korvid_host::System;
using korvid_host::videoport::bus_fault;
using korvid_host::videoport::check_stall;
using korvid_host::videoport::current_system;
using korvid_host::videoport::device_at;
using korvid_host::videoport::record;
using sim::Aperture;
using sim::Op;

namespace {
constexpr uint64_t kNsPerUs = 1000;
constexpr uint64_t kNsPerS = 1'000'000'000;
} // namespace

extern "C" {

VOID NTAPI VideoPortStallExecution(ULONG us)
{
    System& m = current_system();
    check_stall(m, us);
    record(-1, Op::Stall, Aperture::Registers, 0, 0, us);
    m.machine().time_ns += static_cast<uint64_t>(us) * kNsPerUs;
}

VOID NTAPI VideoPortZeroDeviceMemory(PVOID destination, ULONG length)
{
    System& m = current_system();
    sim::Location loc = device_at("device memory clear", destination, length);
    if (loc.aperture != Aperture::FrameBuffer ||
        loc.offset + static_cast<uint64_t>(length) > loc.board->frame_buffer().accessible())
        bus_fault("device memory clear beyond video memory", destination, length);
    loc.board->frame_buffer().zero(loc.offset, length);
    record(loc.board->index(), Op::ZeroMemory, loc.aperture, 0, loc.offset, length);
    sim::Machine& machine = m.machine();
    machine.time_ns += static_cast<uint64_t>(length) * kNsPerS / machine.clear_rate_bytes_per_s;
}

VOID NTAPI VideoPortZeroMemory(PVOID destination, ULONG length)
{
    std::memset(destination, 0, length);
}

VOID NTAPI VideoPortMoveMemory(PVOID destination, PVOID source, ULONG length)
{
    std::memmove(destination, source, length);
}

} // extern "C"
