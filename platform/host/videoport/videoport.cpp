// The NT video port's operations over the simulated machine: what the miniport
// relies on, and nothing it does not.
#include "videoport/video.h"

#include "sim/machine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using sim::Aperture;
using sim::Event;
using sim::Machine;
using sim::Op;

namespace {

constexpr int kMaxFindAdapterCalls = 64;
constexpr uint32_t kVgaPortBase = 0x3C0;
constexpr uint32_t kRomPhys = 0xC0000;

Machine& machine()
{
    Machine* m = Machine::current();
    if (!m) {
        std::fprintf(stderr, "videoport: no simulated machine\n");
        std::abort();
    }
    return *m;
}

[[noreturn]] void bus_fault(const char* what, const void* p, size_t len)
{
    std::fprintf(stderr, "videoport: %s at %p (%zu bytes) lies in no device aperture\n", what, p,
                 len);
    std::abort();
}

void record(int board, Op op, Aperture ap, int width, uint32_t offset, uint32_t value)
{
    machine().trace.add(Event{board, op, ap, static_cast<uint8_t>(width), offset, value});
}

sim::Location device_at(const char* what, const void* p, size_t len)
{
    sim::Location loc = machine().locate(p, len);
    if (!loc.board)
        bus_fault(what, p, len);
    return loc;
}

// Host address of a physical range of a board, or null.
struct Resolved {
    int board = -1;
    Aperture aperture = Aperture::Registers;
    uint8_t* va = nullptr;
};

Resolved resolve(uint32_t phys, uint32_t len, bool io_space)
{
    Machine& m = machine();
    if (io_space) {
        if (phys == kVgaPortBase && len <= m.vga_ports().size())
            return {-1, Aperture::VgaPorts, m.vga_ports().base()};
        for (auto& b : m.boards())
            if (phys >= b->io_port() && phys - b->io_port() + len <= sim::kIoBlockSize)
                return {b->index(), Aperture::IoBlock,
                        b->io_block().base() + (phys - b->io_port())};
        return {};
    }
    if (phys >= kRomPhys && phys - kRomPhys + len <= sim::kRomSize)
        return {-1, Aperture::Rom, m.rom().base() + (phys - kRomPhys)};
    for (auto& b : m.boards()) {
        struct {
            uint32_t start;
            sim::Region& region;
            Aperture ap;
        } apertures[] = {
            {b->fb_phys(), b->frame_buffer(), Aperture::FrameBuffer},
            {b->reg_phys(), b->registers(), Aperture::Registers},
            {b->xy_phys(), b->xy_window(), Aperture::XyWindow},
        };
        for (auto& a : apertures)
            if (phys >= a.start && len <= a.region.size() &&
                phys - a.start <= a.region.size() - len)
                return {b->index(), a.ap, a.region.base() + (phys - a.start)};
    }
    return {};
}

void fill_ranges(const sim::Board& b, PVIDEO_ACCESS_RANGE ranges, ULONG count)
{
    struct Bar {
        uint32_t start, length;
        UCHAR io;
    } bars[] = {
        {b.fb_phys(), sim::kFrameBufferApertureSize, 0},
        {b.xy_b_phys(), sim::kXyApertureSize, 0},
        {b.xy_phys(), sim::kXyApertureSize, 0},
        {0xF8000000u + b.index() * 0x20000u, 0x10000, 0},
        {b.reg_phys(), sim::kRegisterApertureSize, 0},
        {b.io_port(), sim::kIoBlockSize, 1},
        {0xF8010000u + b.index() * 0x20000u, sim::kRomSize, 0},
    };
    for (ULONG i = 0; i < count && i < sizeof bars / sizeof bars[0]; ++i) {
        ranges[i].RangeStart.QuadPart = bars[i].start;
        ranges[i].RangeLength = bars[i].length;
        ranges[i].RangeInIoSpace = bars[i].io;
        ranges[i].RangeVisible = 0;
        ranges[i].RangeShareable = 0;
        ranges[i].RangePassive = 0;
    }
}

} // namespace

