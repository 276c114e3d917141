// The NT video port's operations over the simulated machine: what the miniport
// relies on, and nothing it does not.
#include "platform/videoport/video.h"

#include "platform/videoport/system.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

using korvid_host::Callback;
using korvid_host::Claim;
using korvid_host::System;
using sim::Aperture;
using sim::Event;
using sim::Op;

namespace {

constexpr int kMaxFindAdapterCalls = 64;
constexpr ULONG kConfigSpaceSize = 256;

System& machine()
{
    System* m = System::current();
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
    machine().platform_call();
}

sim::Location device_at(const char* what, const void* p, size_t len)
{
    sim::Location loc = machine().locate(p, len);
    if (!loc.board)
        bus_fault(what, p, len);
    return loc;
}

// Port operations reach the I/O block only.
sim::Location port_at(const char* what, const void* port)
{
    sim::Location loc = device_at(what, port, 4);
    if (loc.aperture != Aperture::IoBlock)
        bus_fault((std::string(what) + " outside the I/O block").c_str(), port, 4);
    return loc;
}

// Register operations reach memory space only: an I/O-space address there
// is a port, which the port operations serve.
sim::Location register_at(const char* what, const void* p, size_t len)
{
    sim::Location loc = device_at(what, p, len);
    if (loc.aperture == Aperture::IoBlock) {
        std::fprintf(stderr, "videoport: %s at %p is an I/O-space address\n", what, p);
        std::abort();
    }
    return loc;
}

// A register write of `width` bytes: the chip's registers take it with
// their side effects, memory apertures store it (the low bytes of `value`).
void write_register(void* reg, int width, uint32_t value)
{
    sim::Location loc = register_at("register write", reg, width);
    record(loc.board->index(), Op::Write, loc.aperture, width, loc.offset, value);
    if (loc.aperture == Aperture::Registers)
        loc.board->write_register(loc.offset, width, value);
    else
        std::memcpy(reg, &value, width);
}

// A bus-data call on the PCI configuration space of the board in `slot` of
// the requesting device's bus (slots count per bus), clipped to its 256
// bytes: `transfer` moves the bytes, and the access is traced with the first
// of them. Any other bus data reaches nothing.
template <typename Transfer>
ULONG config_access(Op op, PVOID ext, BUS_DATA_TYPE type, ULONG slot, PVOID buffer, ULONG offset,
                    ULONG length, Transfer transfer)
{
    System& m = machine();
    sim::Board* b = m.board_at(m.bus_of_extension(ext), slot);
    if (type != PCIConfiguration || !b || offset >= kConfigSpaceSize)
        return 0;
    ULONG n = length > kConfigSpaceSize - offset ? kConfigSpaceSize - offset : length;
    transfer(*b, n);
    uint32_t first = 0;
    std::memcpy(&first, buffer, n < 4 ? n : 4);
    record(b->index(), op, Aperture::PciConfig, n, offset, first);
    return n;
}

// The board a mapping belongs to: the one whose aperture it is, or the
// requesting device's for the machine's own ranges.
int owner_of(const System& m, const sim::Location& at, PVOID ext)
{
    return at.board ? at.board->index() : m.board_of_extension(ext);
}

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
VP_STATUS fill_ranges(sim::Board& b, PVIDEO_ACCESS_RANGE ranges, ULONG count,
                      std::vector<Claim>& claims, PVOID ext)
{
    std::erase_if(claims, [&](const Claim& c) { return c.device == ext; });
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
        claims.push_back({ext, r.start, r.length, r.io});
    }
    return NO_ERROR;
}

