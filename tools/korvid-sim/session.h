// One simulated machine with its boards and the driver it runs, and the
// display driver's request sender for each board.
#pragma once

#include "platform/videoport/system.h"
#include "display/miniport_client.h"
#include "loader/pe_loader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ksim {

// The driver korvid-sim runs: the host-built miniport, or a korvid.sys file.
struct Driver {
    korvid_host::DriverImage image;
    std::shared_ptr<sim::PeImage> sys; // null for the host build
    std::string path;

    std::string name() const;
};

// Throws UsageError when the file cannot be read or loaded.
Driver load_driver(const std::string& path);

class Session {
  public:
    // One board per code, on the bus `buses` names for it (where none is
    // named: the bus of its kind).
    Session(std::vector<uint32_t> codes, Driver driver, const std::vector<int>& buses = {});

    korvid_host::System& system() { return *machine_; }
    const Driver& driver() const { return driver_; }
    const std::vector<uint32_t>& codes() const { return codes_; }

    // Loads the driver on the first call; throws Failure when it finds no board.
    void ensure_booted();
    bool booted() const { return booted_; }
    ULONG boot_status() const { return boot_status_; }
    // Unloads and loads the driver again; the registry keeps its values.
    void reboot();

    // The board requests go to (its own device object); 0 after boot.
    sim::MiniportClient& client();
    int selected() const { return selected_; }
    void select(int board);
    // A board-selection request that the miniport accepted: every request
    // goes through device 0, so `word` counts from the first board, and an
    // index past the end of the chain selects the last board. Returns the
    // board requests now reach.
    int follow_selection(uint32_t word);
    size_t num_devices() const { return clients_.size(); }
    sim::MiniportClient& client(int device);
    // The simulated board behind a device.
    sim::Board& board(int device);
    sim::Board& board() { return board(selected_); }

  private:
    void after_load(ULONG status);

    std::vector<uint32_t> codes_;
    Driver driver_;
    std::unique_ptr<korvid_host::System> machine_;
    std::vector<std::unique_ptr<sim::MiniportClient>> clients_;
    int selected_ = 0;
    bool booted_ = false;
    ULONG boot_status_ = 0;
};

} // namespace ksim