extern "C" {

ULONG NTAPI VideoPortInitialize(PVOID, PVOID, PVIDEO_HW_INITIALIZATION_DATA data, PVOID context)
{
    Machine& m = machine();
    std::memcpy(&m.hw, data, sizeof m.hw);
    VP_STATUS status = ERROR_DEV_NOT_EXIST;
    for (int call = 0; call < kMaxFindAdapterCalls; ++call) {
        m.extensions.push_back(std::make_unique<uint8_t[]>(m.hw.HwDeviceExtensionSize));
        PVOID ext = m.extensions.back().get();
        std::memset(ext, 0, m.hw.HwDeviceExtensionSize);
        // Values a legacy VGA board would be offered; the miniport declines them.
        VIDEO_PORT_CONFIG_INFO info{};
        info.Length = m.faults.config_info_length;
        info.AdapterInterfaceType = m.hw.AdapterInterfaceType;
        info.VdmPhysicalVideoMemoryAddress.QuadPart = 0xA0000;
        info.VdmPhysicalVideoMemoryLength = 0x20000;
        info.HardwareStateSize = 0x1000;
        UCHAR again = FALSE;
        status = m.hw.HwFindAdapter(ext, context, nullptr, &info, &again);
        m.find_adapter_status.push_back(status);
        m.find_adapter_config.push_back(info);
        if (status != NO_ERROR)
            break;
        m.devices.push_back(ext);
        if (!again)
            break;
    }
    for (PVOID ext : m.devices)
        m.hw.HwInitialize(ext);
    return m.devices.empty() ? static_cast<ULONG>(status) : NO_ERROR;
}

VP_STATUS NTAPI VideoPortGetAccessRanges(PVOID ext, ULONG, PVOID, ULONG count,
                                         PVIDEO_ACCESS_RANGE ranges, PVOID vendor, PVOID device,
                                         PULONG slot)
{
    Machine& m = machine();
    int call = m.get_access_ranges_calls++;
    if (call == m.faults.fail_get_access_ranges_call)
        return ERROR_DEV_NOT_EXIST;
    USHORT want_vendor = *static_cast<USHORT*>(vendor);
    USHORT want_device = *static_cast<USHORT*>(device);
    for (auto& b : m.boards()) {
        uint32_t id = b->config_dword(0);
        if (m.claimed[b->index()] || (id & 0xFFFF) != want_vendor || (id >> 16) != want_device)
            continue;
        m.claimed[b->index()] = true;
        m.extension_board[ext] = b->index();
        fill_ranges(*b, ranges, count);
        if (slot)
            *slot = static_cast<ULONG>(b->index());
        return NO_ERROR;
    }
    return ERROR_DEV_NOT_EXIST;
}

ULONG NTAPI VideoPortGetBusData(PVOID, BUS_DATA_TYPE type, ULONG slot, PVOID buffer, ULONG offset,
                                ULONG length)
{
    Machine& m = machine();
    if (type != PCIConfiguration || slot >= m.num_boards() || offset >= 256)
        return 0;
    ULONG n = length > 256 - offset ? 256 - offset : length;
    std::memcpy(buffer, m.board(slot).config_bytes() + offset, n);
    uint32_t first = 0;
    std::memcpy(&first, buffer, n < 4 ? n : 4);
    record(static_cast<int>(slot), Op::Read, Aperture::PciConfig, n, offset, first);
    return n;
}

ULONG NTAPI VideoPortSetBusData(PVOID, BUS_DATA_TYPE type, ULONG slot, PVOID buffer, ULONG offset,
                                ULONG length)
{
    Machine& m = machine();
    if (type != PCIConfiguration || slot >= m.num_boards() || offset >= 256)
        return 0;
    ULONG n = length > 256 - offset ? 256 - offset : length;
    std::memcpy(m.board(slot).config_bytes() + offset, buffer, n);
    uint32_t first = 0;
    std::memcpy(&first, buffer, n < 4 ? n : 4);
    record(static_cast<int>(slot), Op::Write, Aperture::PciConfig, n, offset, first);
    return n;
}

PVOID NTAPI VideoPortGetDeviceBase(PVOID ext, PHYSICAL_ADDRESS address, ULONG length, UCHAR io)
{
    Machine& m = machine();
    if (address.HighPart != 0)
        return nullptr;
    Resolved r = resolve(address.LowPart, length, io & VIDEO_MEMORY_SPACE_IO);
    if (!r.va)
        return nullptr;
    int owner = r.board >= 0 ? r.board : m.board_of_extension(ext);
    if (m.faults.fail_device_base.count({owner, r.aperture}) ||
        (r.aperture == Aperture::Rom && m.faults.fail_rom_mapping))
        return nullptr;
    m.mappings.push_back({owner, r.aperture, address.LowPart, length, r.va, 0, true});
    return r.va;
}

VOID NTAPI VideoPortFreeDeviceBase(PVOID, PVOID mapped)
{
    auto& maps = machine().mappings;
    for (auto it = maps.begin(); it != maps.end(); ++it)
        if (it->kernel && it->va == mapped) {
            maps.erase(it);
            return;
        }
}

VP_STATUS NTAPI VideoPortMapMemory(PVOID ext, PHYSICAL_ADDRESS address, PULONG length,
                                   PULONG io_space, PVOID* virtual_address)
{
    Machine& m = machine();
    if (m.faults.map_memory_status != NO_ERROR)
        return m.faults.map_memory_status;
    if (address.HighPart != 0 || !length || !io_space || !virtual_address)
        return ERROR_INVALID_PARAMETER;
    Resolved r = resolve(address.LowPart, *length, *io_space & VIDEO_MEMORY_SPACE_IO);
    if (!r.va)
        return ERROR_INVALID_PARAMETER;
    // On input the address word names the process to map into (null: the caller).
    uint32_t process = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(*virtual_address));
    int owner = r.board >= 0 ? r.board : m.board_of_extension(ext);
    m.mappings.push_back({owner, r.aperture, address.LowPart, *length, r.va, process, false});
    *virtual_address = r.va;
    return NO_ERROR;
}

