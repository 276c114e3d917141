// Writes the request fuzzer's seed corpus: conversations a display driver
// really has with the miniport, each request with the buffers it needs, on
// machines of one to three boards, with every device opened or, as the
// family's display driver does, only device 0. Run: make_request_corpus <directory>.
#include "tests/fuzz/request_script.h"

#include "miniport/korvid.h"
#include "miniport/modes.h"
#include "miniport/private_ioctl.h"
#include "display/request_packet.h"
#include "loader/host_driver.h"
#include "support/le_words.h"

#include <cstdio>
#include <iterator>
#include <string>

using namespace fuzz_tests;

namespace {

constexpr ULONG kModeInfoBytes = 80;
constexpr ULONG kCurrentRow = 0xFFFFFFFF;

using sim::le::words;

// What the miniport makes of a machine: its mode count and the rows of modes.
struct Booted {
    explicit Booted(const MachineChoice& choice)
    {
        std::vector<sim::BoardSetup> setups;
        for (const BoardChoice& b : choice.boards)
            setups.push_back(b.setup);
        machine = std::make_unique<korvid_host::System>(setups);
        if (choice.display_only)
            machine->set_device_opens(korvid_host::DeviceOpens::DisplayOnly);
        machine->boot(sim::host_miniport());
    }
    ULONG modes()
    {
        VIDEO_NUM_MODES n{};
        sim::start_request(*machine, 0, IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, nullptr, 0, &n,
                           sizeof n);
        return n.NumModes;
    }
    ULONG row(ULONG w, ULONG h, ULONG bpp, ULONG hz, ULONG extra_w = 0) const
    {
        for (ULONG i = 0; i < num_display_modes; ++i) {
            const VIDEO_MODE_INFORMATION& mi = display_mode[i].ModeInformation;
            if (mi.VisScreenWidth == w && mi.VisScreenHeight == h && mi.BitsPerPlane == bpp &&
                mi.Frequency == hz && display_mode[i].ulExtraWidth == extra_w &&
                display_mode[i].ulExtraHeight == 0)
                return i;
        }
        std::fprintf(stderr, "no row %lux%lux%lu@%lu\n", w, h, bpp, hz);
        std::exit(1);
    }
    std::unique_ptr<korvid_host::System> machine;
};

std::vector<uint8_t> full_palette()
{
    std::vector<uint8_t> clut = words({256}); // entry count, first entry 0
    for (int i = 0; i < 256; ++i)
        clut.insert(clut.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0});
    return clut;
}

std::vector<uint8_t> gamma_ramp(uint32_t first, uint32_t count)
{
    std::vector<uint8_t> ramp = words({first | (count << 16)});
    for (uint32_t i = 0; i < count; ++i) {
        std::vector<uint8_t> w = words({(i << 8) | (i << 16) | (i << 24)});
        ramp.insert(ramp.end(), w.begin(), w.end());
    }
    return ramp;
}

// The display driver's start-up: count, list, set, map, palette, ranges, reset.
ScriptWriter start_up(const MachineChoice& machine, ULONG w, ULONG h, ULONG bpp, ULONG hz)
{
    Booted b(machine);
    ULONG n = b.modes();
    ScriptWriter s(machine);
    s.request(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8)
        .request(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, n * kModeInfoBytes)
        .request(IOCTL_VIDEO_SET_CURRENT_MODE, words({b.row(w, h, bpp, hz)}), 0)
        .request(IOCTL_VIDEO_QUERY_CURRENT_MODE, {}, kModeInfoBytes)
        .request(IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 16)
        .request(IOCTL_VIDEO_SET_COLOR_REGISTERS, full_palette(), 0)
        .request(IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES, {}, 96)
        .request(IOCTL_VIDEO_SHARE_VIDEO_MEMORY, words({0x1234, 0, 0x100000, 0}), 12)
        .request(IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES, std::vector<uint8_t>(96), 0)
        .request(IOCTL_VIDEO_UNSHARE_VIDEO_MEMORY, words({0x1234, 0, 0, 0}), 0)
        .request(IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, words({0}), 0)
        .request(IOCTL_VIDEO_RESET_DEVICE, {}, 0);
    return s;
}

