#include "platform/videoport/system.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace korvid_host {

namespace {
System* g_current = nullptr;
} // namespace

const char* callback_name(Callback c)
{
    switch (c) {
    case Callback::None:
        return "no callback";
    case Callback::FindAdapter:
        return "HwFindAdapter";
    case Callback::Initialize:
        return "HwInitialize";
    case Callback::StartIO:
        return "HwStartIO";
    case Callback::ResetHw:
        return "HwResetHw";
    }
    return "?";
}

System::System(const std::vector<sim::BoardSetup>& setups) : sim::Machine(setups)
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
    claimed.assign(num_boards(), false);
    claims.clear();
    get_access_ranges_calls = 0;
    find_adapter_status.clear();
    find_adapter_config.clear();
    devices.clear();
    opened.clear();
    requesting_device = -1;
    running = Callback::None;
    in_registry_callback = false;
    violations.clear();
    extension_board.clear();
    extension_bus.clear();
    extensions.clear();
    mappings.clear();
    refused_unmaps.clear();
    int10_calls.clear();
    stop_ = nullptr;
    hw = {};
}

ULONG System::boot(const DriverImage& driver)
{
    make_current();
    driver_ = driver;
    if (driver.reload)
        driver.reload();
    ULONG status = driver.entry(reinterpret_cast<PVOID>(0x1000), reinterpret_cast<PVOID>(0x2000));
    size_t wanted =
        opens == DeviceOpens::Every ? devices.size() : std::min<size_t>(devices.size(), 1);
    for (size_t device = 0; device < wanted; ++device)
        open(static_cast<int>(device));
    return status;
}

ULONG System::reboot()
{
    power_cycle();
    forget_driver();
    trace.clear();
    time_ns = 0;
    return boot(driver_);
}

int System::board_of_extension(PVOID ext) const
{
    auto it = extension_board.find(ext);
    return it == extension_board.end() ? -1 : it->second;
}

int System::bus_of_extension(PVOID ext) const
{
    auto it = extension_bus.find(ext);
    return it == extension_bus.end() ? sim::kHostBus : it->second;
}

void System::violation(const std::string& what)
{
    violations.push_back(what);
    if (collect_violations)
        return;
    std::fprintf(stderr, "videoport verifier: %s\n", what.c_str());
    std::abort();
}

Callback System::enter(Callback c)
{
    // Only the reset may come while a callback runs: the system can stop in
    // the middle of anything.
    if (running != Callback::None && c != Callback::ResetHw)
        violation(std::string(callback_name(c)) + " entered while " + callback_name(running) +
                  " runs");
    return std::exchange(running, c);
}

bool System::is_open(int device) const
{
    return device >= 0 && size_t(device) < opened.size() && opened[size_t(device)];
}

bool System::open(int device)
{
    PVOID ext = devices.at(size_t(device));
    opened.resize(devices.size(), false);
    if (opened[size_t(device)])
        return true;
    if (!in_callback(Callback::Initialize, [&] { return hw.HwInitialize(ext); }))
        return false;
    opened[size_t(device)] = true;
    return true;
}

void System::close(int device)
{
    if (!is_open(device))
        return;
    opened[size_t(device)] = false;
    for (const Mapping& map : mappings)
        if (!map.kernel && map.handle == device)
            violation("display-driver model: device " + std::to_string(device) +
                      " closed with one of its mappings left behind");
}

BOOLEAN System::start_io(int device, VIDEO_REQUEST_PACKET* packet)
{
    if (!open(device))
        return FALSE;
    int outer = std::exchange(requesting_device, device);
    BOOLEAN handled = in_callback(Callback::StartIO,
                                  [&] { return hw.HwStartIO(devices.at(size_t(device)), packet); });
    requesting_device = outer;
    return handled;
}

BOOLEAN System::reset_hw(int device)
{
    if (!is_open(device))
        return FALSE;
    return in_callback(Callback::ResetHw,
                       [&] { return hw.HwResetHw(devices.at(size_t(device)), 80, 50); });
}

BOOLEAN System::reset_display()
{
    BOOLEAN full = TRUE;
    for (size_t device = 0; device < devices.size(); ++device)
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

} // namespace korvid_host
