#include "hardware/machine.h"

#include <algorithm>
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
    vga_conflicts.clear();
    const int vga = primary_vga();
    bridge_vga_enable = vga >= 0 && board(vga).bus() == kAgpBus;
}

int Machine::primary_vga() const
{
    for (int bus = 0; bus < kNumBuses; ++bus)
        for (int i : boards_on_bus(bus))
            if (boards_[i]->setup().vga_compatible)
                return i;
    return -1;
}

std::vector<int> Machine::boards_on_bus(int bus) const
{
    std::vector<int> on_bus;
    for (const auto& b : boards_)
        if (b->bus() == bus)
            on_bus.push_back(b->index());
    return on_bus;
}

void Machine::drive_vga_ports()
{
    if (std::vector<int> answering = vga_port_answerers(); answering.size() > 1)
        vga_conflicts.push_back(answering);
}

Board* Machine::board_at(int bus, uint32_t slot)
{
    std::vector<int> on_bus = boards_on_bus(bus);
    return slot < on_bus.size() ? boards_[on_bus[slot]].get() : nullptr;
}

uint32_t Machine::slot_of(const Board& b) const
{
    std::vector<int> on_bus = boards_on_bus(b.bus());
    return static_cast<uint32_t>(std::find(on_bus.begin(), on_bus.end(), b.index()) -
                                 on_bus.begin());
}

std::vector<int> Machine::vga_port_answerers() const
{
    std::vector<int> answering;
    for (const auto& b : boards_)
        if (b->decodes_vga_ports() && (b->bus() == kHostBus || bridge_vga_enable))
            answering.push_back(b->index());
    return answering;
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
            if (r && e.io == io && b->assigned(e.aperture) && range_holds(start, e.size, phys, len))
                return {b.get(), e.aperture, phys - start, r};
        }
    return {};
}

} // namespace sim