// Every private request once, with the buffers it needs, on a 16-bpp mode.
ScriptWriter privates(const MachineChoice& machine, uint8_t flags)
{
    Booted b(machine);
    ScriptWriter s(machine);
    s.request(IOCTL_VIDEO_SET_CURRENT_MODE, words({b.row(800, 600, 16, 75)}), 0, flags);
    const struct {
        ULONG code;
        std::vector<uint8_t> in;
        ULONG out;
    } requests[] = {
        {IOCTL_PRIV_MAP_BIOS_ROM, {}, 4},
        {IOCTL_PRIV_GET_BOARD_CONFIG, {}, 4},
        {IOCTL_PRIV_SET_VIRTUALS_FLAG, words({1}), 0},
        {IOCTL_PRIV_GET_EXTRA_HEIGHT, words({kCurrentRow}), 4},
        {IOCTL_PRIV_GET_EXTRA_WIDTH, words({3}), 4},
        {IOCTL_PRIV_SELECT_BOARD, words({0}), 0},
        {IOCTL_PRIV_STALL, words({20}), 0},
        {IOCTL_PRIV_GET_NUM_BOARDS, {}, 4},
        {IOCTL_PRIV_GET_BUS_TYPE, {}, 4},
        {IOCTL_PRIV_NOP, words({0}), 0},
        {IOCTL_PRIV_SET_MCLOCK_INDEX, words({80}), 0},
        {IOCTL_PRIV_GET_CHIP_NAME, {}, 64},
        {IOCTL_PRIV_GET_DAC_NAME, {}, 64},
        {IOCTL_PRIV_GET_MEMORY_TYPE_NAME, {}, 8},
        {IOCTL_PRIV_GET_MEMORY_SIZE_MB, {}, 4},
        {IOCTL_PRIV_GET_BUS_NAME, {}, 4},
        {IOCTL_PRIV_GET_CONSTANT_128, {}, 4},
        {IOCTL_PRIV_GET_CONSTANT_592, {}, 4},
        {IOCTL_PRIV_GET_BOARD_NAME, {}, 32},
        {IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, {1}, 0},
        {IOCTL_PRIV_SET_CURSOR_COLOR, {0x34, 0x12, 0xFF, 0, 0x80, 0xAB}, 0},
        {IOCTL_PRIV_APPLY_CURSOR_COLOR, {}, 0},
        {IOCTL_PRIV_SET_DRIVER_OPTION, words({2}), 0},
        {IOCTL_PRIV_GET_DRIVER_OPTION, {}, 4},
        {IOCTL_PRIV_GAMMA_CONTROL, words({2}), 4},
        {IOCTL_PRIV_SET_GAMMA_RAMP, gamma_ramp(0, 256), 0},
        {IOCTL_PRIV_UPDATE_GAMMA, {}, 0},
        {IOCTL_PRIV_GAMMA_CONTROL, words({4}), 4},
        {IOCTL_PRIV_GET_ALL_VIRTUAL_MODES, {}, 4},
        {IOCTL_PRIV_SET_CUSTOM_REFRESH, words({72, 50'000'000, 0x061E}), 44},
        {IOCTL_PRIV_SET_TEST_MODES, {1}, 0},
        {IOCTL_PRIV_TRY_REFRESH, words({70, 49'000'000, 0x050E}), 4},
        {IOCTL_PRIV_GET_TOTALS, {}, 4},
        {IOCTL_PRIV_QUERY_REFRESH, words({75}), 4},
        {IOCTL_PRIV_GAMMA_CONTROL, words({1}), 4},
    };
    for (const auto& r : requests)
        s.request(r.code, r.in, r.out, flags);
    return s;
}

// Trial and custom rates: the slot rows change, then get set and listed.
ScriptWriter refresh_rates(const MachineChoice& machine)
{
    Booted b(machine);
    ULONG n = b.modes();
    ScriptWriter s(machine);
    s.request(IOCTL_VIDEO_SET_CURRENT_MODE, words({b.row(1024, 768, 8, 75)}), 0)
        .request(IOCTL_PRIV_SET_TEST_MODES, {1}, 0)
        .request(IOCTL_PRIV_TRY_REFRESH, words({70, 75'000'000, 0x0752}), 4)
        .request(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8)
        .request(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, (n + 4) * kModeInfoBytes)
        .request(IOCTL_PRIV_SET_CUSTOM_REFRESH, words({72, 77'000'000, 0x064B}), 44)
        .request(IOCTL_PRIV_QUERY_REFRESH, words({72}), 4)
        .request(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, {0}, 0)
        .request(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8)
        .request(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, n * kModeInfoBytes);
    return s;
}

