#include "tools/korvid-sim/session.h"

#include "tools/korvid-sim/errors.h"
#include "loader/host_driver.h"
#include "display/miniport_requests.h"

#include <algorithm>

namespace ksim {

std::string Driver::name() const
{
    return sys ? "korvid.sys from " + path : "the host-built miniport";
}

Driver load_driver(const std::string& path)
{
    Driver d;
    if (path.empty()) {
        d.image = sim::host_miniport();
        return d;
    }
    std::string error;
    d.sys = sim::PeImage::load_file(path, &error);
    if (!d.sys)
        throw UsageError("cannot load driver " + path + ": " + error);
    d.image = sim::sys_driver(d.sys);
    d.path = path;
    return d;
}

Session::Session(std::vector<uint32_t> codes, Driver driver, const std::vector<int>& buses)
    : codes_(std::move(codes)), driver_(std::move(driver))
{
    std::vector<sim::BoardSetup> boards;
    for (size_t i = 0; i < codes_.size(); ++i) {
        sim::BoardSetup board;
        board.config_code = codes_[i];
        if (i < buses.size())
            board.bus = buses[i];
        boards.push_back(board);
    }
    machine_ = std::make_unique<korvid_host::System>(boards);
    // Like the family's display driver: one device, the other boards selected.
    machine_->set_device_opens(korvid_host::DeviceOpens::DisplayOnly);
}

void Session::after_load(ULONG status)
{
    boot_status_ = status;
    booted_ = true;
    clients_.clear();
    selected_ = 0;
    if (status != NO_ERROR || machine_->devices().empty())
        throw Failure("the driver did not load: " +
                      sim::status_name(static_cast<VP_STATUS>(status)));
    if (!machine_->is_open(sim::kDisplayDevice))
        throw Failure("the driver's device could not be opened: its initialisation failed");
    for (size_t i = 0; i < machine_->device_count(); ++i)
        clients_.push_back(std::make_unique<sim::MiniportClient>(*machine_, static_cast<int>(i)));
}

void Session::ensure_booted()
{
    if (!booted_)
        after_load(machine_->boot(driver_.image));
}

void Session::reboot()
{
    if (!booted_) {
        ensure_booted();
        return;
    }
    after_load(machine_->reboot());
}

sim::MiniportClient& Session::client()
{
    return client(selected_);
}

sim::MiniportClient& Session::client(int device)
{
    ensure_booted();
    return *clients_.at(static_cast<size_t>(device));
}

sim::Board& Session::board(int device)
{
    ensure_booted();
    return machine_->machine().board(machine_->board_of_device(device));
}

void Session::select(int board)
{
    ensure_booted();
    if (board < 0 || static_cast<size_t>(board) >= clients_.size())
        throw UsageError("there is no board " + std::to_string(board) + " (the machine has " +
                         std::to_string(clients_.size()) + ")");
    selected_ = board;
}

int Session::follow_selection(uint32_t word)
{
    ensure_booted();
    selected_ = int(std::min<size_t>(word, clients_.size() - 1));
    return selected_;
}

} // namespace ksim
