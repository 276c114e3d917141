// The drivers the end-to-end scenarios run on: the miniport compiled for the
// host, and korvid.sys from the cross build loaded into the simulation.
#pragma once

#include "sim/machine.h"
#include "sim/pe_loader.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct DriverFactory {
    const char* name;
    // A fresh driver to boot, or nothing with the reason to skip in *why.
    std::optional<sim::DriverImage> (*make)(std::string* why);
};

inline void PrintTo(const DriverFactory& d, std::ostream* os) {
    *os << d.name;
}

DriverFactory host_driver_factory();
DriverFactory sys_driver_factory();
std::vector<DriverFactory> all_drivers();

// Where the cross build left korvid.sys, or nothing with the reason in *why.
std::optional<std::string> korvid_sys_path(std::string* why);
// korvid.sys as bytes, for tests that load patched copies.
std::optional<std::vector<uint8_t>> korvid_sys_bytes(std::string* why);