// Requests arriving on one board and carried out on another.
ScriptWriter boards(const MachineChoice& machine)
{
    Booted b(machine);
    ScriptWriter s(machine);
    s.request(IOCTL_PRIV_GET_NUM_BOARDS, {}, 4)
        .request(IOCTL_PRIV_SELECT_BOARD, words({1}), 0)
        .request(IOCTL_VIDEO_SET_CURRENT_MODE, words({b.row(640, 480, 32, 60)}), 0)
        .request(IOCTL_PRIV_GET_BOARD_CONFIG, {}, 4, 1)
        .request(IOCTL_PRIV_SELECT_BOARD, words({7}), 0, 2)
        .request(IOCTL_VIDEO_SET_CURRENT_MODE, words({b.row(1280, 1024, 8, 60)}), 0)
        .request(IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 16, 1)
        .request(IOCTL_VIDEO_RESET_DEVICE, {}, 0, 2);
    return s;
}

// The family's display driver on a machine of several boards: only device
// 0 opened, every board selected in turn, counted, given a mode and mapped;
// then a rate committed on the first board, a trial and the totals on the
// second, and the first asked again what it shows and set to it once more.
ScriptWriter selected_boards(const MachineChoice& machine)
{
    Booted b(machine);
    ScriptWriter s(machine);
    const ULONG rows[] = {b.row(1024, 768, 16, 75), b.row(800, 600, 8, 60),
                          b.row(640, 480, 32, 60)};
    s.request(IOCTL_PRIV_GET_NUM_BOARDS, {}, 4);
    for (uint32_t i = 0; i < machine.boards.size(); ++i)
        s.request(IOCTL_PRIV_SELECT_BOARD, words({i}), 0)
            .request(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8)
            .request(IOCTL_VIDEO_SET_CURRENT_MODE, words({rows[i % std::size(rows)]}), 0)
            .request(IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 16);
    s.request(IOCTL_PRIV_SELECT_BOARD, words({0}), 0)
        .request(IOCTL_PRIV_SET_CUSTOM_REFRESH, words({72, 77'000'000, 0x064B}), 44)
        .request(IOCTL_PRIV_SELECT_BOARD, words({1}), 0)
        .request(IOCTL_PRIV_TRY_REFRESH, words({70, 31'500'000, 0x0705}), 4)
        .request(IOCTL_PRIV_GET_TOTALS, {}, 4)
        .request(IOCTL_PRIV_SELECT_BOARD, words({0}), 0)
        .request(IOCTL_VIDEO_QUERY_CURRENT_MODE, {}, kModeInfoBytes)
        .request(IOCTL_VIDEO_SET_CURRENT_MODE, words({rows[0]}), 0);
    return s;
}

MachineChoice display_only(MachineChoice m)
{
    m.display_only = true;
    return m;
}

// Gamma across a mode change, on separate and on shared buffers.
ScriptWriter gamma(const MachineChoice& machine, uint8_t flags)
{
    Booted b(machine);
    ScriptWriter s(machine);
    s.request(IOCTL_VIDEO_SET_CURRENT_MODE, words({b.row(1024, 768, 32, 60)}), 0, flags)
        .request(IOCTL_PRIV_GAMMA_CONTROL, words({2}), 4, flags)
        .request(IOCTL_PRIV_SET_GAMMA_RAMP, gamma_ramp(16, 32), 0, flags)
        .request(IOCTL_VIDEO_SET_CURRENT_MODE, words({b.row(1024, 768, 16, 85)}), 0, flags)
        .request(IOCTL_PRIV_UPDATE_GAMMA, {}, 0, flags)
        .request(IOCTL_PRIV_GAMMA_CONTROL, words({1}), 4, flags);
    return s;
}