// One HwFindAdapter call for `bus` with a fresh zeroed extension; a device
// found is kept.
VP_STATUS find_adapter(System& m, int bus, PVOID context, UCHAR* again)
{
    m.extensions.push_back(std::make_unique<uint8_t[]>(m.hw.HwDeviceExtensionSize));
    PVOID ext = m.extensions.back().get();
    std::memset(ext, 0, m.hw.HwDeviceExtensionSize);
    m.extension_bus[ext] = bus;
    // Values a legacy VGA board would be offered; the miniport declines them.
    VIDEO_PORT_CONFIG_INFO info{};
    info.Length = m.faults.config_info_length;
    info.SystemIoBusNumber = static_cast<ULONG>(bus);
    info.AdapterInterfaceType = m.hw.AdapterInterfaceType;
    info.VdmPhysicalVideoMemoryAddress.QuadPart = 0xA0000;
    info.VdmPhysicalVideoMemoryLength = 0x20000;
    info.HardwareStateSize = 0x1000;
    *again = FALSE;
    VP_STATUS status = m.in_callback(Callback::FindAdapter, [&] {
        return m.hw.HwFindAdapter(ext, context, nullptr, &info, again);
    });
    m.find_adapter_status.push_back(status);
    m.find_adapter_config.push_back(info);
    if (status == NO_ERROR)
        m.devices.push_back(ext);
    return status;
}

// Write combining applies to memory only; an I/O range ignores the flag.
bool write_combined(ULONG space)
{
    return !(space & VIDEO_MEMORY_SPACE_IO) && (space & VIDEO_MEMORY_SPACE_P6CACHE);
}

constexpr uint32_t kPageSize = 0x1000;

// `length` bytes from `offset` of a region, grown to the end of their last
// page as far as the region reaches.
ULONG whole_pages(const sim::Region& region, uint32_t offset, ULONG length)
{
    const uint64_t lead = offset % kPageSize;
    const uint64_t end = (lead + length + kPageSize - 1) / kPageSize * kPageSize;
    return static_cast<ULONG>(std::min<uint64_t>(end - lead, region.size() - offset));
}

// ---- call rules -------------------------------------------------------------
// Checked only for calls the driver makes from its callbacks; tests may call
// the operations directly to set a board up.

constexpr ULONG kMaxStallUs = 50;

bool in_driver(const System& m)
{
    return m.running != Callback::None;
}

bool initialising(const System& m)
{
    return m.running == Callback::FindAdapter || m.running == Callback::Initialize;
}

// HwResetHw may run at raised IRQL after a crash: registers and stalls only.
void check_not_in_reset(System& m, const char* operation)
{
    if (m.running == Callback::ResetHw)
        m.violation(std::string(operation) + " called from HwResetHw");
}

bool claimed_by(const System& m, PVOID ext, uint32_t start, uint32_t length, bool io)
{
    for (const Claim& c : m.claims)
        if (c.device == ext && c.io == io && sim::range_holds(c.start, c.length, start, length))
            return true;
    return false;
}

// Kernel mappings are made while the device is found: from HwFindAdapter
// or from a registry callback (HwVidQueryNamedValueCallback), never while
// requests are served.
void check_device_base_caller(System& m)
{
    if (in_driver(m) && m.running != Callback::FindAdapter && !m.in_registry_callback)
        m.violation(std::string("VideoPortGetDeviceBase called from ") +
                    korvid_host::callback_name(m.running));
}

// A kernel mapping must lie in a range the device was given. Two legacy
// ranges are mapped without a claim while the device is found: the VGA
// ports, which every VGA-compatible board decodes and the miniport presets,
// and the system BIOS image at 0xC0000.
void check_claimed(System& m, PVOID ext, uint32_t start, uint32_t length, bool io)
{
    if (!in_driver(m) || claimed_by(m, ext, start, length, io))
        return;
    const bool legacy = io ? start == sim::kVgaPortsBase : start == sim::kRomBase;
    if (legacy && m.running == Callback::FindAdapter)
        return;
    char text[120];
    std::snprintf(text, sizeof text,
                  "VideoPortGetDeviceBase of %s 0x%X (+0x%X) that the device was not given",
                  io ? "I/O range" : "memory range", start, length);
    m.violation(text);
}

// ---- registry parameters ----------------------------------------------------
// The video port reads a parameter with RtlQueryRegistryValues and a query
// routine, without RTL_QUERY_REGISTRY_NOEXPAND: a REG_EXPAND_SZ value comes
// expanded, a REG_MULTI_SZ value one string at a time, anything else as stored.

