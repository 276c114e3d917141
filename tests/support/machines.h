// Machines for tests: boards from configuration codes, a machine booted with
// a driver and the display driver's request sender for its first board, and
// the miniport's record of a device.
#pragma once

#include "display/miniport_client.h"
#include "loader/host_driver.h"
#include "miniport/board.h"
#include "platform/videoport/system.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// One healthy board of each code, each on the bus of its kind.
std::vector<sim::BoardSetup> boards(std::initializer_list<uint32_t> codes);
std::vector<sim::BoardSetup> boards(const std::vector<uint32_t>& codes);

// The miniport's record of device i (the extension the video port made).
inline PBOARD_EXTENSION device(korvid_host::System& system, int i = 0)
{
    return static_cast<PBOARD_EXTENSION>(system.device_extension(i));
}

// A machine of one board booted with a driver (the host-built miniport by
// default), and the display driver's request sender for that board.
struct Booted {
    korvid_host::System system;
    sim::MiniportClient client;

    explicit Booted(uint32_t code, const korvid_host::DriverImage& driver = sim::host_miniport());

    sim::Board& board() { return system.machine().board(0); }
    // Sets a mode given as "WxHxBPP[@HZ][:layout]"; a failure when it cannot.
    sim::ModeEntry set(const std::string& text);
};

} // namespace testing_support