// A single request with the buffers it needs: small seeds to mutate.
std::vector<std::pair<std::string, ScriptWriter>> singles(const MachineChoice& machine)
{
    std::vector<std::pair<std::string, ScriptWriter>> out;
    Booted b(machine);
    const struct {
        const char* name;
        ULONG code;
        std::vector<uint8_t> in;
        ULONG out;
    } requests[] = {
        {"set-mode", IOCTL_VIDEO_SET_CURRENT_MODE, words({b.row(1600, 1200, 8, 60)}), 0},
        {"colors", IOCTL_VIDEO_SET_COLOR_REGISTERS, words({1 | (255 << 16), 0x00FF8040}), 0},
        {"current-mode", IOCTL_VIDEO_QUERY_CURRENT_MODE, {}, kModeInfoBytes},
        {"share", IOCTL_VIDEO_SHARE_VIDEO_MEMORY, words({0, 0x1000, 0x7FF000, 0}), 12},
        {"public-ranges", IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES, {}, 96},
        {"extra-width", IOCTL_PRIV_GET_EXTRA_WIDTH, words({kCurrentRow}), 4},
        {"gamma-ramp", IOCTL_PRIV_SET_GAMMA_RAMP, gamma_ramp(255, 1), 0},
        {"custom-refresh", IOCTL_PRIV_SET_CUSTOM_REFRESH, words({85, 40'000'000, 0x060B}), 44},
        {"trial-refresh", IOCTL_PRIV_TRY_REFRESH, words({85, 40'000'000, 0x060B}), 4},
        {"chip-name", IOCTL_PRIV_GET_CHIP_NAME, {}, 3},
        {"unknown", 0x230000 + 4 * 0xEC7, words({0}), 4},
    };
    for (const auto& r : requests) {
        ScriptWriter s(machine);
        s.request(r.code, r.in, r.out);
        out.emplace_back(r.name, s);
    }
    return out;
}

MachineChoice with_fault(MachineChoice m, uint8_t fault)
{
    m.fault = fault;
    return m;
}

MachineChoice odd_boards()
{
    MachineChoice m = plain_machine({0x04, 0x11, 0x02});
    m.boards[0].setup.memory_clock_strap = 0x08;    // fixed memory clock
    m.boards[0].setup.io_config_read_as_zero = 0x4; // WRAM bit refused
    m.boards[1].setup.busy_polls = 5;
    m.boards[1].setup.vga_compatible = false;
    m.boards[1].registry = kRegDoubleWide | kRegMclock;
    m.boards[1].mclock = 95;
    m.boards[2].registry = kRegTwoTall | kRegCustomRate;
    m.boards[2].mclock = 22; // a stored rate of 72 Hz
    return m;
}

void write(const std::string& dir, const std::string& name, const ScriptWriter& s)
{
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(s.bytes().data(), 1, s.bytes().size(), f) != s.bytes().size()) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fclose(f);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    const MachineChoice sgram8 = plain_machine({0x11});
    const MachineChoice sgram24 = plain_machine({0x17});
    const MachineChoice wram8 = plain_machine({0x04});
    write(dir, "start-up-sgram8", start_up(sgram8, 1024, 768, 16, 75));
    write(dir, "start-up-sgram24", start_up(sgram24, 1920, 1080, 32, 60));
    write(dir, "start-up-wram8", start_up(wram8, 1280, 1024, 8, 75));
    write(dir, "start-up-map-fails",
          start_up(with_fault(sgram8, kFaultMapMemory), 640, 480, 8, 60));
    write(dir, "start-up-bios-fails", start_up(with_fault(wram8, kFaultInt10), 800, 600, 8, 60));
    write(dir, "privates", privates(sgram8, 0));
    write(dir, "privates-shared", privates(wram8, kDevShared));
    write(dir, "privates-rom-fails", privates(with_fault(sgram24, kFaultRom), 0));
    write(dir, "refresh-rates", refresh_rates(sgram8));
    write(dir, "boards-two", boards(plain_machine({0x11, 0x15})));
    write(dir, "boards-three", boards(odd_boards()));
    write(dir, "selected-boards-two", selected_boards(display_only(plain_machine({0x13, 0x00}))));
    write(dir, "selected-boards-three",
          selected_boards(display_only(plain_machine({0x11, 0x04, 0x13}))));
    write(dir, "gamma", gamma(sgram24, 0));
    write(dir, "gamma-shared", gamma(wram8, kDevShared));
    for (const auto& [name, s] : singles(sgram8))
        write(dir, "single-" + name, s);
    return 0;
}
