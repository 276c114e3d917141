#include "platform/videoport/system.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace korvid_host {

namespace {
System* g_current = nullptr;
} // namespace

System::System(const std::vector<sim::BoardSetup>& setups) : machine_(setups)
{
    forget_driver();
    make_current();
}

System::~System()
{
    if (g_current == this)
        g_current = nullptr;
}

System* System::current()
{
    return g_current;
}

void System::make_current()
{
    g_current = this;
}

void System::forget_driver()
{
    claimed_.assign(machine_.num_boards(), false);
    claims_.clear();
    access_ranges_calls_ = 0;
    find_adapter_status_.clear();
    find_adapter_config_.clear();
    devices_.clear();
    opened_.clear();
    requesting_device_ = -1;
    verifier_.forget_driver();
    extension_board_.clear();
    extension_bus_.clear();
    extensions_.clear();
    mappings_.clear();
    refused_unmaps_.clear();
    int10_calls_.clear();
    stop_ = nullptr;
    hw_ = {};
}

ULONG System::boot(const DriverImage& driver)
{
    make_current();
    driver_ = driver;
    if (driver.reload)
        driver.reload();
    ULONG status = driver.entry(reinterpret_cast<PVOID>(0x1000), reinterpret_cast<PVOID>(0x2000));
    size_t wanted =
        opens_ == DeviceOpens::Every ? devices_.size() : std::min<size_t>(devices_.size(), 1);
    for (size_t device = 0; device < wanted; ++device)
        open(static_cast<int>(device));
    return status;
}

ULONG System::reboot()
{
    machine_.power_cycle();
    forget_driver();
    machine_.trace.clear();
    machine_.time_ns = 0;
    return boot(driver_);
}

void System::add_file(const std::u16string& path, std::vector<uint8_t> contents)
{
    files_[path] = std::move(contents);
}

const std::vector<uint8_t>* System::file(const std::u16string& path) const
{
    auto it = files_.find(path);
    return it == files_.end() ? nullptr : &it->second;
}

int System::board_of_device(int device) const
{
    return board_of_extension(device_extension(device));
}

int System::board_of_extension(PVOID ext) const
{
    auto it = extension_board_.find(ext);
    return it == extension_board_.end() ? -1 : it->second;
}

int System::bus_of_extension(PVOID ext) const
{
    auto it = extension_bus_.find(ext);
    return it == extension_bus_.end() ? sim::kHostBus : it->second;
}

bool System::is_open(int device) const
{
    return device >= 0 && size_t(device) < opened_.size() && opened_[size_t(device)];
}

bool System::open(int device)
{
    PVOID ext = devices_.at(size_t(device));
    opened_.resize(devices_.size(), false);
    if (opened_[size_t(device)])
        return true;
    if (!verifier_.in_callback(Callback::Initialize, [&] { return hw_.HwInitialize(ext); }))
        return false;
    opened_[size_t(device)] = true;
    return true;
}

void System::close(int device)
{
    if (!is_open(device))
        return;
    opened_[size_t(device)] = false;
    for (const Mapping& map : mappings_)
        if (!map.kernel && map.handle == device)
            verifier_.violation("display-driver model: device " + std::to_string(device) +
                                " closed with one of its mappings left behind");
}

BOOLEAN System::start_io(int device, VIDEO_REQUEST_PACKET* packet)
{
    if (!open(device))
        return FALSE;
    int outer = std::exchange(requesting_device_, device);
    BOOLEAN handled = verifier_.in_callback(
        Callback::StartIO, [&] { return hw_.HwStartIO(devices_.at(size_t(device)), packet); });
    requesting_device_ = outer;
    return handled;
}

BOOLEAN System::reset_hw(int device)
{
    if (!is_open(device))
        return FALSE;
    return verifier_.in_callback(
        Callback::ResetHw, [&] { return hw_.HwResetHw(devices_.at(size_t(device)), 80, 50); });
}

BOOLEAN System::reset_display()
{
    BOOLEAN full = TRUE;
    for (size_t device = 0; device < devices_.size(); ++device)
        if (is_open(int(device)) && !reset_hw(int(device)))
            full = FALSE;
    return full;
}

void System::stop_at_call(uint64_t n, std::function<void()> stop)
{
    calls_to_stop_ = n;
    stop_ = std::move(stop);
}

void System::platform_call()
{
    if (!stop_)
        return;
    if (calls_to_stop_ > 0) {
        --calls_to_stop_;
        return;
    }
    std::exchange(stop_, nullptr)();
}

PVOID System::new_extension(int bus)
{
    extensions_.push_back(std::make_unique<uint8_t[]>(hw_.HwDeviceExtensionSize));
    PVOID ext = extensions_.back().get();
    std::memset(ext, 0, hw_.HwDeviceExtensionSize);
    extension_bus_[ext] = bus;
    return ext;
}

void System::found_adapter(PVOID ext, VP_STATUS status, const VIDEO_PORT_CONFIG_INFO& info)
{
    find_adapter_status_.push_back(status);
    find_adapter_config_.push_back(info);
    if (status == NO_ERROR)
        devices_.push_back(ext);
}

void System::release_claims(PVOID ext)
{
    std::erase_if(claims_, [&](const Claim& c) { return c.device == ext; });
}

bool System::claimed_by(PVOID ext, uint32_t start, uint32_t length, bool io) const
{
    for (const Claim& c : claims_)
        if (c.device == ext && c.io == io && sim::range_holds(c.start, c.length, start, length))
            return true;
    return false;
}

bool System::free_device_base(const void* va)
{
    for (auto it = mappings_.begin(); it != mappings_.end(); ++it)
        if (it->kernel && it->va == va) {
            mappings_.erase(it);
            return true;
        }
    return false;
}

bool System::unmap_memory(const void* va, uint32_t process)
{
    for (auto it = mappings_.begin(); it != mappings_.end(); ++it)
        if (!it->kernel && it->va == va && it->process == process) {
            mappings_.erase(it);
            return true;
        }
    refused_unmaps_.push_back(va);
    return false;
}

} // namespace korvid_host
