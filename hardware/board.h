// One simulated board of the family: PCI configuration space, its apertures,
// the chip's register file and I/O block, the DAC and the frame buffer.
#pragma once

#include "hardware/dac.h"
#include "hardware/region.h"
#include "hardware/trace.h"

#include <array>
#include <cstdint>
#include <memory>

namespace sim {

// The family's PCI identity (also what the miniport detects).
constexpr uint16_t kVendorId = 0x1A7C;
constexpr uint16_t kDeviceId = 0x0526;

constexpr uint32_t kRegisterApertureSize = 0x10000;
constexpr uint32_t kIoBlockSize = 0x100;
constexpr uint32_t kFrameBufferApertureSize = 0x2000000; // 32 MiB window, memory at its start
constexpr uint32_t kXyApertureSize = 0x1000000;
constexpr uint32_t kRomSize = 0x8000;
constexpr uint32_t kEngineApertureSize = 0x10000; // the 3D engine's registers

// PCI configuration space: the six base address registers and what their
// low bits say.
constexpr uint32_t kPciBar0 = 0x10;
constexpr int kPciBars = 6;
constexpr uint32_t kBarIoSpace = 0x1;
constexpr uint32_t kBarPrefetchable = 0x8;

// What each base address register decodes, in register order. The boards
// lie one after another: board i's aperture starts at first + i * stride.
// An aperture without a region behind it (the second XY window, the 3D
// engine) is decoded but reaches nothing.
struct ApertureMapEntry {
    Aperture aperture;
    bool io; // I/O space, else memory
    bool prefetchable;
    bool backed; // a region of the board is behind it
    uint32_t first;
    uint32_t stride;
    uint32_t size;
};
inline constexpr ApertureMapEntry kApertureMap[kPciBars] = {
    {Aperture::FrameBuffer, false, true, true, 0x80000000, 0x4000000, kFrameBufferApertureSize},
    {Aperture::XyWindowB, false, false, false, 0xE0000000, 0x1000000, kXyApertureSize},
    {Aperture::XyWindow, false, false, true, 0xD0000000, 0x1000000, kXyApertureSize},
    {Aperture::Engine, false, false, false, 0xF8000000, 0x20000, kEngineApertureSize},
    {Aperture::Registers, false, false, true, 0xF0000000, 0x10000, kRegisterApertureSize},
    {Aperture::IoBlock, true, false, true, 0x8000, 0x100, kIoBlockSize},
};

// The base address register that decodes an aperture; -1 for the machine's own.
constexpr int bar_of(Aperture a)
{
    for (int bar = 0; bar < kPciBars; ++bar)
        if (kApertureMap[bar].aperture == a)
            return bar;
    return -1;
}

// Whether [phys, phys + length) lies within [start, start + size).
constexpr bool range_holds(uint32_t start, uint32_t size, uint32_t phys, uint32_t length)
{
    return phys >= start && length <= size && phys - start <= size - length;
}

// Chip register offsets, those the model gives behaviour to and those the
// traces name.
namespace chip {
constexpr uint32_t BusyStatus = 0x4008; // bits 0 and 1 busy
constexpr uint32_t BusyCount = 0x400C;  // non-zero while busy
// Display controller: start and pitch in bytes, horizontal timing in memory
// words, vertical timing in lines.
constexpr uint32_t DisplayReserved0 = 0x20;
constexpr uint32_t DisplayReserved1 = 0x24;
constexpr uint32_t DisplayStart = 0x28;
constexpr uint32_t DisplayPitch = 0x2C;
constexpr uint32_t HActive = 0x30;
constexpr uint32_t HBlank = 0x34;
constexpr uint32_t HFrontPorch = 0x38;
constexpr uint32_t HSync = 0x3C;
constexpr uint32_t VActive = 0x40;
constexpr uint32_t VBlank = 0x44;
constexpr uint32_t VFrontPorch = 0x48;
constexpr uint32_t VSync = 0x4C;
constexpr uint32_t DisplayReserved2 = 0x50;
constexpr uint32_t DisplayReserved3 = 0x54;
constexpr uint32_t DisplayControl = 0x58; // bit 0 positive hsync, bit 1 positive vsync
constexpr uint32_t MemoryConfig = 0x5C;
constexpr uint32_t MemConfigGraphics = 0x100;   // native graphics layout (off in VGA)
constexpr uint32_t MemConfigSgram = 0x20000000; // 32-bit SGRAM words
constexpr uint32_t MemConfigWram = 0x40000;     // 64-bit WRAM words
// Memory window 0 and the XY windows' controls (size code in bits 8-11).
constexpr uint32_t Mw0Base = 0x2000;
constexpr uint32_t Mw0Size = 0x2008;
constexpr uint32_t Mw0Origin = 0x200C;
constexpr uint32_t Mw0Control = 0x2010;
constexpr uint32_t Mw0Mask = 0x2024;
constexpr uint32_t XyAControl = 0x4010;
constexpr uint32_t XyBControl = 0x6010;
// I/O block.
constexpr uint32_t IoMemoryClockStrap = 0x18; // bits 0-2 clear select the fixed memory clock
constexpr uint32_t IoConfig = 0x1C;           // window enables in bits 16, 20 and 21
constexpr uint32_t IoMemoryType = 0x20;
constexpr uint32_t IoSgramTiming = 0x24;
constexpr uint32_t IoMemoryReset = 0x28;
constexpr uint32_t IoControl = 0x30;
} // namespace chip

// The machine's PCI buses: the host bridge's bus and the one behind the AGP
// bridge, where the AGP slot is.
constexpr int kHostBus = 0;
constexpr int kAgpBus = 1;
constexpr int kNumBuses = 2;
// BoardSetup::bus for a board placed by its kind: AGP boards behind the AGP
// bridge, PCI boards on the host bus.
constexpr int kBusOfItsKind = -1;

struct BoardSetup {
    BoardSetup() = default;
    // A board of this configuration code on `bus`, every other setting as at
    // power-up of a healthy board.
    explicit BoardSetup(uint32_t code, int on_bus = kBusOfItsKind) : config_code(code), bus(on_bus)
    {
    }

