// The simulated machine: two PCI buses (the host bridge's, and the one behind
// the AGP bridge) with any number of boards, simulated time and the
// device-access trace. It knows nothing of the platform that serves a driver
// on it (the registry is the platform's).
#pragma once

#include "hardware/board.h"
#include "hardware/region.h"
#include "hardware/trace.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// The legacy ranges the machine itself decodes: the system VGA's ports and
// its BIOS image.
constexpr uint32_t kVgaPortsBase = 0x3C0;
constexpr uint32_t kRomBase = 0xC0000;

struct Location {
    Board* board = nullptr; // null: one of the machine's own ranges, or nothing
    Aperture aperture = Aperture::Registers;
    uint32_t offset = 0;
    Region* region = nullptr; // what the address reaches
};

class Machine {
  public:
    explicit Machine(const std::vector<BoardSetup>& setups);
    virtual ~Machine() = default;
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    std::vector<std::unique_ptr<Board>>& boards() { return boards_; }
    Board& board(int i) { return *boards_.at(i); }
    size_t num_boards() const { return boards_.size(); }

    Trace trace;
    // Simulated device time in nanoseconds (stalls and memory clears).
    uint64_t time_ns = 0;
    // Bus rate at which the frame buffer is cleared, bytes per second.
    uint64_t clear_rate_bytes_per_s = 400'000'000;

    // Which board and aperture a device address belongs to (board null: none).
    Location locate(const void* p, size_t len) const;
    // What a bus address range reaches, in memory or I/O space (region null: nothing).
    Location at_bus_address(uint32_t phys, uint32_t len, bool io);
    Region& vga_ports() { return vga_ports_; }
    Region& rom() { return rom_; }
    // The system's VGA: the first VGA-compatible board in bus order (the
    // host bus first, as the BIOS looks for its display), whose BIOS is the
    // ROM at 0xC0000 and serves the BIOS calls; -1 when none is.
    int primary_vga() const;

    // PCI topology. A board's slot is its place among the boards of its bus,
    // in the order the machine was set up; slots count per bus.
    std::vector<int> boards_on_bus(int bus) const;
    Board* board_at(int bus, uint32_t slot);
    uint32_t slot_of(const Board& b) const;
    // The AGP bridge's VGA enable: legacy VGA cycles reach its bus only while
    // it is set. The BIOS sets it when the system's VGA sits behind the bridge.
    bool bridge_vga_enable = false;
    // The boards that answer the legacy VGA ports 0x3C0-0x3DF now: a board
    // that decodes them on the host bus, or behind the bridge while its VGA
    // enable is set. Two at once is a conflict: both drive the bus on a read.
    std::vector<int> vga_port_answerers() const;
    bool vga_ports_conflict() const { return vga_port_answerers().size() > 1; }
    // Something (the BIOS) drives the legacy VGA ports: each time two or more
    // boards answer, they are kept in `vga_conflicts`.
    void drive_vga_ports();
    std::vector<std::vector<int>> vga_conflicts;

    // Every board back to its power-up state.
    void power_cycle();

  private:
    std::vector<BoardSetup> setups_;
    std::vector<std::unique_ptr<Board>> boards_;
    Region vga_ports_;
    Region rom_;
};

} // namespace sim
