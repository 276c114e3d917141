// The ordered record of every device access the simulated machine sees.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sim {

enum class Aperture : uint8_t {
    FrameBuffer,
    XyWindow,
    Registers,
    IoBlock,
    VgaPorts,
    Rom,
    PciConfig,
    XyWindowB, // decoded, but nothing behind it
    Engine,    // the 3D engine's registers: decoded, nothing behind them
};

enum class Op : uint8_t {
    Read,
    Write,
    Stall,      // value: microseconds
    ZeroMemory, // offset/value: start and length within the aperture
    Int10,      // value: Eax
};

struct Event {
    int board; // -1 when the event belongs to no board (a stall)
    Op op;
    Aperture aperture;
    uint8_t width; // bytes: 1 or 4 for accesses, 0 otherwise
    uint32_t offset;
    uint32_t value;

    bool operator==(const Event&) const = default;
};

const char* aperture_name(Aperture a);
std::string describe(const Event& e);

class Trace {
  public:
    void add(const Event& e)
    {
        if (enabled_)
            events_.push_back(e);
    }
    void clear() { events_.clear(); }
    void set_enabled(bool on) { enabled_ = on; }
    const std::vector<Event>& events() const { return events_; }
    size_t size() const { return events_.size(); }

    // Register and I/O accesses only (stalls, clears and BIOS calls left out).
    std::vector<Event> accesses() const;
    // Writes to one aperture, in order.
    std::vector<Event> writes_to(Aperture a) const;
    // (indexed register, value) pairs written through the DAC's index protocol.
    std::vector<std::pair<uint16_t, uint8_t>> dac_index_writes() const;
    // Total microseconds of stalls.
    uint64_t stall_us() const;
    size_t count(Op op) const;

  private:
    std::vector<Event> events_;
    bool enabled_ = true;
};

} // namespace sim
