#include "machine.h"

#include <cstring>

namespace sim {

namespace {
constexpr uint32_t kVgaPortsSize = 0x20;
} // namespace

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
}

void Machine::power_cycle()
{
    boards_.clear();
    for (size_t i = 0; i < setups_.size(); ++i)
        boards_.push_back(std::make_unique<Board>(static_cast<int>(i), setups_[i]));
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

int Machine::primary_vga() const
{
    for (const auto& b : boards_)
        if (b->setup().vga_compatible)
            return b->index();
    return -1;
}

Location Machine::locate(const void* p, size_t len) const
{
    for (const auto& b : boards_)
        for (const ApertureMapEntry& e : kApertureMap)
            if (Region* r = b->region(e.aperture); r && r->contains(p, len))
                return {b.get(), e.aperture, r->offset_of(p), r};
    return {};
}

Location Machine::at_bus_address(uint32_t phys, uint32_t len, bool io)
{
    if (io && phys == kVgaPortsBase && len <= vga_ports_.size())
        return {nullptr, Aperture::VgaPorts, 0, &vga_ports_};
    if (!io && range_holds(kRomBase, kRomSize, phys, len))
        return {nullptr, Aperture::Rom, phys - kRomBase, &rom_};
    for (const auto& b : boards_)
        for (const ApertureMapEntry& e : kApertureMap) {
            Region* r = b->region(e.aperture);
            uint32_t start = b->phys(e.aperture);
            if (r && e.io == io && range_holds(start, e.size, phys, len))
                return {b.get(), e.aperture, phys - start, r};
        }
    return {};
}

} // namespace sim
