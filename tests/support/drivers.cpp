#include "tests/support/drivers.h"

#include "loader/host_driver.h"
#include "tests/support/build_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

std::optional<std::string> korvid_sys_path(std::string* why)
{
    std::string reason;
    const std::string path = testing_support::cross_korvid_sys();
    if (path.empty())
        reason = "KORVID_CROSS_DIR is not set: configure with -DKORVID_CROSS_DIR=<cross build "
                 "folder> to run korvid.sys";
    else if (!std::ifstream(path))
        reason = path + " is missing: build the cross configuration first";
    if (why)
        *why = reason;
    return reason.empty() ? std::optional(path) : std::nullopt;
}

std::optional<std::vector<uint8_t>> korvid_sys_bytes(std::string* why)
{
    auto path = korvid_sys_path(why);
    return path ? pe::read_file(*path) : std::nullopt;
}

namespace {

std::optional<korvid_host::DriverImage> make_host(std::string*)
{
    return sim::host_miniport();
}

std::optional<korvid_host::DriverImage> make_sys(std::string* why)
{
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

DriverFactory host_driver_factory()
{
    return {"host", make_host};
}
DriverFactory sys_driver_factory()
{
    return {"sys", make_sys};
}
std::vector<DriverFactory> all_drivers()
{
    return {host_driver_factory(), sys_driver_factory()};
}

namespace testing_support {

pe::Section section_of_rva(const pe::PeFile& f, uint32_t rva)
{
    for (const pe::Section& s : f.sections())
        if (s.holds(rva))
            return s;
    ADD_FAILURE() << "RVA 0x" << std::hex << rva << " has no file data";
    return {};
}

int replace(std::vector<uint8_t>& f, const pe::Section& s, const std::string& from,
            const std::string& to)
{
    EXPECT_EQ(from.size(), to.size());
    // Compared as bytes: a char above 0x7F would never equal its uint8_t.
    const std::vector<uint8_t> pattern(from.begin(), from.end());
    const auto begin = f.begin() + s.raw_offset, end = begin + s.file_size();
    int n = 0;
    for (auto it = begin; (it = std::search(it, end, pattern.begin(), pattern.end())) != end; ++n)
        it = std::copy(to.begin(), to.end(), it);
    return n;
}

} // namespace testing_support
