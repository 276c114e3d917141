// Machines with faults injected, and the check every fault test ends with:
// the board still does its work.
#pragma once

#include "tests/support/machines.h"
#include "tests/support/requests.h"

#include "miniport/board.h"
#include "loader/host_driver.h"
#include "platform/videoport/system.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace miniport_tests {

using testing_support::boards;
using testing_support::device;

// Sends a request to device 0.
testing_support::Reply call(korvid_host::System& m, ULONG code, const std::vector<uint8_t>& in = {},
                            size_t out = 0);

// Whether the board behind `device` still serves the display driver: it
// lists its modes, enters the first one listed (the hardware then shows it),
// loads a palette entry, and goes back to VGA.
::testing::AssertionResult serves_requests(korvid_host::System& m, int device = 0);

} // namespace miniport_tests