// The system's environment as kernel-mode expansion sees it.
constexpr std::pair<std::u16string_view, std::u16string_view> kEnvironment[] = {
    {u"SystemRoot", u"C:\\WINNT"},
};

// The text of a stored string value, up to its first NUL.
std::u16string text_of(const std::vector<uint8_t>& data)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (c == 0)
            break;
        text += c;
    }
    return text;
}

// A string as the callback receives it: UTF-16, with its NUL.
std::vector<uint8_t> bytes_of(const std::u16string& text)
{
    std::vector<uint8_t> bytes;
    for (char16_t c : text + u'\0')
        bytes.insert(bytes.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
    return bytes;
}

// %NAME% references replaced by the environment; unknown ones stay as written.
std::u16string expand(const std::u16string& text)
{
    std::u16string out;
    for (size_t at = 0; at < text.size();) {
        const size_t open = text.find(u'%', at), close = text.find(u'%', open + 1);
        if (open == std::u16string::npos || close == std::u16string::npos) {
            out += text.substr(at);
            break;
        }
        out += text.substr(at, open - at);
        const std::u16string name = text.substr(open + 1, close - open - 1);
        const auto* var = std::find_if(std::begin(kEnvironment), std::end(kEnvironment),
                                       [&](const auto& v) { return v.first == name; });
        out += var != std::end(kEnvironment) ? std::u16string(var->second)
                                             : text.substr(open, close - open + 1);
        at = close + 1;
    }
    return out;
}

// What the query routine is handed for a value: one buffer per call.
std::vector<std::vector<uint8_t>> parameter_pieces(const korvid_host::RegistryValue& value)
{
    if (value.type == korvid_host::kRegExpandSz)
        return {bytes_of(expand(text_of(value.data)))};
    if (value.type != korvid_host::kRegMultiSz)
        return {value.data};
    std::vector<std::vector<uint8_t>> pieces;
    std::vector<uint8_t> rest = value.data;
    for (std::u16string s = text_of(rest); !s.empty(); s = text_of(rest)) {
        pieces.push_back(bytes_of(s));
        // A last string without its NUL ends the value.
        rest.erase(rest.begin(),
                   rest.begin() + static_cast<long>(std::min(rest.size(), pieces.back().size())));
    }
    return pieces;
}

// With IsParameterFileName the value names a file, and the file's contents
// are handed over instead; none when the machine has no such file.
std::optional<std::vector<std::vector<uint8_t>>>
file_contents(const System& m, const korvid_host::RegistryValue& value)
{
    const std::vector<std::vector<uint8_t>> names = parameter_pieces(value);
    if (names.empty())
        return std::nullopt;
    auto file = m.files.find(text_of(names.front()));
    if (file == m.files.end())
        return std::nullopt;
    return std::vector<std::vector<uint8_t>>{file->second};
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
    System& m = machine();
    if (data->HwInitDataSize > sizeof m.hw)
        return static_cast<ULONG>(STATUS_REVISION_MISMATCH);
    if (!data->HwFindAdapter || !data->HwInitialize || !data->HwStartIO)
        return static_cast<ULONG>(STATUS_INVALID_PARAMETER);
    // An older, shorter record: the fields it lacks are zero.
    m.hw = {};
    std::memcpy(&m.hw, data, data->HwInitDataSize);
    int calls = 0;
    for (int bus = 0; bus < sim::kNumBuses; ++bus) {
        UCHAR again = TRUE;
        while (again && calls++ < kMaxFindAdapterCalls) {
            if (find_adapter(m, bus, context, &again) != NO_ERROR)
                break;
        }
    }
    m.opened.assign(m.devices.size(), false);
    return static_cast<ULONG>(m.devices.empty() ? STATUS_UNSUCCESSFUL : STATUS_SUCCESS);
}

VP_STATUS NTAPI VideoPortGetAccessRanges(PVOID ext, ULONG, PVOID, ULONG count,
                                         PVIDEO_ACCESS_RANGE ranges, PVOID vendor, PVOID device,
                                         PULONG slot)
{
    System& m = machine();
    if (in_driver(m) && m.running != Callback::FindAdapter)
        m.violation("VideoPortGetAccessRanges called outside HwFindAdapter");
    int call = m.get_access_ranges_calls++;
    if (call == m.faults.fail_get_access_ranges_call)
        return ERROR_DEV_NOT_EXIST;
    USHORT want_vendor = *static_cast<USHORT*>(vendor);
    USHORT want_device = *static_cast<USHORT*>(device);
    for (int index : m.boards_on_bus(m.bus_of_extension(ext))) {
        sim::Board& b = m.board(index);
        uint32_t id = b.config_dword(0);
        if ((id & 0xFFFF) != want_vendor || (id >> 16) != want_device)
            continue;
        if (m.claimed[index]) {
            if (m.slot_search == korvid_host::SlotSearch::SkipClaimed)
                continue;
            return ERROR_INVALID_PARAMETER; // another device holds its resources
        }
        // Each board is offered once per load, also one whose resources
        // conflict: the search goes on past it.
        m.claimed[index] = true;
        if (m.faults.conflicting_boards.count(index))
            return m.faults.conflict_status;
        m.extension_board[ext] = index;
        VP_STATUS status = fill_ranges(b, ranges, count, m.claims, ext);
        if (status != NO_ERROR)
            return status;
        // The slot variable only receives the board's slot on its bus; the
        // search does not start from it.
        if (slot)
            *slot = m.slot_of(b);
        return NO_ERROR;
    }
    return ERROR_DEV_NOT_EXIST;
}

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

PVOID NTAPI VideoPortGetDeviceBase(PVOID ext, PHYSICAL_ADDRESS address, ULONG length, UCHAR io)
{
    System& m = machine();
    if (address.HighPart != 0)
        return nullptr;
    check_device_base_caller(m);
    check_claimed(m, ext, address.LowPart, length, io & VIDEO_MEMORY_SPACE_IO);
    sim::Location at = m.at_bus_address(address.LowPart, length, io & VIDEO_MEMORY_SPACE_IO);
    if (!at.region)
        return nullptr;
    int owner = owner_of(m, at, ext);
    if (m.faults.fail_device_base.count({owner, at.aperture}) ||
        (at.aperture == Aperture::Rom && m.faults.fail_rom_mapping))
        return nullptr;
    uint8_t* va = at.region->base() + at.offset;
    m.mappings.push_back({owner, at.aperture, address.LowPart, length, va, 0, true, -1, nullptr,
                          write_combined(io)});
    return va;
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
    System& m = machine();
    if (m.faults.map_memory_status != NO_ERROR)
        return m.faults.map_memory_status;
    if (address.HighPart != 0 || !length || !io_space || !virtual_address)
        return ERROR_INVALID_PARAMETER;
    bool io = *io_space & VIDEO_MEMORY_SPACE_IO;
    sim::Location at = m.at_bus_address(address.LowPart, *length, io);
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
    m.mappings.push_back({owner_of(m, at, ext), at.aperture, address.LowPart, *length, va, process,
                          false, m.requesting_device, view, write_combined(*io_space)});
    *virtual_address = va;
    return NO_ERROR;
}

VP_STATUS NTAPI VideoPortUnmapMemory(PVOID, PVOID virtual_address, HANDLE process)
{
    System& m = machine();
    auto& maps = m.mappings;
    uint32_t proc = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(process));
    for (auto it = maps.begin(); it != maps.end(); ++it)
        if (!it->kernel && it->va == virtual_address && it->process == proc) {
            maps.erase(it);
            return NO_ERROR;
        }
    m.refused_unmaps.push_back(virtual_address);
    return ERROR_INVALID_PARAMETER;
}

