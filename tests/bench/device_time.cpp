// Simulated device time of every mode set against its floor: the delays the
// sequence names (200 us configuration pulse, 200 us WRAM reset on WRAM,
// 2.5 ms for each memory-clock change: one, or two on a board with the fixed
// memory clock) plus one clear of all video memory at the bus rate. A ratio
// of 1.00 means no delay and no clear beyond those.
#include "tests/bench/bench.h"

#include "miniport/korvid.h"
#include "miniport/modes.h"
#include "display/request_packet.h"
#include "loader/host_driver.h"
#include "platform/videoport/system.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr uint64_t kNsPerUs = 1000;
constexpr uint64_t kConfigPulseNs = 200 * kNsPerUs;
constexpr uint64_t kWramResetNs = 200 * kNsPerUs;
constexpr uint64_t kClockChangeNs = 2500 * kNsPerUs;
constexpr uint32_t kStrapTableClock = 0x01;
constexpr uint32_t kStrapFixedClock = 0x08;
constexpr uint32_t kSgramBit = 0x10;
// Configuration codes by size: 4, 8, 12, 16, 20 and 24 MiB.
constexpr uint32_t kSizeCodes[] = {0, 1, 2, 6, 3, 7};

struct Result {
    unsigned rows = 0;
    uint64_t floor_ns = 0;
    uint64_t min_ns = UINT64_MAX, max_ns = 0;
};

uint64_t floor_ns(korvid_host::System& m, bool wram, bool fixed_clock)
{
    uint64_t clear = uint64_t(m.machine().board(0).memory_size()) * 1'000'000'000 /
                     m.machine().clear_rate_bytes_per_s;
    return kConfigPulseNs + (wram ? kWramResetNs : 0) + (fixed_clock ? 2 : 1) * kClockChangeNs +
           clear;
}

Result measure(uint32_t code, bool fixed_clock)
{
    sim::BoardSetup setup(code);
    setup.memory_clock_strap = fixed_clock ? kStrapFixedClock : kStrapTableClock;
    korvid_host::System m({setup});
    m.machine().trace.set_enabled(false);
    m.boot(sim::host_miniport());
    Result r;
    r.floor_ns = floor_ns(m, !(code & kSgramBit), fixed_clock);
    for (ULONG row = 0; row < num_display_modes; ++row) {
        if (!display_mode[row].fValid)
            continue;
        VIDEO_MODE mode{row};
        uint64_t start = m.machine().time_ns;
        if (sim::start_request(m, 0, IOCTL_VIDEO_SET_CURRENT_MODE, &mode, sizeof mode, nullptr, 0)
                .status != NO_ERROR)
            continue;
        uint64_t spent = m.machine().time_ns - start;
        r.min_ns = std::min(r.min_ns, spent);
        r.max_ns = std::max(r.max_ns, spent);
        ++r.rows;
    }
    return r;
}

} // namespace

void report_device_time()
{
    korvid_host::System probe(std::vector<sim::BoardSetup>{});
    std::printf("Simulated device time of every mode set against its floor\n"
                "(fixed delays plus one clear of video memory at %.0f MB/s)\n\n",
                probe.machine().clear_rate_bytes_per_s / 1e6);
    std::printf("%-6s %6s  %-12s %5s  %10s  %10s  %10s  %s\n", "memory", "size", "memory clock",
                "modes", "floor ms", "min ms", "max ms", "time / floor");
    for (bool sgram : {true, false})
        for (uint32_t size : kSizeCodes)
            for (bool fixed : {false, true}) {
                uint32_t code = size | (sgram ? kSgramBit : 0);
                Result r = measure(code, fixed);
                std::printf("%-6s %2u MiB  %-12s %5u  %10.3f  %10.3f  %10.3f  %.2f - %.2f\n",
                            sgram ? "SGRAM" : "WRAM", sim::memory_size_for_code(code) >> 20,
                            fixed ? "fixed" : "table", r.rows, r.floor_ns / 1e6, r.min_ns / 1e6,
                            r.max_ns / 1e6, double(r.min_ns) / r.floor_ns,
                            double(r.max_ns) / r.floor_ns);
            }
    std::printf("\n");
}
