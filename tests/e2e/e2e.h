// The end-to-end suite: the display driver's scenarios, each run on the
// miniport compiled for the host and on korvid.sys with the same expected
// results. For korvid.sys every scenario is run on the host build as well and
// the two transcripts (every device access, every reply, the end state) must
// be identical.
#pragma once

#include "tests/support/drivers.h"
#include "tests/support/machines.h"
#include "tests/e2e/session.h"

#include "miniport/private_ioctl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace e2e {

using Scenario = void (*)(Session&);

// What a scenario left behind when it was played without reporting its
// failures: its transcript and the failures it would have reported.
struct QuietRun {
    std::vector<std::string> transcript;
    std::vector<std::string> failures;
};
QuietRun play_quietly(Scenario scenario, const korvid_host::DriverImage& driver);

class EndToEnd : public OnEachDriver {
  protected:
    // Plays the scenario on this test's driver; for korvid.sys, compares its
    // transcript with the host build's.
    void play(Scenario scenario);
};

// Board configuration codes: SGRAM when bit 4 is set, memory size from the
// low three bits.
sim::BoardSetup board(uint32_t code, bool vga_compatible = true);
using testing_support::boards;

// The mode list as the display driver fetches it: count, then records.
std::vector<VIDEO_MODE_INFORMATION> list_modes(Session& s, int device = 0);
// Index of the first listed mode of that resolution, depth and rate whose
// virtual extents (asked of the driver) are the given ones; fails if none.
ULONG find_mode(Session& s, ULONG width, ULONG height, ULONG bpp, ULONG hz, ULONG extra_width = 0,
                ULONG extra_height = 0);
// Sets a mode and expects it to succeed.
Reply set_mode(Session& s, ULONG index, int device = 0);
Reply select_board(Session& s, ULONG number);

VIDEO_MODE_INFORMATION mode_record(const Bytes& bytes, size_t index = 0);

// Sets modes on an SGRAM and a WRAM board, starting with 640 x 480 at 60 Hz;
// also run on a changed image to show that the suite notices.
void set_modes_scenario(Session& s);

} // namespace e2e
