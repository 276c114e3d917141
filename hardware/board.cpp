#include "hardware/board.h"

#include <cstring>

namespace sim {

namespace {
constexpr uint32_t kMemorySizeByCode[8] = {
    0x400000, 0x800000, 0xC00000, 0x1400000, 0x800000, 0xC00000, 0x1000000, 0x1800000,
};
constexpr uint32_t kSgramBit = 0x10;
// Codes 8-15 and 24-31 are the AGP boards of each memory type.
constexpr uint32_t kAgpBit = 0x08;
constexpr uint32_t kPciCommandIoDecode = 0x1;
// The low bits of a base address register that describe it rather than address it.
constexpr uint32_t kBarIoFlags = 0x3;
constexpr uint32_t kBarMemoryFlags = 0xF;
constexpr uint32_t kClassDisplay = 0x03;
constexpr uint32_t kSubclassVga = 0x00;
constexpr uint32_t kSubclassOther = 0x80;
constexpr uint32_t kBusyBits = 0x3;
constexpr uint32_t kPciCommand = 0x04;
constexpr uint32_t kPciStatus = 0x06;
constexpr uint32_t kPciCacheLine = 0x0C;
constexpr uint32_t kPciHeaderEnd = 0x40;

// Address bits a base address register of `size` bytes decodes.
constexpr uint32_t size_mask(uint32_t size)
{
    return ~(size - 1);
}
} // namespace

uint32_t memory_size_for_code(uint32_t code)
{
    return kMemorySizeByCode[code & 7];
}
bool is_sgram_code(uint32_t code)
{
    return code & kSgramBit;
}
bool is_agp_code(uint32_t code)
{
    return code & kAgpBit;
}
int bus_of(const BoardSetup& setup)
{
    if (setup.bus != kBusOfItsKind)
        return setup.bus;
    return is_agp_code(setup.config_code) ? kAgpBus : kHostBus;
}

Board::Board(int index, const BoardSetup& setup)
    : index_(index), setup_(setup), bus_(bus_of(setup)),
      memory_size_(memory_size_for_code(setup.config_code))
{
    set_config_dword(0x00, kVendorId | (uint32_t(kDeviceId) << 16));
    set_config_dword(0x04, setup.command & 0xFFFF);
    uint32_t subclass = setup.vga_compatible ? kSubclassVga : kSubclassOther;
    set_config_dword(0x08, setup.revision | (subclass << 16) | (kClassDisplay << 24));
    for (int bar = 0; bar < kPciBars; ++bar) {
        const ApertureMapEntry& e = kApertureMap[bar];
        uint32_t flags = e.io ? kBarIoSpace : e.prefetchable ? kBarPrefetchable : 0;
        bar_masks_[bar] = size_mask(e.size);
        // Video memory fills the start of the frame buffer's window; the
        // others are reserved without access: only the video port's
        // operations reach them.
        if (e.backed)
            regions_[bar] = Region(e.size, e.aperture == Aperture::FrameBuffer ? memory_size_ : 0);
        const bool unassigned = setup.unassigned_bars & (1u << bar);
        set_config_dword(kPciBar0 + 4 * bar, (unassigned ? 0 : phys(e.aperture)) | flags);
    }
    set_config_dword(0x2C, kVendorId | (setup.config_code << 16));
    io_[chip::IoMemoryClockStrap / 4] = setup.memory_clock_strap;
    busy_polls_left_[0] = busy_polls_left_[1] = setup.busy_polls;
}

uint32_t Board::phys(Aperture a) const
{
    const ApertureMapEntry& e = kApertureMap[bar_of(a)];
    return e.first + index_ * e.stride;
}

bool Board::assigned(Aperture a) const
{
    const int bar = bar_of(a);
    const uint32_t flags = kApertureMap[bar].io ? kBarIoFlags : kBarMemoryFlags;
    return (config_dword(kPciBar0 + 4 * bar) & ~flags) != 0;
}

bool Board::decodes_vga_ports() const
{
    return setup_.vga_compatible && (config_dword(kPciCommand) & kPciCommandIoDecode);
}

Region* Board::region(Aperture a)
{
    int bar = bar_of(a);
    return bar >= 0 && kApertureMap[bar].backed ? &regions_[bar] : nullptr;
}

uint8_t Board::writable_config_bits(uint32_t offset) const
{
    if (offset >= kPciBar0 && offset < kPciBar0 + 4 * kPciBars) {
        uint32_t bar = (offset - kPciBar0) / 4;
        uint32_t flags =
            (config_dword(kPciBar0 + 4 * bar) & kBarIoSpace) ? kBarIoFlags : kBarMemoryFlags;
        return static_cast<uint8_t>((bar_masks_[bar] & ~flags) >> ((offset & 3) * 8));
    }
    bool writable = (offset >= kPciCommand && offset < kPciStatus) ||
                    (offset >= kPciCacheLine && offset < kPciBar0) || offset >= kPciHeaderEnd;
    return writable ? 0xFF : 0x00;
}

void Board::write_config(uint32_t offset, const uint8_t* bytes, uint32_t length)
{
    for (uint32_t i = 0; i < length && offset + i < config_.size(); ++i) {
        uint8_t mask = writable_config_bits(offset + i);
        uint8_t& b = config_[offset + i];
        b = static_cast<uint8_t>((b & ~mask) | (bytes[i] & mask));
    }
}

uint32_t Board::config_dword(uint32_t offset) const
{
    uint32_t v;
    std::memcpy(&v, &config_[offset & 0xFC], 4);
    return v;
}

void Board::set_config_dword(uint32_t offset, uint32_t value)
{
    std::memcpy(&config_[offset & 0xFC], &value, 4);
}

uint32_t Board::read_busy(uint32_t offset)
{
    int which = offset == chip::BusyCount ? 1 : 0;
    bool busy = setup_.never_idle || busy_polls_left_[which] > 0;
    if (!setup_.never_idle && busy_polls_left_[which] > 0)
        --busy_polls_left_[which];
    if (which == 1)
        return busy ? 1 : 0;
    return busy ? (regs_[offset / 4] | kBusyBits) : (regs_[offset / 4] & ~kBusyBits);
}

uint32_t Board::read_register(uint32_t offset, int width)
{
    if (offset < dac_port::End)
        return dac_.read(offset & ~3u);
    if (offset == chip::BusyStatus || offset == chip::BusyCount)
        return read_busy(offset);
    uint32_t v = regs_[offset / 4];
    return width == 1 ? (v >> ((offset & 3) * 8)) & 0xFF : v;
}

void Board::write_register(uint32_t offset, int width, uint32_t value)
{
    if (offset < dac_port::End) {
        // The DAC sits on the low byte lane; a 32-bit write carries its value there.
        dac_.write(offset & ~3u, static_cast<uint8_t>(value));
        return;
    }
    if (width == 1) {
        uint32_t shift = (offset & 3) * 8;
        uint32_t& r = regs_[offset / 4];
        r = (r & ~(0xFFu << shift)) | ((value & 0xFF) << shift);
        return;
    }
    regs_[offset / 4] = value;
    // The native memory layout ends the VGA text display.
    if (offset == chip::MemoryConfig && (value & chip::MemConfigGraphics))
        text_mode_ = false;
    // Work handed to the chip keeps it busy for a while.
    busy_polls_left_[0] = busy_polls_left_[1] = setup_.busy_polls;
}

uint32_t Board::read_io(uint32_t offset)
{
    offset &= kIoBlockSize - 1;
    uint32_t v = io_[offset / 4];
    return offset == chip::IoConfig ? v & ~setup_.io_config_read_as_zero : v;
}

void Board::write_io(uint32_t offset, uint32_t value)
{
    io_[(offset & (kIoBlockSize - 1)) / 4] = value;
}

} // namespace sim
