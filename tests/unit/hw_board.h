// A simulated board with a hand-made board record, as initialisation would
// leave it, for the hardware programming tests; and shorthands for the
// trace events those tests expect.
#pragma once

#include "hardware.h"
#include "sim/decode.h"
#include "sim/machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hwtest {

using sim::Aperture;
using sim::Event;
using sim::Op;

constexpr ULONG kXyApertureBytes = 0x2000;

inline Event W8(uint32_t offset, uint32_t value)
{
    return {0, Op::Write, Aperture::Registers, 1, offset, value};
}
inline Event W32(uint32_t offset, uint32_t value)
{
    return {0, Op::Write, Aperture::Registers, 4, offset, value};
}
inline Event R32(uint32_t offset, uint32_t value)
{
    return {0, Op::Read, Aperture::Registers, 4, offset, value};
}
inline Event IoR(uint32_t offset, uint32_t value)
{
    return {0, Op::Read, Aperture::IoBlock, 4, offset, value};
}
inline Event IoW(uint32_t offset, uint32_t value)
{
    return {0, Op::Write, Aperture::IoBlock, 4, offset, value};
}
inline Event Stall(uint32_t us)
{
    return {-1, Op::Stall, Aperture::Registers, 0, 0, us};
}

inline void append(std::vector<Event>& to, const std::vector<Event>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

inline std::vector<Event> stalls(int n)
{
    return std::vector<Event>(static_cast<size_t>(n), Stall(50));
}

// The DAC's indexed-register selection with auto-increment.
inline std::vector<Event> dac_select(uint8_t index)
{
    return {W8(0x14, 0), W8(0x1C, 1), W8(0x10, index)};
}

// Reselect `first` by index low, then the values by auto-increment.
inline std::vector<Event> dac_run(uint8_t first, const std::vector<uint8_t>& values)
{
    std::vector<Event> out{W8(0x10, first)};
    for (uint8_t v : values)
        out.push_back(W8(0x18, v));
    return out;
}

// Traces differ: show both side by side from the first difference.
inline std::string trace_diff(const std::vector<Event>& got, const std::vector<Event>& want)
{
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i])
        ++i;
    std::string out = "first difference at event " + std::to_string(i) + " of " +
                      std::to_string(got.size()) + " (expected " + std::to_string(want.size()) +
                      ")\n";
    for (size_t k = i; k < i + 6 && (k < got.size() || k < want.size()); ++k) {
        out += "  got  " + (k < got.size() ? sim::describe(got[k]) : std::string("-")) + "\n";
        out += "  want " + (k < want.size() ? sim::describe(want[k]) : std::string("-")) + "\n";
    }
    return out;
}

inline ::testing::AssertionResult same_trace(const std::vector<Event>& got,
                                             const std::vector<Event>& want)
{
    if (got == want)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << trace_diff(got, want);
}

#define EXPECT_TRACE(got, want) EXPECT_TRUE(::hwtest::same_trace((got), (want)))

// One board on a machine of its own, its record filled as discovery and
// initialisation fill it; the trace and the clock start empty.
struct HwBoard {
    sim::Machine machine;
    BOARD_EXTENSION ext{};

    explicit HwBoard(const sim::BoardSpec& setup = {}) : machine({setup})
    {
        sim::Board& b = machine.board(0);
        ext.AccessRanges[RANGE_FRAME_BUFFER].RangeLength = b.memory_size();
        ext.AccessRanges[RANGE_XY_WINDOW].RangeLength = kXyApertureBytes;
        ext.pRegisters = static_cast<PUCHAR>(map(b.reg_phys(), sim::kRegisterApertureSize, 0));
        ext.pIoPorts = static_cast<PUCHAR>(map(b.io_port(), sim::kIoBlockSize, 1));
        ext.pFrameBuffer = static_cast<PUCHAR>(map(b.fb_phys(), b.memory_size(), 0));
        ext.ulPciClassRevision = b.config_dword(0x08);
        ext.ulBoardConfig = setup.config_code;
        ext.ulMemoryType =
            sim::is_sgram_code(setup.config_code) ? MEMORY_TYPE_SGRAM : MEMORY_TYPE_WRAM;
        ext.ulDacType = DAC_TYPE_RGB526;
        ext.ulFlags = FLAG_ALL_VIRTUAL_MODES;
        ext.ulCursorColor = 0xFFFFFF;
        ext.ulDriverOption = 1;
        machine.extension_board[&ext] = 0;
        machine.trace.clear();
        machine.time_ns = 0;
    }

    sim::Board& board() { return machine.board(0); }
    const std::vector<Event>& events() const { return machine.trace.events(); }
    sim::DisplayState decoded() { return sim::decode_display(board()); }
    void restart_trace()
    {
        machine.trace.clear();
        machine.time_ns = 0;
    }

  private:
    static PVOID map(uint32_t phys, ULONG length, UCHAR io)
    {
        PHYSICAL_ADDRESS pa;
        pa.QuadPart = phys;
        return VideoPortGetDeviceBase(nullptr, pa, length, io);
    }
};

inline sim::BoardSpec board_with(uint32_t config_code)
{
    sim::BoardSpec setup;
    setup.config_code = config_code;
    return setup;
}

} // namespace hwtest
