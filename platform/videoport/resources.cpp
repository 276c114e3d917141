// The device's bus resources: the access ranges the HAL reports for its PCI
// slot, the kernel's mappings of them (device bases) and the display
// driver's (mapped memory).
#include "platform/videoport/videoport_internal.h"

#include <algorithm>
#include <cstring>
#include <memory>

using korvid_host::Claim;
using korvid_host::System;
using korvid_host::videoport::check_access_ranges_caller;
using korvid_host::videoport::check_claimed;
using korvid_host::videoport::check_device_base_caller;
using korvid_host::videoport::current_system;
using sim::Aperture;

namespace {

constexpr uint32_t kPageSize = 0x1000;

// What a base address register decodes, sized as the PCI HAL sizes it: write
// all ones, read the mask back, restore the address.
struct BarResource {
    uint32_t start = 0, length = 0;
    bool io = false;
};

BarResource size_bar(sim::Board& b, int bar)
{
    const uint32_t offset = sim::kPciBar0 + 4 * bar;
    const uint32_t value = b.config_dword(offset);
    const uint32_t ones = 0xFFFFFFFF;
    b.write_config(offset, reinterpret_cast<const uint8_t*>(&ones), 4);
    const uint32_t mask = b.config_dword(offset);
    b.write_config(offset, reinterpret_cast<const uint8_t*>(&value), 4);
    BarResource r;
    r.io = value & sim::kBarIoSpace;
    const uint32_t address_bits = r.io ? 0xFFFCu : 0xFFFFFFF0u;
    r.start = value & address_bits;
    const uint32_t decoded = mask & address_bits;
    r.length = decoded & ~(decoded - 1);
    return r;
}

// One range per assigned base address register, in register order and
// without gaps, as the HAL reports a PCI slot's resources: a register the
// BIOS left unassigned gives no range and the later ones move up. The
// entries after them are left as they were. The device's earlier claims
// give way to these.
VP_STATUS fill_ranges(System& m, sim::Board& b, PVIDEO_ACCESS_RANGE ranges, ULONG count, PVOID ext)
{
    m.release_claims(ext);
    ULONG n = 0;
    for (int bar = 0; bar < sim::kPciBars; ++bar) {
        if (!b.assigned(sim::kApertureMap[bar].aperture))
            continue;
        if (n == count)
            return ERROR_MORE_DATA;
        BarResource r = size_bar(b, bar);
        VIDEO_ACCESS_RANGE& out = ranges[n++];
        out.RangeStart.QuadPart = r.start;
        out.RangeLength = r.length;
        out.RangeInIoSpace = r.io;
        out.RangeVisible = 0;
        out.RangeShareable = 0;
        out.RangePassive = 0;
        m.add_claim({ext, r.start, r.length, r.io});
    }
    return NO_ERROR;
}

// Whether the board answers to the vendor and device ids asked for.
bool matches(sim::Board& b, USHORT vendor, USHORT device)
{
    uint32_t id = b.config_dword(0);
    return (id & 0xFFFF) == vendor && (id >> 16) == device;
}

// The board a mapping belongs to: the one whose aperture it is, or the
// requesting device's for the machine's own ranges.
int owner_of(const System& m, const sim::Location& at, PVOID ext)
{
    return at.board ? at.board->index() : m.board_of_extension(ext);
}

// Write combining applies to memory only; an I/O range ignores the flag.
bool write_combined(ULONG space)
{
    return !(space & VIDEO_MEMORY_SPACE_IO) && (space & VIDEO_MEMORY_SPACE_P6CACHE);
}

// `length` bytes from `offset` of a region, grown to the end of their last
// page as far as the region reaches.
ULONG whole_pages(const sim::Region& region, uint32_t offset, ULONG length)
{
    const uint64_t lead = offset % kPageSize;
    const uint64_t end = (lead + length + kPageSize - 1) / kPageSize * kPageSize;
    return static_cast<ULONG>(std::min<uint64_t>(end - lead, region.size() - offset));
}

bool device_base_refused(const System& m, int owner, Aperture aperture)
{
    const korvid_host::Faults& f = m.faults();
    return f.fail_device_base.count({owner, aperture}) ||
           (aperture == Aperture::Rom && f.fail_rom_mapping);
}

} // namespace