VP_STATUS NTAPI VideoPortUnmapMemory(PVOID, PVOID virtual_address, HANDLE process)
{
    auto& maps = machine().mappings;
    uint32_t proc = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(process));
    for (auto it = maps.begin(); it != maps.end(); ++it)
        if (!it->kernel && it->va == virtual_address && (proc == 0 || it->process == proc)) {
            maps.erase(it);
            return NO_ERROR;
        }
    return ERROR_INVALID_PARAMETER;
}

ULONG NTAPI VideoPortReadRegisterUlong(PULONG reg)
{
    sim::Location loc = device_at("register read", reg, 4);
    uint32_t v = 0;
    if (loc.aperture == Aperture::Registers)
        v = loc.board->read_register(loc.offset, 4);
    else
        std::memcpy(&v, reg, 4);
    record(loc.board->index(), Op::Read, loc.aperture, 4, loc.offset, v);
    return v;
}

VOID NTAPI VideoPortWriteRegisterUlong(PULONG reg, ULONG value)
{
    sim::Location loc = device_at("register write", reg, 4);
    record(loc.board->index(), Op::Write, loc.aperture, 4, loc.offset, value);
    if (loc.aperture == Aperture::Registers)
        loc.board->write_register(loc.offset, 4, value);
    else
        std::memcpy(reg, &value, 4);
}

VOID NTAPI VideoPortWriteRegisterUchar(PUCHAR reg, UCHAR value)
{
    sim::Location loc = device_at("register write", reg, 1);
    record(loc.board->index(), Op::Write, loc.aperture, 1, loc.offset, value);
    if (loc.aperture == Aperture::Registers)
        loc.board->write_register(loc.offset, 1, value);
    else
        *reg = value;
}

