#include "machine.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <utility>

namespace sim {

namespace {
Machine* g_current = nullptr;
constexpr uint32_t kVgaPortsSize = 0x20;
} // namespace

const char* callback_name(Callback c)
{
    switch (c) {
    case Callback::None:
        return "no callback";
    case Callback::FindAdapter:
        return "HwFindAdapter";
    case Callback::Initialize:
        return "HwInitialize";
    case Callback::StartIO:
        return "HwStartIO";
    case Callback::ResetHw:
        return "HwResetHw";
    }
    return "?";
}

Machine::Machine(const std::vector<BoardSetup>& setups)
    : setups_(setups), vga_ports_(kVgaPortsSize, 0), rom_(kRomSize, kRomSize)
{
    power_cycle();
    // The system VGA's BIOS image, when one of the boards is the system VGA:
    // its signature and a little text. Without one the range reads as an
    // empty bus.
    std::memset(rom_.base(), 0xFF, kRomSize);
    if (primary_vga() >= 0) {
        rom_.base()[0] = 0x55;
        rom_.base()[1] = 0xAA;
        rom_.base()[2] = kRomSize / 512;
        const char text[] = "Halcyra 3D BIOS v1.2";
        std::memcpy(rom_.base() + 0x40, text, sizeof text);
    }
    make_current();
}

Machine::~Machine()
{
    if (g_current == this)
        g_current = nullptr;
}

Machine* Machine::current()
{
    return g_current;
}
void Machine::make_current()
{
    g_current = this;
}

void Machine::power_cycle()
{
    boards_.clear();
    for (size_t i = 0; i < setups_.size(); ++i)
        boards_.push_back(std::make_unique<Board>(static_cast<int>(i), setups_[i]));
    claimed.assign(setups_.size(), false);
    claims.clear();
    get_access_ranges_calls = 0;
    find_adapter_status.clear();
    find_adapter_config.clear();
    devices.clear();
    opened.clear();
    requesting_device = -1;
    running = Callback::None;
    violations.clear();
    extension_board.clear();
    extensions.clear();
    mappings.clear();
    refused_unmaps.clear();
    int10_calls.clear();
    hw = {};
}

ULONG Machine::boot(const DriverImage& driver)
{
    make_current();
    driver_ = driver;
    if (driver.reload)
        driver.reload();
    ULONG status = driver.entry(reinterpret_cast<PVOID>(0x1000), reinterpret_cast<PVOID>(0x2000));
    size_t wanted =
        opens == DeviceOpens::Every ? devices.size() : std::min<size_t>(devices.size(), 1);
    for (size_t device = 0; device < wanted; ++device)
        open(static_cast<int>(device));
    return status;
}

ULONG Machine::reboot()
{
    power_cycle();
    trace.clear();
    time_ns = 0;
    return boot(driver_);
}

void Machine::set_registry_dword(int board, const std::u16string& name, uint32_t v)
{
    RegistryValue value{kRegDword, std::vector<uint8_t>(4)};
    std::memcpy(value.data.data(), &v, 4);
    registry_[board][name] = value;
}

void Machine::set_registry_binary(int board, const std::u16string& name,
                                  const std::vector<uint8_t>& bytes, uint32_t type)
{
    registry_[board][name] = RegistryValue{type, bytes};
}

int Machine::board_of_extension(PVOID ext) const
{
    auto it = extension_board.find(ext);
    return it == extension_board.end() ? -1 : it->second;
}

void Machine::violation(const std::string& what)
{
    violations.push_back(what);
    if (collect_violations)
        return;
    std::fprintf(stderr, "videoport verifier: %s\n", what.c_str());
    std::abort();
}

Callback Machine::enter(Callback c)
{
    if (running != Callback::None)
        violation(std::string(callback_name(c)) + " entered while " + callback_name(running) +
                  " runs");
    return std::exchange(running, c);
}

int Machine::primary_vga() const
{
    for (const auto& b : boards_)
        if (b->setup().vga_compatible)
            return b->index();
    return -1;
}

Location Machine::locate(const void* p, size_t len) const
{
    for (const auto& b : boards_) {
        if (b->registers().contains(p, len))
            return {b.get(), Aperture::Registers, b->registers().offset_of(p)};
        if (b->io_block().contains(p, len))
            return {b.get(), Aperture::IoBlock, b->io_block().offset_of(p)};
        if (b->frame_buffer().contains(p, len))
            return {b.get(), Aperture::FrameBuffer, b->frame_buffer().offset_of(p)};
        if (b->xy_window().contains(p, len))
            return {b.get(), Aperture::XyWindow, b->xy_window().offset_of(p)};
    }
    return {};
}

bool Machine::is_open(int device) const
{
    return device >= 0 && size_t(device) < opened.size() && opened[size_t(device)];
}

bool Machine::open(int device)
{
    PVOID ext = devices.at(size_t(device));
    opened.resize(devices.size(), false);
    if (opened[size_t(device)])
        return true;
    if (!in_callback(Callback::Initialize, [&] { return hw.HwInitialize(ext); }))
        return false;
    opened[size_t(device)] = true;
    return true;
}

void Machine::close(int device)
{
    if (!is_open(device))
        return;
    opened[size_t(device)] = false;
    for (const Mapping& map : mappings)
        if (!map.kernel && map.handle == device)
            violation("device " + std::to_string(device) +
                      " closed with a mapping of the display driver left behind");
}

BOOLEAN Machine::start_io(int device, VIDEO_REQUEST_PACKET* packet)
{
    if (!open(device))
        return FALSE;
    int outer = std::exchange(requesting_device, device);
    BOOLEAN handled = in_callback(Callback::StartIO,
                                  [&] { return hw.HwStartIO(devices.at(size_t(device)), packet); });
    requesting_device = outer;
    return handled;
}

BOOLEAN Machine::reset_hw(int device)
{
    if (!is_open(device))
        return FALSE;
    return in_callback(Callback::ResetHw,
                       [&] { return hw.HwResetHw(devices.at(size_t(device)), 80, 50); });
}

} // namespace sim
