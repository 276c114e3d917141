// The drivers the end-to-end scenarios run on: the miniport compiled for the
// host, and korvid.sys from the cross build loaded into the simulation.
#pragma once

#include "platform/videoport/system.h"
#include "loader/pe_loader.h"
#include "platform/freestanding/little_endian.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct DriverFactory {
    const char* name;
    // A fresh driver to boot, or nothing with the reason to skip in *why.
    std::optional<korvid_host::DriverImage> (*make)(std::string* why);
};

inline void PrintTo(const DriverFactory& d, std::ostream* os)
{
    *os << d.name;
}

DriverFactory host_driver_factory();
DriverFactory sys_driver_factory();
std::vector<DriverFactory> all_drivers();

// A test run once on each driver: the host build and korvid.sys; skipped
// when this build has no korvid.sys.
class OnEachDriver : public ::testing::TestWithParam<DriverFactory> {
  protected:
    void SetUp() override
    {
        std::string why;
        auto made = GetParam().make(&why);
        if (!made)
            GTEST_SKIP() << why;
        driver = *made;
    }

    korvid_host::DriverImage driver;
};

// Where the cross build left korvid.sys, or nothing with the reason in *why.
std::optional<std::string> korvid_sys_path(std::string* why = nullptr);
// korvid.sys as bytes, for tests that load patched copies.
std::optional<std::vector<uint8_t>> korvid_sys_bytes(std::string* why);

// A test on the bytes of korvid.sys; skipped when the cross build left none.
class KorvidSysFile : public ::testing::Test {
  protected:
    void SetUp() override
    {
        std::string why;
        auto bytes = korvid_sys_bytes(&why);
        if (!bytes)
            GTEST_SKIP() << why;
        file = *bytes;
    }
    std::vector<uint8_t> file;
};

// Patching copies of an image file, to show what the loader and the suite
// catch.
namespace testing_support {

// The section whose data in the file holds an RVA.
pe::Section section_of_rva(const pe::PeFile& f, uint32_t rva);
// Replaces each occurrence of `from` inside a section's data by `to` (same
// length); returns how many there were.
int replace(std::vector<uint8_t>& f, const pe::Section& s, const std::string& from,
            const std::string& to);

} // namespace testing_support