ULONG NTAPI VideoPortReadRegisterUlong(PULONG reg)
{
    sim::Location loc = register_at("register read", reg, 4);
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
    write_register(reg, 4, value);
}

VOID NTAPI VideoPortWriteRegisterUchar(PUCHAR reg, UCHAR value)
{
    write_register(reg, 1, value);
}

ULONG NTAPI VideoPortReadPortUlong(PULONG port)
{
    sim::Location loc = port_at("port read", port);
    uint32_t v = loc.board->read_io(loc.offset);
    record(loc.board->index(), Op::Read, Aperture::IoBlock, 4, loc.offset, v);
    return v;
}

VOID NTAPI VideoPortWritePortUlong(PULONG port, ULONG value)
{
    sim::Location loc = port_at("port write", port);
    record(loc.board->index(), Op::Write, Aperture::IoBlock, 4, loc.offset, value);
    loc.board->write_io(loc.offset, value);
}

VOID NTAPI VideoPortStallExecution(ULONG us)
{
    System& m = machine();
    if (us > kMaxStallUs && in_driver(m) && !initialising(m))
        m.violation("a stall of " + std::to_string(us) + " us in " +
                    korvid_host::callback_name(m.running));
    record(-1, Op::Stall, Aperture::Registers, 0, 0, us);
    m.time_ns += static_cast<uint64_t>(us) * 1000;
}

