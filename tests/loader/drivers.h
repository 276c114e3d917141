// The drivers the end-to-end scenarios run on: the miniport compiled for the
// host, and korvid.sys from the cross build loaded into the simulation.
#pragma once

#include "videoport/system.h"
#include "sim/loader/pe_loader.h"

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

// Where the cross build left korvid.sys, or nothing with the reason in *why.
std::optional<std::string> korvid_sys_path(std::string* why);
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

// Reading and patching copies of an image file, to show what the loader and
// the suite catch.
namespace image_file {

struct Section {
    uint32_t rva;
    size_t begin, end; // file offsets of its data
    uint32_t flags;
};

uint16_t get16(const std::vector<uint8_t>& f, size_t at);
uint32_t get32(const std::vector<uint8_t>& f, size_t at);
void put16(std::vector<uint8_t>& f, size_t at, uint16_t v);
void put32(std::vector<uint8_t>& f, size_t at, uint32_t v);
size_t pe_header(const std::vector<uint8_t>& f);
size_t optional_header(const std::vector<uint8_t>& f);
uint32_t directory_rva(const std::vector<uint8_t>& f, int index);
std::vector<Section> sections(const std::vector<uint8_t>& f);
// The section whose file data holds an RVA.
Section section_of_rva(const std::vector<uint8_t>& f, uint32_t rva);
// Replaces each occurrence of `from` inside a section by `to` (same length);
// returns how many there were.
int replace(std::vector<uint8_t>& f, const Section& s, const std::string& from,
            const std::string& to);

constexpr int kImportDirectory = 1;
constexpr int kRelocationDirectory = 5;
constexpr uint32_t kCodeSection = 0x20;
constexpr uint32_t kWritableSection = 0x80000000;

} // namespace image_file