ULONG NTAPI VideoPortReadPortUlong(PULONG port)
{
    sim::Location loc = device_at("port read", port, 4);
    if (loc.aperture != Aperture::IoBlock)
        bus_fault("port read outside the I/O block", port, 4);
    uint32_t v = loc.board->read_io(loc.offset);
    record(loc.board->index(), Op::Read, Aperture::IoBlock, 4, loc.offset, v);
    return v;
}

VOID NTAPI VideoPortWritePortUlong(PULONG port, ULONG value)
{
    sim::Location loc = device_at("port write", port, 4);
    if (loc.aperture != Aperture::IoBlock)
        bus_fault("port write outside the I/O block", port, 4);
    record(loc.board->index(), Op::Write, Aperture::IoBlock, 4, loc.offset, value);
    loc.board->write_io(loc.offset, value);
}

VOID NTAPI VideoPortStallExecution(ULONG us)
{
    Machine& m = machine();
    record(-1, Op::Stall, Aperture::Registers, 0, 0, us);
    m.time_ns += static_cast<uint64_t>(us) * 1000;
}

VOID NTAPI VideoPortZeroDeviceMemory(PVOID destination, ULONG length)
{
    Machine& m = machine();
    sim::Location loc = device_at("device memory clear", destination, length);
    if (loc.aperture != Aperture::FrameBuffer ||
        loc.offset + static_cast<uint64_t>(length) > loc.board->frame_buffer().accessible())
        bus_fault("device memory clear beyond video memory", destination, length);
    std::memset(destination, 0, length);
    record(loc.board->index(), Op::ZeroMemory, loc.aperture, 0, loc.offset, length);
    m.time_ns += static_cast<uint64_t>(length) * 1'000'000'000 / m.clear_rate_bytes_per_s;
}

VOID NTAPI VideoPortZeroMemory(PVOID destination, ULONG length)
{
    std::memset(destination, 0, length);
}

VOID NTAPI VideoPortMoveMemory(PVOID destination, PVOID source, ULONG length)
{
    std::memmove(destination, source, length);
}

VP_STATUS NTAPI VideoPortInt10(PVOID ext, PVIDEO_X86_BIOS_ARGUMENTS args)
{
    Machine& m = machine();
    int board = m.board_of_extension(ext);
    m.int10_calls.push_back(*args);
    record(board, Op::Int10, Aperture::VgaPorts, 0, 0, args->Eax);
    if (m.faults.int10_status != NO_ERROR)
        return m.faults.int10_status;
    if (board >= 0 && (args->Eax & 0xFF00) == 0 && (args->Eax & 0x7F) == 3)
        m.board(board).set_text_mode(true);
    return NO_ERROR;
}

VP_STATUS NTAPI VideoPortSetRegistryParameters(PVOID ext, PWSTR name, PVOID data, ULONG length)
{
    Machine& m = machine();
    if (m.faults.set_registry_status != NO_ERROR)
        return m.faults.set_registry_status;
    int board = m.board_of_extension(ext);
    auto* bytes = static_cast<uint8_t*>(data);
    m.set_registry_binary(board, std::u16string(name), std::vector<uint8_t>(bytes, bytes + length));
    return NO_ERROR;
}

VP_STATUS NTAPI VideoPortGetRegistryParameters(PVOID ext, PWSTR name, UCHAR,
                                               PMINIPORT_GET_REGISTRY_ROUTINE callback,
                                               PVOID context)
{
    Machine& m = machine();
    sim::RegistryKey& key = m.registry(m.board_of_extension(ext));
    auto it = key.find(std::u16string(name));
    if (it == key.end())
        return ERROR_INVALID_PARAMETER;
    // The callback gets its own copy, as the platform hands out a buffer of its own.
    std::vector<uint8_t> data = it->second.data;
    data.reserve(data.size() + 1);
    return callback(ext, context, name, data.data(), static_cast<ULONG>(data.size()));
}

} // extern "C"
