// Discovery, initialisation with the user's options, and the idle waits of
// the mode set, end to end on both drivers.
#include "tests/e2e/e2e.h"

#include "miniport/board.h"

namespace e2e {

namespace {

constexpr VP_STATUS kNoMoreBoards = ERROR_DEV_NOT_EXIST;

// The extension the video port allocated for a device; its layout is the
// platform's record, the same in both builds.
PBOARD_EXTENSION extension(Session& s, size_t device)
{
    return static_cast<PBOARD_EXTENSION>(s.system().device_extension(device));
}

void expect_identity(Session& s, int device, uint32_t code, uint32_t megabytes, const char* memory)
{
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_BOARD_CONFIG, {}, 4, Buffers::Separate, device).word(), code);
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_MEMORY_SIZE_MB, {}, 4, Buffers::Separate, device).word(),
              megabytes);
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_MEMORY_TYPE_NAME, {}, 8, Buffers::Separate, device).text(),
              memory);
}

std::string registry_text(Session& s, int board, const char16_t* name)
{
    const korvid_host::RegistryValue& v = s.system().registry(board)[name];
    std::string text;
    for (size_t i = 0; i + 1 < v.data.size() && v.data[i]; i += 2)
        text += static_cast<char>(v.data[i]);
    return text;
}

void boot_one_board(Session& s)
{
    EXPECT_EQ(s.boot(boards({0x11})), NO_ERROR);
    korvid_host::System& m = s.system();
    // Bus 0 has the board and no more; bus 1, behind the AGP bridge, none.
    EXPECT_EQ(m.find_adapter_status(),
              (std::vector<VP_STATUS>{NO_ERROR, kNoMoreBoards, kNoMoreBoards}));
    EXPECT_EQ(m.machine().board(0).config_dword(0x04) & 0x3, 0x3u) << "I/O and memory decoding on";

    // The registration record in its NT 4.0 form: PCI, 960 bytes per board,
    // no interrupt and no timer.
    EXPECT_EQ(m.registration().HwInitDataSize, 40u);
    EXPECT_EQ(m.registration().AdapterInterfaceType, PCIBus);
    EXPECT_EQ(m.registration().HwDeviceExtensionSize, 960u);
    EXPECT_EQ(m.registration().StartingDeviceNumber, 0u);
    EXPECT_EQ(m.registration().HwInterrupt, nullptr);
    EXPECT_EQ(m.registration().HwTimer, nullptr);
    EXPECT_NE(m.registration().HwResetHw, nullptr);
    // The board offers no emulated VGA access and no saved hardware state.
    const VIDEO_PORT_CONFIG_INFO& found = m.find_adapter_config().at(0);
    EXPECT_EQ(found.VdmPhysicalVideoMemoryAddress.QuadPart, 0);
    EXPECT_EQ(found.VdmPhysicalVideoMemoryLength, 0u);
    EXPECT_EQ(found.HardwareStateSize, 0u);
    EXPECT_EQ(found.NumEmulatorAccessEntries, 0u);
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_NUM_BOARDS, {}, 4).word(), 1u);
    expect_identity(s, 0, 0x11, 8, "SGRAM");

    // Initialisation publishes the hardware and leaves the board in VGA.
    EXPECT_EQ(registry_text(s, 0, u"HardwareInformation.ChipType"), "ORV");
    EXPECT_EQ(registry_text(s, 0, u"HardwareInformation.DacType"), "IBM RGB526 SGRAM");
    EXPECT_EQ(registry_text(s, 0, u"HardwareInformation.AdapterString"), "Quorvane");
    EXPECT_EQ(m.registry(0)[u"HardwareInformation.MemorySize"].data, words({0x800000}));
    sim::DisplayState d = s.display(0);
    EXPECT_FALSE(d.native);
    EXPECT_TRUE(d.text_mode);
    EXPECT_EQ(d.memory_pll, 0x0647) << "the SGRAM clock when the user chose none";
    EXPECT_NEAR(d.memory_clock_hz / 1e6, 75.53, 0.01);
}

void boot_three_boards(Session& s)
{
    EXPECT_EQ(s.boot(boards({0x11, 0x02, 0x15})), NO_ERROR);
    korvid_host::System& m = s.system();
    EXPECT_EQ(m.find_adapter_status(),
              (std::vector<VP_STATUS>{NO_ERROR, NO_ERROR, NO_ERROR, kNoMoreBoards, kNoMoreBoards}));
    ASSERT_EQ(m.device_count(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(m.board_of_device(i), static_cast<int>(i));
        EXPECT_EQ(extension(s, i)->pNextBoard, i < 2 ? extension(s, i + 1) : nullptr)
            << "boards are chained in discovery order";
    }
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_NUM_BOARDS, {}, 4).word(), 3u);
    // With board number 0 a request is carried out on the board it came in on.
    expect_identity(s, 0, 0x11, 8, "SGRAM");
    expect_identity(s, 1, 0x02, 12, "WRAM");
    expect_identity(s, 2, 0x15, 12, "SGRAM");
    EXPECT_EQ(registry_text(s, 1, u"HardwareInformation.DacType"), "IBM RGB526 WRAM");

    // A reload starts from load-time state: a board count or chain end kept
    // from the first run would show in the device accesses.
    const std::vector<sim::Event> first = m.machine().trace.events();
    EXPECT_EQ(s.reboot(), NO_ERROR);
    EXPECT_EQ(extension(s, 2)->pNextBoard, nullptr);
    EXPECT_EQ(m.machine().trace.events(), first);
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_NUM_BOARDS, {}, 4).word(), 3u);
}

