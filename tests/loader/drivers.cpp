#include "drivers.h"

#include "sim/host_driver.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

std::optional<std::string> korvid_sys_path(std::string* why) {
    const std::string dir = KORVID_CROSS_DIR;
    if (dir.empty()) {
        *why = "KORVID_CROSS_DIR is not set: configure with -DKORVID_CROSS_DIR=<cross build "
               "folder> to run korvid.sys";
        return std::nullopt;
    }
    const std::string path = dir + "/miniport/korvid.sys";
    if (!std::ifstream(path)) {
        *why = path + " is missing: build the cross configuration first";
        return std::nullopt;
    }
    return path;
}

std::optional<std::vector<uint8_t>> korvid_sys_bytes(std::string* why) {
    auto path = korvid_sys_path(why);
    if (!path)
        return std::nullopt;
    std::ifstream in(*path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

namespace {

std::optional<sim::DriverImage> make_host(std::string*) {
    return sim::host_miniport();
}

std::optional<sim::DriverImage> make_sys(std::string* why) {
    auto path = korvid_sys_path(why);
    if (!path)
        return std::nullopt;
    std::string error;
    auto image = sim::PeImage::load_file(*path, &error);
    if (!image) {
        // A build that cannot be loaded is a failure, not a reason to skip.
        ADD_FAILURE() << error;
        *why = error;
        return std::nullopt;
    }
    return sim::sys_driver(image);
}

} // namespace

DriverFactory host_driver_factory() {
    return {"host", make_host};
}
DriverFactory sys_driver_factory() {
    return {"sys", make_sys};
}
std::vector<DriverFactory> all_drivers() {
    return {host_driver_factory(), sys_driver_factory()};
}
