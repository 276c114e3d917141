#include "hardware/dac.h"

namespace sim {

Dac::Dac() = default;

void Dac::write(uint32_t port, uint8_t value)
{
    switch (port) {
    case dac_port::PaletteWriteAddress:
        write_address_ = value;
        component_ = 0;
        break;
    case dac_port::PaletteData: {
        Rgb& e = palette_[write_address_];
        (component_ == 0 ? e.r : component_ == 1 ? e.g : e.b) = value;
        if (++component_ == 3) {
            component_ = 0;
            ++write_address_; // wraps after entry 255
        }
        break;
    }
    case dac_port::PixelMask:
        pixel_mask_ = value;
        break;
    case dac_port::PaletteReadAddress:
        read_address_ = value;
        component_ = 0;
        break;
    case dac_port::IndexLow:
        index_ = static_cast<uint16_t>((index_ & 0xFF00) | value);
        break;
    case dac_port::IndexHigh:
        index_ = static_cast<uint16_t>((index_ & 0x00FF) | (value << 8));
        break;
    case dac_port::IndexData:
        regs_[index_] = value;
        if (auto_increment())
            ++index_;
        break;
    case dac_port::IndexControl:
        index_control_ = value;
        break;
    default:
        break;
    }
}

uint8_t Dac::read(uint32_t port)
{
    switch (port) {
    case dac_port::PaletteWriteAddress:
        return write_address_;
    case dac_port::PixelMask:
        return pixel_mask_;
    case dac_port::IndexLow:
        return static_cast<uint8_t>(index_);
    case dac_port::IndexHigh:
        return static_cast<uint8_t>(index_ >> 8);
    case dac_port::IndexData: {
        uint8_t v = regs_[index_];
        if (auto_increment())
            ++index_;
        return v;
    }
    case dac_port::IndexControl:
        return index_control_;
    case dac_port::PaletteData: {
        const Rgb& e = palette_[read_address_];
        uint8_t v = component_ == 0 ? e.r : component_ == 1 ? e.g : e.b;
        if (++component_ == 3) {
            component_ = 0;
            ++read_address_;
        }
        return v;
    }
    default:
        return 0;
    }
}

} // namespace sim