TEST_P(EndToEnd, BootsOneBoard)
{
    play(boot_one_board);
}

TEST_P(EndToEnd, BootsSeveralBoardsAndChainsThem)
{
    play(boot_three_boards);
}

// An AGP board sits behind the AGP bridge, on bus 1: the video port finds it
// on its second bus, and the boards of bus 0 come first in the chain. Slot
// numbers count per bus, so configuration space is read on the device's own.
void boot_on_both_buses(Session& s)
{
    korvid_host::System& one = s.power_on({board(0x1B)});
    EXPECT_EQ(s.boot(), NO_ERROR);
    EXPECT_EQ(one.find_adapter_status(),
              (std::vector<VP_STATUS>{kNoMoreBoards, NO_ERROR, kNoMoreBoards}));
    EXPECT_EQ(one.find_adapter_config().at(1).SystemIoBusNumber, 1u);
    expect_identity(s, 0, 0x1B, 20, "SGRAM");

    korvid_host::System& m = s.power_on(boards({0x1B, 0x04}));
    EXPECT_EQ(s.boot(), NO_ERROR);
    EXPECT_EQ(m.find_adapter_status(),
              (std::vector<VP_STATUS>{NO_ERROR, kNoMoreBoards, NO_ERROR, kNoMoreBoards}));
    ASSERT_EQ(m.device_count(), 2u);
    EXPECT_EQ(m.board_of_device(0), 1) << "the PCI board, on bus 0";
    EXPECT_EQ(extension(s, 0)->pNextBoard, extension(s, 1));
    expect_identity(s, 0, 0x04, 8, "WRAM");
    expect_identity(s, 1, 0x1B, 20, "SGRAM");
    select_board(s, 1);
    set_mode(s, find_mode(s, 1280, 1024, 16, 75));
    EXPECT_EQ(s.display(0).h_active, 1280u) << "the AGP board, selected, shows the mode";
}

TEST_P(EndToEnd, FindsBoardsOnBothBuses)
{
    play(boot_on_both_buses);
}

// A board whose base address register the BIOS left unassigned (its ranges
// move up) or whose resources conflict with another device's is passed over
// before anything of it is mapped or switched on; the next board of the bus
// is still found.
void pass_over_missing_resources(Session& s)
{
    constexpr VP_STATUS kConflictingAddresses = 0xC0000018; // the HAL's own status
    struct Case {
        uint8_t unassigned_bars;
        VP_STATUS conflict;
    };
    std::vector<Case> cases = {{0, ERROR_INVALID_PARAMETER}, {0, kConflictingAddresses}};
    for (int bar = 0; bar < sim::kPciBars; ++bar)
        cases.push_back({static_cast<uint8_t>(1 << bar), NO_ERROR});
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.unassigned_bars) << " " << c.conflict);
        std::vector<sim::BoardSetup> setups = boards({0x11, 0x04});
        setups[0].unassigned_bars = c.unassigned_bars;
        korvid_host::System& m = s.power_on(setups);
        if (c.conflict)
            m.faults().conflicting_boards.insert(0);
        m.faults().conflict_status = c.conflict;
        EXPECT_EQ(s.boot(), NO_ERROR);
        ASSERT_EQ(m.device_count(), 1u);
        EXPECT_EQ(m.board_of_device(0), 1);
        EXPECT_EQ(m.machine().board(0).config_dword(0x04) & 0x3, 0u) << "decoding left off";
        for (const korvid_host::Mapping& map : m.mappings())
            EXPECT_EQ(map.board, 1) << sim::aperture_name(map.aperture);
        expect_identity(s, 0, 0x04, 8, "WRAM");
        set_mode(s, find_mode(s, 640, 480, 8, 60));
    }
}

TEST_P(EndToEnd, PassesOverBoardsWithMissingOrConflictingResources)
{
    play(pass_over_missing_resources);
}