extern "C" {

VP_STATUS NTAPI VideoPortGetAccessRanges(PVOID ext, ULONG, PVOID, ULONG count,
                                         PVIDEO_ACCESS_RANGE ranges, PVOID vendor, PVOID device,
                                         PULONG slot)
{
    System& m = current_system();
    check_access_ranges_caller(m);
    int call = m.next_access_ranges_call();
    if (call == m.faults().fail_get_access_ranges_call)
        return ERROR_DEV_NOT_EXIST;
    USHORT want_vendor = *static_cast<USHORT*>(vendor);
    USHORT want_device = *static_cast<USHORT*>(device);
    for (int index : m.machine().boards_on_bus(m.bus_of_extension(ext))) {
        sim::Board& b = m.machine().board(index);
        if (!matches(b, want_vendor, want_device))
            continue;
        if (m.board_claimed(index)) {
            if (m.slot_search() == korvid_host::SlotSearch::SkipClaimed)
                continue;
            return ERROR_INVALID_PARAMETER; // another device holds its resources
        }
        // Each board is offered once per load, also one whose resources
        // conflict: the search goes on past it.
        m.claim_board(index);
        if (m.faults().conflicting_boards.count(index))
            return m.faults().conflict_status;
        m.bind_extension(ext, index);
        VP_STATUS status = fill_ranges(m, b, ranges, count, ext);
        if (status != NO_ERROR)
            return status;
        // The slot variable only receives the board's slot on its bus; the
        // search does not start from it.
        if (slot)
            *slot = m.machine().slot_of(b);
        return NO_ERROR;
    }
    return ERROR_DEV_NOT_EXIST;
}

PVOID NTAPI VideoPortGetDeviceBase(PVOID ext, PHYSICAL_ADDRESS address, ULONG length, UCHAR io)
{
    System& m = current_system();
    if (address.HighPart != 0)
        return nullptr;
    check_device_base_caller(m);
    check_claimed(m, ext, address.LowPart, length, io & VIDEO_MEMORY_SPACE_IO);
    sim::Location at =
        m.machine().at_bus_address(address.LowPart, length, io & VIDEO_MEMORY_SPACE_IO);
    if (!at.region)
        return nullptr;
    int owner = owner_of(m, at, ext);
    if (device_base_refused(m, owner, at.aperture))
        return nullptr;
    uint8_t* va = at.region->base() + at.offset;
    m.add_mapping({owner, at.aperture, address.LowPart, length, va, 0, true, -1, nullptr,
                   write_combined(io)});
    return va;
}

VOID NTAPI VideoPortFreeDeviceBase(PVOID, PVOID mapped)
{
    current_system().free_device_base(mapped);
}

VP_STATUS NTAPI VideoPortMapMemory(PVOID ext, PHYSICAL_ADDRESS address, PULONG length,
                                   PULONG io_space, PVOID* virtual_address)
{
    System& m = current_system();
    if (m.faults().map_memory_status != NO_ERROR)
        return m.faults().map_memory_status;
    if (address.HighPart != 0 || !length || !io_space || !virtual_address)
        return ERROR_INVALID_PARAMETER;
    bool io = *io_space & VIDEO_MEMORY_SPACE_IO;
    sim::Location at = m.machine().at_bus_address(address.LowPart, *length, io);
    if (!at.region)
        return ERROR_INVALID_PARAMETER;
    // On input the address word names the process to map into (null: the caller).
    uint32_t process = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(*virtual_address));
    // Memory is mapped into the process as a view of its own, in whole
    // pages: the length mapped comes back rounded up to the end of the last
    // page; port addresses are handed back as they are.
    std::shared_ptr<sim::View> view;
    void* va = at.region->base() + at.offset;
    if (!io) {
        *length = whole_pages(*at.region, at.offset, *length);
        view = std::make_shared<sim::View>(at.region->view(at.offset, *length));
        va = view->start();
    }
    m.add_mapping({owner_of(m, at, ext), at.aperture, address.LowPart, *length, va, process, false,
                   m.requesting_device(), view, write_combined(*io_space)});
    *virtual_address = va;
    return NO_ERROR;
}

VP_STATUS NTAPI VideoPortUnmapMemory(PVOID, PVOID virtual_address, HANDLE process)
{
    uint32_t proc = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(process));
    return current_system().unmap_memory(virtual_address, proc) ? NO_ERROR
                                                                : ERROR_INVALID_PARAMETER;
}

} // extern "C"
