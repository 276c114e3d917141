// The simulated machine: a PCI bus with any number of boards, the registry
// store of each board's device key, the live mappings, simulated time and
// the device-access trace. The video port stand-in serves the current machine.
#pragma once

#include "board.h"
#include "trace.h"
#include "videoport/video.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace sim {

// Registry value types as the platform numbers them.
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegSz = 1;

struct RegistryValue {
    uint32_t type = kRegBinary;
    std::vector<uint8_t> data;
};
using RegistryKey = std::map<std::u16string, RegistryValue>;

struct Mapping {
    int board;
    Aperture aperture;
    uint32_t phys;
    uint32_t length;
    void* va;
    uint32_t process; // 0: kernel or the requesting process
    bool kernel;      // made by VideoPortGetDeviceBase
};

// Faults that tests can inject into the video port's operations.
struct Faults {
    int fail_get_access_ranges_call = -1;                // 0-based call number that fails
    std::set<std::pair<int, Aperture>> fail_device_base; // (board, aperture)
    bool fail_rom_mapping = false;
    VP_STATUS map_memory_status = NO_ERROR; // non-zero: every map fails with it
    VP_STATUS int10_status = NO_ERROR;
    ULONG config_info_length = 72; // what VideoPortInitialize hands the driver
    // Non-zero: every registry write fails with it and nothing is stored.
    VP_STATUS set_registry_status = NO_ERROR;
};

// The driver the machine runs: its entry point, and how to bring its globals
// back to their load-time values before a (re)load.
struct DriverImage {
    ULONG(NTAPI* entry)(PVOID, PVOID) = nullptr;
    std::function<void()> reload;
};

struct Location {
    Board* board = nullptr;
    Aperture aperture = Aperture::Registers;
    uint32_t offset = 0;
};

class Machine {
  public:
    explicit Machine(const std::vector<BoardSetup>& setups);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    static Machine* current();
    void make_current();

    // Loads the driver: globals back to load time, DriverEntry, discovery
    // and initialisation of every board found. Returns the entry's status.
    ULONG boot(const DriverImage& driver);
    // Unloads and loads the driver again; boards are power-cycled, the
    // registry keeps what was written.
    ULONG reboot();

    std::vector<std::unique_ptr<Board>>& boards() { return boards_; }
    Board& board(int i) { return *boards_.at(i); }
    size_t num_boards() const { return boards_.size(); }

    RegistryKey& registry(int board) { return registry_[board]; }
    void set_registry_dword(int board, const std::u16string& name, uint32_t v);
    void set_registry_binary(int board, const std::u16string& name,
                             const std::vector<uint8_t>& bytes, uint32_t type = kRegBinary);

    Trace trace;
    Faults faults;
    // Simulated device time in nanoseconds (stalls and memory clears).
    uint64_t time_ns = 0;
    // Bus rate at which the frame buffer is cleared, bytes per second.
    uint64_t clear_rate_bytes_per_s = 400'000'000;

    // Discovery state, owned by the video port stand-in.
    std::vector<bool> claimed;
    int get_access_ranges_calls = 0;
    std::vector<VP_STATUS> find_adapter_status; // one per HwFindAdapter call
    std::vector<PVOID> devices;                 // extensions of the boards found
    std::map<PVOID, int> extension_board;       // extension -> board index
    std::vector<std::unique_ptr<uint8_t[]>> extensions;
    VIDEO_HW_INITIALIZATION_DATA hw{};
    std::vector<Mapping> mappings;
    std::vector<VIDEO_X86_BIOS_ARGUMENTS> int10_calls;
    std::vector<VIDEO_PORT_CONFIG_INFO> find_adapter_config; // as each HwFindAdapter left it

    int board_of_extension(PVOID ext) const;
    // Which board and aperture a device address belongs to (board null: none).
    Location locate(const void* p, size_t len) const;
    Region& vga_ports() { return vga_ports_; }
    Region& rom() { return rom_; }

    // Request helpers that play the video port's part towards the driver.
    BOOLEAN start_io(int device, VIDEO_REQUEST_PACKET* packet);
    BOOLEAN reset_hw(int device);

  private:
    void power_cycle();

    std::vector<BoardSetup> setups_;
    std::vector<std::unique_ptr<Board>> boards_;
    std::map<int, RegistryKey> registry_;
    Region vga_ports_;
    Region rom_;
    DriverImage driver_;
};

} // namespace sim
