// The simulated PC as a driver sees it: the machine, and the video port's
// state on it (the driver's registration, the devices it found and which
// are open, the ranges they were given, the mappings, the BIOS calls and
// the call rules). The video port stand-in serves the current system.
#pragma once

#include "hardware/machine.h"
#include "platform/registry/registry_store.h"
#include "platform/videoport/verifier.h"
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

// Which devices the display driver opens once the driver has loaded: every
// board's own device, or only device 0, as the family's display driver does
// (it reaches the other boards by selecting them).
enum class DeviceOpens : uint8_t { Every, DisplayOnly };

// Which board VideoPortGetAccessRanges hands out, which NT 4.0 does not
// document: the first matching board that no earlier call claimed, or, as
// ReactOS's legacy detection does, the first matching board from slot 0 on
// every call, whose resources then conflict with the device that claimed it.
enum class SlotSearch : uint8_t { SkipClaimed, FromSlotZero };

class System {
  public:
    explicit System(const std::vector<sim::BoardSetup>& setups);
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    static System* current();
    void make_current();

    // The machine the video port serves: boards, buses, trace and time.
    sim::Machine& machine() { return machine_; }
    const sim::Machine& machine() const { return machine_; }

    // How the next boot goes (both stay across a reboot).
    void set_device_opens(DeviceOpens opens) { opens_ = opens; }
    void set_slot_search(SlotSearch search) { slot_search_ = search; }
    SlotSearch slot_search() const { return slot_search_; }

    // Loads the driver: globals back to load time, DriverEntry and
    // discovery; then the display driver opens the devices set_device_opens
    // names, which initialises them. Returns the entry's status.
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
    // Files a registry parameter may name (IsParameterFileName), by path;
    // null for a path the machine has no file at.
    void add_file(const std::u16string& path, std::vector<uint8_t> contents);
    const std::vector<uint8_t>* file(const std::u16string& path) const;

    // The fault injection: what the next operations are to refuse.
    Faults& faults() { return faults_; }
    const Faults& faults() const { return faults_; }
    // The call rules and the violations collected.
    Verifier& verifier() { return verifier_; }
    const Verifier& verifier() const { return verifier_; }

    // What the driver registered (VideoPortInitialize), and what each
    // HwFindAdapter call answered and left in its configuration record.
    const VIDEO_HW_INITIALIZATION_DATA& registration() const { return hw_; }
    const std::vector<VP_STATUS>& find_adapter_status() const { return find_adapter_status_; }
    const std::vector<VIDEO_PORT_CONFIG_INFO>& find_adapter_config() const
    {
        return find_adapter_config_;
    }

    // The devices found, in the order found: their extensions, and the board
    // each one was handed.
    const std::vector<PVOID>& devices() const { return devices_; }
    size_t device_count() const { return devices_.size(); }
    PVOID device_extension(int device) const { return devices_.at(size_t(device)); }
    int board_of_device(int device) const;
    int board_of_extension(PVOID ext) const;
    // The bus HwFindAdapter was called for with this extension (the host bus
    // for one the video port never handed out).
    int bus_of_extension(PVOID ext) const;

    // The bus ranges handed out, and the mappings made of them.
    const std::vector<Claim>& claims() const { return claims_; }
    const std::vector<Mapping>& mappings() const { return mappings_; }
    // Addresses the driver asked to unmap that were not mapped (the video
    // port answers ERROR_INVALID_PARAMETER).
    const std::vector<const void*>& refused_unmaps() const { return refused_unmaps_; }
    // The BIOS calls made, in order.
    const std::vector<VIDEO_X86_BIOS_ARGUMENTS>& int10_calls() const { return int10_calls_; }

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

    // ---- what the video port's operations keep ----------------------------
    // VideoPortInitialize: the driver's registration record, copied whole.
    void register_driver(const VIDEO_HW_INITIALIZATION_DATA& hw) { hw_ = hw; }
    // A fresh zeroed device extension for a HwFindAdapter call on `bus`.
    PVOID new_extension(int bus);
    // What that call answered; a device found is kept.
    void found_adapter(PVOID ext, VP_STATUS status, const VIDEO_PORT_CONFIG_INFO& info);
    // Discovery is over: no device is open yet.
    void discovery_done() { opened_.assign(devices_.size(), false); }

    // VideoPortGetAccessRanges: its calls counted from 0, each board handed
    // out once per load, and the ranges its device was given.
    int next_access_ranges_call() { return access_ranges_calls_++; }
    bool board_claimed(int board) const { return claimed_.at(size_t(board)); }
    void claim_board(int board) { claimed_.at(size_t(board)) = true; }
    void bind_extension(PVOID ext, int board) { extension_board_[ext] = board; }
    void release_claims(PVOID ext);
    void add_claim(const Claim& claim) { claims_.push_back(claim); }
    bool claimed_by(PVOID ext, uint32_t start, uint32_t length, bool io) const;

    // Mappings: kernel ones (VideoPortGetDeviceBase) and the display
    // driver's (VideoPortMapMemory, made for the requesting device).
    void add_mapping(const Mapping& map) { mappings_.push_back(map); }
    int requesting_device() const { return requesting_device_; }
    // False when `va` is no kernel mapping.
    bool free_device_base(const void* va);
    // False, and the address kept as refused, when `va` is no mapping of
    // the display driver's in that process.
    bool unmap_memory(const void* va, uint32_t process);

    void record_int10(const VIDEO_X86_BIOS_ARGUMENTS& args) { int10_calls_.push_back(args); }

  private:
    void forget_driver();

    sim::Machine machine_;
    RegistryStore registry_;
    DriverImage driver_;
    uint64_t calls_to_stop_ = 0;
    std::function<void()> stop_;

    Faults faults_;
    Verifier verifier_;
    DeviceOpens opens_ = DeviceOpens::Every;
    SlotSearch slot_search_ = SlotSearch::SkipClaimed;
    std::map<std::u16string, std::vector<uint8_t>> files_;

    // Discovery.
    VIDEO_HW_INITIALIZATION_DATA hw_{};
    std::vector<std::unique_ptr<uint8_t[]>> extensions_;
    std::map<PVOID, int> extension_board_; // extension -> board index
    std::map<PVOID, int> extension_bus_;   // extension -> the bus it was found on
    std::vector<VP_STATUS> find_adapter_status_;
    std::vector<VIDEO_PORT_CONFIG_INFO> find_adapter_config_;
    std::vector<PVOID> devices_;
    std::vector<bool> opened_;   // one per device
    int requesting_device_ = -1; // whose handle the running request came through

    // Resources.
    std::vector<bool> claimed_; // one per board
    std::vector<Claim> claims_;
    int access_ranges_calls_ = 0;
    std::vector<Mapping> mappings_;
    std::vector<const void*> refused_unmaps_;

    std::vector<VIDEO_X86_BIOS_ARGUMENTS> int10_calls_;
};

} // namespace korvid_host
