// One simulated board with a board record as initialisation leaves it, for
// the hardware programming tests, and shorthands for the events they expect.
#pragma once

#include "miniport/hardware.h"
#include "hardware/decode.h"
#include "platform/videoport/system.h"

#include <gtest/gtest.h>

#include <vector>

namespace miniport_tests {

using sim::Aperture;
using sim::Event;
using sim::Op;
using Events = std::vector<Event>;
namespace chip = sim::chip;
namespace dac_port = sim::dac_port;
namespace dac_reg = sim::dac_reg;

// Accesses of board 0: 8/32-bit register writes and reads, I/O reads and writes.
constexpr auto access(Op op, Aperture ap, uint8_t width)
{
    return [=](uint32_t at, uint32_t v) { return Event{0, op, ap, width, at, v}; };
}
inline const auto W8 = access(Op::Write, Aperture::Registers, 1);
inline const auto W32 = access(Op::Write, Aperture::Registers, 4);
inline const auto R32 = access(Op::Read, Aperture::Registers, 4);
inline const auto IoR = access(Op::Read, Aperture::IoBlock, 4);
inline const auto IoW = access(Op::Write, Aperture::IoBlock, 4);
inline Events stalls(int n)
{
    return Events(n, Event{-1, Op::Stall, Aperture::Registers, 0, 0, 50});
}

inline Events operator+(Events a, const Events& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Read-modify-writes of an I/O register and of a chip register.
inline Events io_update(uint32_t reg, uint32_t was, uint32_t now)
{
    return Events{IoR(reg, was), IoW(reg, now)};
}
inline Events reg_update(uint32_t reg, uint32_t was, uint32_t now)
{
    return Events{R32(reg, was), W32(reg, now)};
}

// Memory window 0 opened over video memory with its size code.
inline Events window0_open(uint32_t size_code)
{
    return {W32(chip::Mw0Base, 0), W32(chip::Mw0Size, size_code), W32(chip::Mw0Origin, 0),
            W32(chip::Mw0Control, 0), W32(chip::Mw0Mask, 0xFFFFFFFF)};
}

// The WRAM reset: bit 0 of the memory-reset register low, then high again.
inline Events wram_reset(uint32_t before)
{
    return io_update(chip::IoMemoryReset, before, 0) + stalls(2) +
           Events{IoW(chip::IoMemoryReset, before | 1)} + stalls(2);
}

// Index low <- first (after index high 0 and auto-increment when `select`),
// then the values into first, first + 1, ...
inline Events dac(uint16_t first, std::vector<uint8_t> values, bool select = false)
{
    Events out =
        select ? Events{W8(dac_port::IndexHigh, 0), W8(dac_port::IndexControl, 1)} : Events{};
    out.push_back(W8(dac_port::IndexLow, first));
    for (uint8_t v : values)
        out.push_back(W8(dac_port::IndexData, v));
    return out;
}

// A memory-clock load: reference divider, then VCO byte, then 2.5 ms to settle.
inline Events clock_load(uint16_t w)
{
    return dac(dac_reg::SystemRef, {uint8_t(w >> 8), uint8_t(w)}, true) + stalls(50);
}

inline ::testing::AssertionResult same_trace(const Events& got, const Events& want)
{
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i])
        ++i;
    if (i == got.size() && i == want.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "event " << i << ": got " << (i < got.size() ? sim::describe(got[i]) : "-")
           << ", want " << (i < want.size() ? sim::describe(want[i]) : "-");
}
#define EXPECT_TRACE(got, want) EXPECT_TRUE(::miniport_tests::same_trace((got), (want)))

struct HwBoard {
    korvid_host::System system;
    BOARD_EXTENSION ext{};

    explicit HwBoard(uint32_t code, sim::BoardSetup setup = {})
        : system({(setup.config_code = code, setup)})
    {
        sim::Board& b = board();
        ext.AccessRanges[RANGE_FRAME_BUFFER].RangeLength = b.memory_size();
        ext.AccessRanges[RANGE_XY_WINDOW].RangeLength = 0x2000;
        ext.pRegisters = map(b.phys(sim::Aperture::Registers), sim::kRegisterApertureSize, 0);
        ext.pIoPorts = map(b.phys(sim::Aperture::IoBlock), sim::kIoBlockSize, 1);
        ext.pFrameBuffer = map(b.phys(sim::Aperture::FrameBuffer), b.memory_size(), 0);
        ext.ulPciClassRevision = b.config_dword(0x08);
        ext.ulBoardConfig = code;
        ext.ulMemoryType = sim::is_sgram_code(code) ? MEMORY_TYPE_SGRAM : MEMORY_TYPE_WRAM;
        ext.ulCursorColor = 0xFFFFFF;
        system.bind_extension(&ext, 0);
        restart();
    }
    sim::Board& board() { return system.machine().board(0); }
    const Events& events() const { return system.machine().trace.events(); }
    sim::DisplayState decoded() { return sim::decode_display(board()); }
    void restart() { system.machine().trace.clear(), system.machine().time_ns = 0; }

    static PUCHAR map(uint32_t phys, ULONG length, UCHAR io)
    {
        PHYSICAL_ADDRESS pa;
        pa.QuadPart = phys;
        return static_cast<PUCHAR>(VideoPortGetDeviceBase(nullptr, pa, length, io));
    }
};

} // namespace miniport_tests
