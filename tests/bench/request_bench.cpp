// Host time of the display driver's costly requests on a 24 MiB SGRAM board:
// the mode count and the mode list (the display driver asks for both at every
// start and mode change), a whole mode set in the simulation, and a gamma
// ramp load. The trace is off, as the real system has none.
#include "tests/bench/bench.h"

#include "miniport/korvid.h"
#include "miniport/modes.h"
#include "miniport/private_ioctl.h"
#include "display/request_packet.h"
#include "loader/host_driver.h"
#include "platform/videoport/system.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kSgram24 = 0x17;
constexpr ULONG kGammaEntries = 256;

struct Booted {
    Booted()
    {
        machine = std::make_unique<korvid_host::System>(
            std::vector<sim::BoardSetup>{sim::BoardSetup(kSgram24)});
        machine->machine().trace.set_enabled(false);
        machine->boot(sim::host_miniport());
    }

    VP_STATUS send(ULONG code, void* in, ULONG in_length, void* out, ULONG out_length)
    {
        return sim::start_request(*machine, 0, code, in, in_length, out, out_length).status;
    }

    ULONG mode_count()
    {
        VIDEO_NUM_MODES n{};
        send(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, nullptr, 0, &n, sizeof n);
        return n.NumModes;
    }

    ULONG row(ULONG width, ULONG height, ULONG bpp, ULONG hz) const
    {
        for (ULONG i = 0; i < num_display_modes; ++i) {
            const DISPLAY_MODE& d = display_mode[i];
            const VIDEO_MODE_INFORMATION& mi = d.ModeInformation;
            if (mi.VisScreenWidth == width && mi.VisScreenHeight == height &&
                mi.BitsPerPlane == bpp && mi.Frequency == hz && !d.ulExtraWidth && !d.ulExtraHeight)
                return i;
        }
        std::fprintf(stderr, "no row %lux%lu %lu bpp %lu Hz\n", width, height, bpp, hz);
        std::abort();
    }

    void must(VP_STATUS status, const char* what)
    {
        if (status != NO_ERROR) {
            std::fprintf(stderr, "%s failed: %ld\n", what, status);
            std::abort();
        }
    }

    std::unique_ptr<korvid_host::System> machine;
};

void QueryNumAvailModes(benchmark::State& state)
{
    Booted b;
    VIDEO_NUM_MODES n{};
    for (auto _ : state) {
        b.send(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, nullptr, 0, &n, sizeof n);
        benchmark::DoNotOptimize(n);
    }
    state.SetLabel(std::to_string(n.NumModes) + " modes");
}
BENCHMARK(QueryNumAvailModes)->Unit(benchmark::kMicrosecond);

void QueryAvailModes(benchmark::State& state)
{
    Booted b;
    ULONG count = b.mode_count();
    std::vector<VIDEO_MODE_INFORMATION> list(count);
    ULONG bytes = count * sizeof(VIDEO_MODE_INFORMATION);
    for (auto _ : state) {
        b.send(IOCTL_VIDEO_QUERY_AVAIL_MODES, nullptr, 0, list.data(), bytes);
        benchmark::DoNotOptimize(list.data());
    }
    state.SetLabel(std::to_string(count) + " records");
}
BENCHMARK(QueryAvailModes)->Unit(benchmark::kMicrosecond);

// The whole sequence, with its clear of all 24 MiB (host memory bandwidth
// dominates), alternating two modes so each set is a real change.
void SetCurrentMode(benchmark::State& state)
{
    Booted b;
    VIDEO_MODE modes[] = {{b.row(1024, 768, 16, 75)}, {b.row(1600, 1200, 16, 60)}};
    unsigned next = 0;
    for (auto _ : state)
        b.must(b.send(IOCTL_VIDEO_SET_CURRENT_MODE, &modes[next++ & 1], sizeof(VIDEO_MODE), nullptr,
                      0),
               "mode set");
}
BENCHMARK(SetCurrentMode)->Unit(benchmark::kMillisecond);

// A full 256-entry ramp on a 32-bpp mode: the table update and the palette
// load of 768 DAC writes.
void SetGammaRamp(benchmark::State& state)
{
    Booted b;
    VIDEO_MODE mode{b.row(1024, 768, 32, 75)};
    b.must(b.send(IOCTL_VIDEO_SET_CURRENT_MODE, &mode, sizeof mode, nullptr, 0), "mode set");
    ULONG enable = GAMMA_CONTROL_ENABLE, answer = 0;
    b.must(b.send(IOCTL_PRIV_GAMMA_CONTROL, &enable, sizeof enable, &answer, sizeof answer),
           "gamma on");
    std::vector<ULONG> ramp(1 + kGammaEntries);
    ramp[0] = kGammaEntries << 16; // first entry 0, then the count
    for (ULONG i = 0; i < kGammaEntries; ++i)
        ramp[1 + i] = (i << 8) | (i << 16) | (i << 24);
    ULONG bytes = static_cast<ULONG>(ramp.size() * sizeof(ULONG));
    for (auto _ : state)
        b.must(b.send(IOCTL_PRIV_SET_GAMMA_RAMP, ramp.data(), bytes, nullptr, 0), "gamma ramp");
}
BENCHMARK(SetGammaRamp)->Unit(benchmark::kMicrosecond);

} // namespace
