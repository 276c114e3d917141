// Machines with faults injected, and the check every fault test ends with:
// the board still does its work.
#pragma once

#include "tests/unit/request_client.h"

#include "miniport/board.h"
#include "loader/host_driver.h"
#include "platform/videoport/system.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace korvid_faults {

std::vector<sim::BoardSetup> boards(std::initializer_list<uint32_t> codes);

inline PBOARD_EXTENSION device(korvid_host::System& m, int i = 0)
{
    return static_cast<PBOARD_EXTENSION>(m.device_extension(i));
}

// Sends a request to device 0.
testing_korvid::Reply call(korvid_host::System& m, ULONG code, const std::vector<uint8_t>& in = {},
                           size_t out = 0);

// Whether the board behind `device` still serves the display driver: it
// lists its modes, enters the first one listed (the hardware then shows it),
// loads a palette entry, and goes back to VGA.
::testing::AssertionResult serves_requests(korvid_host::System& m, int device = 0);

} // namespace korvid_faults