// Boards the driver cannot use are left out, and the chain with them.
void refuse_boards(Session& s)
{
    korvid_host::System& m = s.power_on({board(0x11), board(32)});
    EXPECT_EQ(s.boot(), NO_ERROR);
    EXPECT_EQ(m.find_adapter_status(),
              (std::vector<VP_STATUS>{NO_ERROR, kNoMoreBoards, kNoMoreBoards}))
        << "configuration code 32 is not one of this family";
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_NUM_BOARDS, {}, 4).word(), 1u);
    EXPECT_EQ(extension(s, 0)->pNextBoard, nullptr);

    s.power_on({board(0x11)}).faults().config_info_length = 71;
    EXPECT_EQ(s.boot(), static_cast<ULONG>(STATUS_UNSUCCESSFUL));
    EXPECT_EQ(s.system().find_adapter_status(),
              (std::vector<VP_STATUS>{ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER}))
        << "tried on each bus";
    EXPECT_EQ(s.system().machine().trace.size(), 0u) << "refused before any PCI access";

    for (sim::Aperture ap :
         {sim::Aperture::Registers, sim::Aperture::IoBlock, sim::Aperture::FrameBuffer}) {
        s.power_on(boards({0x11, 0x11})).faults().fail_device_base.insert({1, ap});
        EXPECT_EQ(s.boot(), NO_ERROR);
        EXPECT_EQ(s.system().find_adapter_status(),
                  (std::vector<VP_STATUS>{NO_ERROR, ERROR_INVALID_PARAMETER, kNoMoreBoards}));
        EXPECT_EQ(s.send(IOCTL_PRIV_GET_NUM_BOARDS, {}, 4).word(), 1u);
        EXPECT_EQ(extension(s, 0)->pNextBoard, nullptr);
    }
    s.power_on({board(0x11)}).faults().fail_device_base.insert({0, sim::Aperture::VgaPorts});
    EXPECT_EQ(s.boot(), NO_ERROR) << "the VGA ports are optional";
    EXPECT_EQ(s.send(IOCTL_PRIV_GET_NUM_BOARDS, {}, 4).word(), 1u);
}

TEST_P(EndToEnd, RefusesBoardsItCannotUse)
{
    play(refuse_boards);
}

// The memory clock at start: the user's choice on SGRAM, the fixed clock
// when the strap says so, and the board's own on WRAM.
void memory_clock_options(Session& s)
{
    sim::BoardSetup fixed = board(0x11);
    fixed.memory_clock_strap = 0x08;
    korvid_host::System& m = s.power_on({board(0x11), fixed, board(0x11)});
    m.set_registry_dword(0, u"IBMMCLOCK", 125);
    m.set_registry_dword(1, u"IBMMCLOCK", 125);
    m.set_registry_binary(2, u"IBMMCLOCK", Bytes(8, 1), korvid_host::kRegDword);
    ASSERT_EQ(s.boot(), NO_ERROR);
    EXPECT_EQ(s.display(0).memory_pll, 0x0676) << "125 MHz";
    EXPECT_EQ(s.display(1).memory_pll, 0x0A25) << "the fixed clock";
    EXPECT_EQ(s.display(2).memory_pll, 0x0647) << "an 8-byte value is no choice";

    s.power_on({board(0x01)}).set_registry_dword(0, u"IBMMCLOCK", 125);
    ASSERT_EQ(s.boot(), NO_ERROR);
    EXPECT_EQ(s.display(0).memory_pll, 0x0846) << "WRAM boards keep their own clock";
}

TEST_P(EndToEnd, TakesTheMemoryClockFromTheUsersOptions)
{
    play(memory_clock_options);
}

constexpr uint32_t kStallStepUs = 50;
// Each of the two idle waits of a mode set gives up after a second.
constexpr uint32_t kIdleWaitLimitUs = 1'000'000;

uint64_t step_stalls(const Reply& r)
{
    uint64_t n = 0;
    for (const sim::Event& e : r.events)
        n += e.op == sim::Op::Stall && e.value == kStallStepUs;
    return n;
}

void wait_for_idle(Session& s)
{
    ASSERT_EQ(s.boot({board(0x11)}), NO_ERROR);
    const ULONG mode = find_mode(s, 800, 600, 8, 60);
    const uint64_t idle = step_stalls(set_mode(s, mode));

    sim::BoardSetup busy = board(0x11);
    busy.busy_polls = 3;
    ASSERT_EQ(s.boot({busy}), NO_ERROR);
    // Both busy registers are polled in each of the two waits.
    EXPECT_EQ(step_stalls(set_mode(s, mode)), idle + 2 * 2 * 3);
    EXPECT_TRUE(s.display(0).native);

    sim::BoardSetup stuck = board(0x11);
    stuck.never_idle = true;
    ASSERT_EQ(s.boot({stuck}), NO_ERROR);
    Reply r = set_mode(s, mode);
    EXPECT_EQ(step_stalls(r), idle + 2 * kIdleWaitLimitUs / kStallStepUs)
        << "a chip that never goes idle does not hang the mode set";
    EXPECT_TRUE(s.display(0).native);
}

TEST_P(EndToEnd, WaitsForTheChipToGoIdle)
{
    play(wait_for_idle);
}

} // namespace

} // namespace e2e
