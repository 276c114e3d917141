// Bus data: the PCI configuration space of a slot on the requesting
// device's bus.
#include "platform/videoport/videoport_internal.h"

#include <cstring>

using korvid_host::System;
using korvid_host::videoport::current_system;
using korvid_host::videoport::record;
using sim::Aperture;
using sim::Op;

namespace {

constexpr ULONG kConfigSpaceSize = 256;

// A bus-data call on the PCI configuration space of the board in `slot` of
// the requesting device's bus (slots count per bus), clipped to its 256
// bytes: `transfer` moves the bytes, and the access is traced with the first
// of them. Any other bus data reaches nothing.
template <typename Transfer>
ULONG config_access(Op op, PVOID ext, BUS_DATA_TYPE type, ULONG slot, PVOID buffer, ULONG offset,
                    ULONG length, Transfer transfer)
{
    System& m = current_system();
    sim::Board* b = m.machine().board_at(m.bus_of_extension(ext), slot);
    if (type != PCIConfiguration || !b || offset >= kConfigSpaceSize)
        return 0;
    ULONG n = length > kConfigSpaceSize - offset ? kConfigSpaceSize - offset : length;
    transfer(*b, n);
    uint32_t first = 0;
    std::memcpy(&first, buffer, n < 4 ? n : 4);
    record(b->index(), op, Aperture::PciConfig, n, offset, first);
    return n;
}

} // namespace

extern "C" {

ULONG NTAPI VideoPortGetBusData(PVOID ext, BUS_DATA_TYPE type, ULONG slot, PVOID buffer,
                                ULONG offset, ULONG length)
{
    return config_access(
        Op::Read, ext, type, slot, buffer, offset, length,
        [&](sim::Board& b, ULONG n) { std::memcpy(buffer, b.config_bytes() + offset, n); });
}

ULONG NTAPI VideoPortSetBusData(PVOID ext, BUS_DATA_TYPE type, ULONG slot, PVOID buffer,
                                ULONG offset, ULONG length)
{
    return config_access(Op::Write, ext, type, slot, buffer, offset, length,
                         [&](sim::Board& b, ULONG n) {
                             b.write_config(offset, static_cast<const uint8_t*>(buffer), n);
                         });
}

} // extern "C"
