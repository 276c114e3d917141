#include "machine.h"

#include <cstring>

namespace sim {

namespace {
Machine* g_current = nullptr;
constexpr uint32_t kVgaPortsSize = 0x20;
} // namespace

Machine::Machine(const std::vector<BoardSetup>& setups)
    : setups_(setups), vga_ports_(kVgaPortsSize, 0), rom_(kRomSize, kRomSize)
{
    power_cycle();
    // A video BIOS image: its signature and a little text.
    rom_.base()[0] = 0x55;
    rom_.base()[1] = 0xAA;
    rom_.base()[2] = kRomSize / 512;
    const char text[] = "Halcyra 3D BIOS v1.2";
    std::memcpy(rom_.base() + 0x40, text, sizeof text);
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
    get_access_ranges_calls = 0;
    find_adapter_status.clear();
    find_adapter_config.clear();
    devices.clear();
    extension_board.clear();
    extensions.clear();
    mappings.clear();
    int10_calls.clear();
    hw = {};
}

ULONG Machine::boot(const DriverImage& driver)
{
    make_current();
    driver_ = driver;
    if (driver.reload)
        driver.reload();
    return driver.entry(reinterpret_cast<PVOID>(0x1000), reinterpret_cast<PVOID>(0x2000));
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

BOOLEAN Machine::start_io(int device, VIDEO_REQUEST_PACKET* packet)
{
    return hw.HwStartIO(devices.at(device), packet);
}

BOOLEAN Machine::reset_hw(int device)
{
    return hw.HwResetHw(devices.at(device), 80, 50);
}

} // namespace sim
