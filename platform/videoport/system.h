// The simulated PC as a driver sees it: the machine, and the video port's
// state on it (the driver's registration, the devices it found and which
// are open, the ranges they were given, the mappings, the BIOS calls and
// the call rules). The video port stand-in serves the current system.
#pragma once

#include "hardware/machine.h"
#include "platform/registry/registry_store.h"
#include "platform/videoport/video.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace korvid_host {

struct Mapping {
    int board;
    sim::Aperture aperture;
    uint32_t phys;
    uint32_t length;
    void* va;
    uint32_t process;                // 0: kernel or the requesting process
    bool kernel;                     // made by VideoPortGetDeviceBase
    int handle = -1;                 // the display driver's: the device whose request made it
    std::shared_ptr<sim::View> view; // the display driver's own view of the range
    bool write_combined = false;     // mapped with VIDEO_MEMORY_SPACE_P6CACHE
};

// A bus range handed to a device by VideoPortGetAccessRanges.
struct Claim {
    void* device; // the miniport's extension
    uint32_t start;
    uint32_t length;
    bool io;
};

// Faults that tests can inject into the video port's operations.
struct Faults {
    int fail_get_access_ranges_call = -1; // 0-based call number that fails
    // Boards whose resources the HAL refuses as conflicting with a device
    // that already has them; VideoPortGetAccessRanges answers this status.
    std::set<int> conflicting_boards;
    VP_STATUS conflict_status = ERROR_INVALID_PARAMETER;
    std::set<std::pair<int, sim::Aperture>> fail_device_base; // (board, aperture)
    bool fail_rom_mapping = false;
    VP_STATUS map_memory_status = NO_ERROR; // non-zero: every map fails with it
    VP_STATUS int10_status = NO_ERROR;
    ULONG config_info_length = 72; // what VideoPortInitialize hands the driver
    // Non-zero: every registry write fails with it and nothing is stored.
    VP_STATUS set_registry_status = NO_ERROR;
};

// The driver the system runs: its entry point, and how to bring its globals
// back to their load-time values before a (re)load.
struct DriverImage {
    ULONG(NTAPI* entry)(PVOID, PVOID) = nullptr;
    std::function<void()> reload;
};

// The driver callback the video port is running, for the call rules.
enum class Callback : uint8_t { None, FindAdapter, Initialize, StartIO, ResetHw };
const char* callback_name(Callback c);

// Which devices the display driver opens once the driver has loaded: every
// board's own device, or only device 0, as the family's display driver does
// (it reaches the other boards by selecting them).
enum class DeviceOpens : uint8_t { Every, DisplayOnly };

// Which board VideoPortGetAccessRanges hands out, which NT 4.0 does not
// document: the first matching board that no earlier call claimed, or, as
// ReactOS's legacy detection does, the first matching board from slot 0 on
// every call, whose resources then conflict with the device that claimed it.
enum class SlotSearch : uint8_t { SkipClaimed, FromSlotZero };

class System : public sim::Machine {
  public:
    explicit System(const std::vector<sim::BoardSetup>& setups);
    ~System() override;

    static System* current();
    void make_current();

    // Loads the driver: globals back to load time, DriverEntry and
    // discovery; then the display driver opens the devices `opens` names,
    // which initialises them. Returns the entry's status.
    ULONG boot(const DriverImage& driver);
    // Unloads and loads the driver again; boards are power-cycled, the
    // registry keeps what was written.
    ULONG reboot();

    // Each board's device key; it keeps its values across a reboot.
    RegistryKey& registry(int board) { return registry_.key(board); }
    void set_registry_dword(int board, const std::u16string& name, uint32_t v)
    {
        registry_.set_dword(board, name, v);
    }
    void set_registry_binary(int board, const std::u16string& name,
                             const std::vector<uint8_t>& bytes, uint32_t type = kRegBinary)
    {
        registry_.set_binary(board, name, bytes, type);
    }

    Faults faults;
    DeviceOpens opens = DeviceOpens::Every;
    SlotSearch slot_search = SlotSearch::SkipClaimed;

    // Discovery state.
    std::vector<bool> claimed;
    std::vector<Claim> claims;
    int get_access_ranges_calls = 0;
    std::vector<VP_STATUS> find_adapter_status; // one per HwFindAdapter call
    std::vector<PVOID> devices;                 // extensions of the boards found
    std::vector<bool> opened;                   // one per device
    int requesting_device = -1;                 // whose handle the running request came through
    std::map<PVOID, int> extension_board;       // extension -> board index
    std::map<PVOID, int> extension_bus;         // extension -> the bus it was found on
    std::vector<std::unique_ptr<uint8_t[]>> extensions;
    VIDEO_HW_INITIALIZATION_DATA hw{};
    std::vector<Mapping> mappings;
    // Addresses the driver asked to unmap that were not mapped (the video
    // port answers ERROR_INVALID_PARAMETER).
    std::vector<const void*> refused_unmaps;
    std::vector<VIDEO_X86_BIOS_ARGUMENTS> int10_calls;
    std::vector<VIDEO_PORT_CONFIG_INFO> find_adapter_config; // as each HwFindAdapter left it
    // Files a registry parameter may name (IsParameterFileName), by path.
    std::map<std::u16string, std::vector<uint8_t>> files;
    // A registry callback (HwVidQueryNamedValueCallback) is running.
    bool in_registry_callback = false;

    // The call rules (call_rules.h), checked like a driver verifier: a broken
    // rule is reported on stderr and ends the program, unless a test collects them.
    Callback running = Callback::None;
    bool collect_violations = false;
    std::vector<std::string> violations;
    void violation(const std::string& what);
    // Runs a driver callback; entering one while another runs is a violation.
    template <typename F> auto in_callback(Callback c, F&& call)
    {
        struct Leave {
            System& s;
            Callback outer;
            ~Leave() { s.running = outer; }
        } leave{*this, enter(c)};
        return call();
    }

    int board_of_extension(PVOID ext) const;
    // The bus HwFindAdapter was called for with this extension (the host bus
    // for one the video port never handed out).
    int bus_of_extension(PVOID ext) const;

    // The video port's part towards the driver. A device is initialised
    // (HwInitialize) when it is first opened; an open fails when that
    // returns FALSE. A request goes through a handle, so start_io opens the
    // device first when nobody has; it returns FALSE when that open fails.
    bool open(int device);
    bool is_open(int device) const;
    // The display driver lets go of its handle; its mappings must be gone.
    void close(int device);
    BOOLEAN start_io(int device, VIDEO_REQUEST_PACKET* packet);
    // HwResetHw reaches only opened devices; FALSE for any other.
    BOOLEAN reset_hw(int device);
    // The display reset the HAL runs when the system stops (a crash, a
    // shutdown): HwResetHw of every opened device in device order, whatever
    // callback is running; TRUE only when each one reset its board fully.
    BOOLEAN reset_display();

    // A stop at any moment: when the driver makes its n-th platform call
    // from now (0 is the next; the calls the trace records: device
    // accesses, stalls, memory clears, BIOS calls), `stop` runs once, in the
    // middle of whatever is running.
    void stop_at_call(uint64_t n, std::function<void()> stop);
    // The video port's operations report each call here.
    void platform_call();

  private:
    void forget_driver();
    Callback enter(Callback c); // returns the callback that was running

    RegistryStore registry_;
    DriverImage driver_;
    uint64_t calls_to_stop_ = 0;
    std::function<void()> stop_;
};

} // namespace korvid_host
