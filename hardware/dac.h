// The RGB526 RAMDAC model: eight byte-wide ports 4 bytes apart, an indexed
// register file behind index low/high/data with auto-increment, and a
// 256-entry palette loaded three writes per entry.
#pragma once

#include "support/rgb.h"

#include <array>
#include <cstdint>

namespace sim {

namespace dac_port {
constexpr uint32_t PaletteWriteAddress = 0x00;
constexpr uint32_t PaletteData = 0x04;
constexpr uint32_t PixelMask = 0x08;
constexpr uint32_t PaletteReadAddress = 0x0C;
constexpr uint32_t IndexLow = 0x10;
constexpr uint32_t IndexHigh = 0x14;
constexpr uint32_t IndexData = 0x18;
constexpr uint32_t IndexControl = 0x1C;
constexpr uint32_t End = 0x20;
} // namespace dac_port

// The indexed registers behind the index ports.
namespace dac_reg {
constexpr uint16_t MiscClock = 0x02;
constexpr uint16_t SyncControl = 0x03;
constexpr uint16_t HSyncPosition = 0x04;
constexpr uint16_t Power = 0x05;
constexpr uint16_t Operation = 0x06;
constexpr uint16_t PaletteControl = 0x07;
constexpr uint16_t SystemClockControl = 0x08;
constexpr uint16_t PixelFormat = 0x0A;
constexpr uint16_t Control8 = 0x0B;
constexpr uint16_t Control16 = 0x0C;
constexpr uint16_t Control24 = 0x0D;
constexpr uint16_t Control32 = 0x0E;
constexpr uint16_t PllControl1 = 0x10;
constexpr uint16_t PllControl2 = 0x11;
constexpr uint16_t SystemRef = 0x15;
constexpr uint16_t SystemVco = 0x16;
constexpr uint16_t PixelVco = 0x20;
constexpr uint16_t PixelRef = 0x21;
constexpr uint16_t CursorControl = 0x30;
constexpr uint16_t CursorColour1 = 0x40; // red, green, blue
constexpr uint16_t CursorColour2 = 0x43;
constexpr uint16_t Misc1 = 0x70;
constexpr uint16_t Misc2 = 0x71;
constexpr uint16_t Misc3 = 0x72;
constexpr uint16_t Misc4 = 0x73;
constexpr uint16_t Misc5 = 0x74;
} // namespace dac_reg

class Dac {
  public:
    Dac();
    void write(uint32_t port_offset, uint8_t value);
    uint8_t read(uint32_t port_offset);

    uint8_t reg(uint16_t index) const { return regs_[index]; }
    void set_reg(uint16_t index, uint8_t v) { regs_[index] = v; }
    uint16_t index() const { return index_; }
    bool auto_increment() const { return index_control_ & 1; }
    const Rgb& palette(int i) const { return palette_[i]; }
    uint8_t pixel_mask() const { return pixel_mask_; }
    uint8_t palette_write_address() const { return write_address_; }
    int palette_component() const { return component_; } // 0 red, 1 green, 2 blue

  private:
    std::array<uint8_t, 0x10000> regs_{};
    std::array<Rgb, 256> palette_{};
    uint16_t index_ = 0;
    uint8_t index_control_ = 0;
    uint8_t pixel_mask_ = 0xFF;
    uint8_t write_address_ = 0;
    uint8_t read_address_ = 0;
    int component_ = 0; // 0 red, 1 green, 2 blue of the entry being written
};

} // namespace sim