VOID NTAPI VideoPortZeroDeviceMemory(PVOID destination, ULONG length)
{
    System& m = machine();
    sim::Location loc = device_at("device memory clear", destination, length);
    if (loc.aperture != Aperture::FrameBuffer ||
        loc.offset + static_cast<uint64_t>(length) > loc.board->frame_buffer().accessible())
        bus_fault("device memory clear beyond video memory", destination, length);
    loc.board->frame_buffer().zero(loc.offset, length);
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
    System& m = machine();
    check_not_in_reset(m, "VideoPortInt10");
    int board = m.board_of_extension(ext);
    m.int10_calls.push_back(*args);
    record(board, Op::Int10, Aperture::VgaPorts, 0, 0, args->Eax);
    if (m.faults.int10_status != NO_ERROR)
        return m.faults.int10_status;
    // The real-mode BIOS is the system VGA's, whichever device asks.
    int vga = m.primary_vga();
    if (vga < 0)
        return ERROR_INVALID_FUNCTION;
    m.drive_vga_ports();
    if ((args->Eax & 0xFF00) == 0 && (args->Eax & 0x7F) == 3)
        m.board(vga).set_text_mode(true);
    return NO_ERROR;
}

VP_STATUS NTAPI VideoPortSetRegistryParameters(PVOID ext, PWSTR name, PVOID data, ULONG length)
{
    System& m = machine();
    check_not_in_reset(m, "VideoPortSetRegistryParameters");
    if (m.faults.set_registry_status != NO_ERROR)
        return m.faults.set_registry_status;
    int board = m.board_of_extension(ext);
    auto* bytes = static_cast<uint8_t*>(data);
    m.set_registry_binary(board, std::u16string(name), std::vector<uint8_t>(bytes, bytes + length));
    return NO_ERROR;
}

// NO_ERROR once the value was found and the callback called, whatever the
// callback answered (its VP_STATUS is no failure to the query); otherwise
// ERROR_INVALID_PARAMETER.
VP_STATUS NTAPI VideoPortGetRegistryParameters(PVOID ext, PWSTR name, UCHAR is_file_name,
                                               PMINIPORT_GET_REGISTRY_ROUTINE callback,
                                               PVOID context)
{
    System& m = machine();
    check_not_in_reset(m, "VideoPortGetRegistryParameters");
    korvid_host::RegistryKey& key = m.registry(m.board_of_extension(ext));
    auto it = key.find(std::u16string(name));
    if (it == key.end())
        return ERROR_INVALID_PARAMETER;
    std::optional<std::vector<std::vector<uint8_t>>> pieces =
        is_file_name ? file_contents(m, it->second) : parameter_pieces(it->second);
    if (!pieces)
        return ERROR_INVALID_PARAMETER;
    const bool outer = std::exchange(m.in_registry_callback, true);
    // Each call gets a buffer of its own, as the platform hands out.
    for (std::vector<uint8_t>& data : *pieces) {
        data.reserve(data.size() + 1);
        callback(ext, context, name, data.data(), static_cast<ULONG>(data.size()));
    }
    m.in_registry_callback = outer;
    return NO_ERROR;
}

} // extern "C"
