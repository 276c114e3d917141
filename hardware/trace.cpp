#include "hardware/trace.h"
#include "hardware/dac.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace sim {

const char* aperture_name(Aperture a)
{
    switch (a) {
    case Aperture::FrameBuffer:
        return "fb";
    case Aperture::XyWindow:
        return "xy";
    case Aperture::Registers:
        return "reg";
    case Aperture::IoBlock:
        return "io";
    case Aperture::VgaPorts:
        return "vga";
    case Aperture::Rom:
        return "rom";
    case Aperture::PciConfig:
        return "pci";
    case Aperture::XyWindowB:
        return "xyb";
    case Aperture::Engine:
        return "engine";
    }
    return "?";
}

std::string describe(const Event& e)
{
    char buf[96];
    switch (e.op) {
    case Op::Stall:
        std::snprintf(buf, sizeof buf, "stall %u us", e.value);
        break;
    case Op::ZeroMemory:
        std::snprintf(buf, sizeof buf, "board %d zero %s +0x%X, 0x%X bytes", e.board,
                      aperture_name(e.aperture), e.offset, e.value);
        break;
    case Op::Int10:
        std::snprintf(buf, sizeof buf, "board %d int10 eax=0x%X", e.board, e.value);
        break;
    default:
        std::snprintf(buf, sizeof buf, "board %d %s%d %s+0x%04X = 0x%0*X", e.board,
                      e.op == Op::Read ? "R" : "W", e.width * 8, aperture_name(e.aperture),
                      e.offset, e.width * 2, e.value);
        break;
    }
    return buf;
}

std::vector<Event> Trace::accesses() const
{
    std::vector<Event> out;
    std::ranges::copy_if(events_, std::back_inserter(out), [](const Event& e) {
        return (e.op == Op::Read || e.op == Op::Write) && e.aperture != Aperture::PciConfig;
    });
    return out;
}

std::vector<Event> Trace::writes_to(Aperture a) const
{
    std::vector<Event> out;
    std::ranges::copy_if(events_, std::back_inserter(out),
                         [a](const Event& e) { return e.op == Op::Write && e.aperture == a; });
    return out;
}

std::vector<std::pair<uint16_t, uint8_t>> Trace::dac_index_writes() const
{
    // Replays the writes on a DAC of its own, which keeps the index as the
    // board's DAC does.
    std::vector<std::pair<uint16_t, uint8_t>> out;
    Dac dac;
    for (const Event& e : events_) {
        if (e.op != Op::Write || e.aperture != Aperture::Registers || e.offset >= dac_port::End)
            continue;
        const uint32_t port = e.offset & ~3u;
        if (port == dac_port::IndexData)
            out.emplace_back(dac.index(), static_cast<uint8_t>(e.value));
        dac.write(port, static_cast<uint8_t>(e.value));
    }
    return out;
}

uint64_t Trace::stall_us() const
{
    uint64_t us = 0;
    for (const Event& e : events_)
        if (e.op == Op::Stall)
            us += e.value;
    return us;
}

size_t Trace::count(Op op) const
{
    return std::ranges::count_if(events_, [op](const Event& e) { return e.op == op; });
}

} // namespace sim