    uint32_t config_code = 0x11;        // PCI subsystem id
    int bus = kBusOfItsKind;            // kHostBus, kAgpBus or kBusOfItsKind
    bool vga_compatible = true;         // PCI sub-class 0 (VGA) or 0x80 (other display)
    uint32_t memory_clock_strap = 0x01; // as chip::IoMemoryClockStrap reads
    uint32_t busy_polls = 0;            // polls of each busy register before it reads idle
    bool never_idle = false;            // busy bits never clear
    uint32_t command = 0x0000;          // PCI command register at power-up
    uint8_t revision = 1;
    // Bits of the I/O configuration register (+0x1C) that never read back set.
    uint32_t io_config_read_as_zero = 0;
    // Base address registers (bit i: register i) the PCI BIOS left unassigned,
    // as it does when it runs out of address space: their address reads 0.
    uint8_t unassigned_bars = 0;
};

// Memory size the board carries for a configuration code (low three bits).
uint32_t memory_size_for_code(uint32_t code);
bool is_sgram_code(uint32_t code);
// Whether a configuration code names an AGP board (the "- AGP" boards).
bool is_agp_code(uint32_t code);
// The bus a board of this setup sits on.
int bus_of(const BoardSetup& setup);

class Board {
  public:
    Board(int index, const BoardSetup& setup);

    int index() const { return index_; }
    const BoardSetup& setup() const { return setup_; }
    int bus() const { return bus_; }
    uint32_t memory_size() const { return memory_size_; }

    // PCI configuration space (256 bytes, little-endian).
    uint32_t config_dword(uint32_t offset) const;
    void set_config_dword(uint32_t offset, uint32_t value);
    uint8_t* config_bytes() { return config_.data(); }
    // A configuration write as the bus performs it: identity and class are
    // read-only, and a base address register keeps only the address bits
    // its size allows (all ones written reads back the size mask).
    void write_config(uint32_t offset, const uint8_t* bytes, uint32_t length);

    // Chip register aperture and I/O block, as the bus sees them.
    uint32_t read_register(uint32_t offset, int width);
    void write_register(uint32_t offset, int width, uint32_t value);
    uint32_t read_io(uint32_t offset);
    void write_io(uint32_t offset, uint32_t value);

    // Raw state for decoders and tests (no side effects, not traced).
    uint32_t reg(uint32_t offset) const { return regs_[offset / 4]; }
    void poke_reg(uint32_t offset, uint32_t v) { regs_[offset / 4] = v; }
    uint32_t io(uint32_t offset) const { return io_[offset / 4]; }
    void poke_io(uint32_t offset, uint32_t v) { io_[offset / 4] = v; }
    Dac& dac() { return dac_; }
    const Dac& dac() const { return dac_; }

    Region& frame_buffer() { return regions_[bar_of(Aperture::FrameBuffer)]; }
    const Region& frame_buffer() const { return regions_[bar_of(Aperture::FrameBuffer)]; }
    // What an aperture of the board maps to; null when nothing is behind it.
    Region* region(Aperture a);

    // Bus address of one of the board's apertures (one of kApertureMap).
    uint32_t phys(Aperture a) const;
    // Whether the aperture's base address register was assigned an address.
    bool assigned(Aperture a) const;
    // Whether the board answers the legacy VGA ports on its own bus: a
    // VGA-compatible board with I/O decoding on.
    bool decodes_vga_ports() const;

    bool text_mode() const { return text_mode_; }
    void set_text_mode(bool on) { text_mode_ = on; }

  private:
    uint32_t read_busy(uint32_t offset);
    uint8_t writable_config_bits(uint32_t offset) const;

    int index_;
    BoardSetup setup_;
    int bus_;
    uint32_t memory_size_;
    std::array<uint8_t, 256> config_{};
    std::array<uint32_t, kPciBars> bar_masks_{};
    std::array<uint32_t, kRegisterApertureSize / 4> regs_{};
    std::array<uint32_t, kIoBlockSize / 4> io_{};
    Dac dac_;
    std::array<Region, kPciBars> regions_; // by base address register
    uint32_t busy_polls_left_[2] = {0, 0};
    bool text_mode_ = true;
};

} // namespace sim
