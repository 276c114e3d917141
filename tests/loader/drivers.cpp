#include "drivers.h"

#include "sim/loader/host_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

std::optional<std::string> korvid_sys_path(std::string* why)
{
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

std::optional<std::vector<uint8_t>> korvid_sys_bytes(std::string* why)
{
    auto path = korvid_sys_path(why);
    if (!path)
        return std::nullopt;
    std::ifstream in(*path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
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

namespace image_file {

uint16_t get16(const std::vector<uint8_t>& f, size_t at)
{
    uint16_t v;
    std::memcpy(&v, f.data() + at, 2);
    return v;
}
uint32_t get32(const std::vector<uint8_t>& f, size_t at)
{
    uint32_t v;
    std::memcpy(&v, f.data() + at, 4);
    return v;
}
void put16(std::vector<uint8_t>& f, size_t at, uint16_t v)
{
    std::memcpy(f.data() + at, &v, 2);
}
void put32(std::vector<uint8_t>& f, size_t at, uint32_t v)
{
    std::memcpy(f.data() + at, &v, 4);
}
size_t pe_header(const std::vector<uint8_t>& f)
{
    return get32(f, 0x3C);
}
size_t optional_header(const std::vector<uint8_t>& f)
{
    return pe_header(f) + 24;
}

uint32_t directory_rva(const std::vector<uint8_t>& f, int index)
{
    return get32(f, optional_header(f) + 96 + 8 * index);
}

std::vector<Section> sections(const std::vector<uint8_t>& f)
{
    const size_t pe = pe_header(f);
    uint16_t count, opt_size;
    std::memcpy(&count, f.data() + pe + 6, 2);
    std::memcpy(&opt_size, f.data() + pe + 20, 2);
    std::vector<Section> out;
    for (size_t i = 0; i < count; ++i) {
        const size_t sh = pe + 24 + opt_size + 40 * i;
        const uint32_t raw = get32(f, sh + 16), ptr = get32(f, sh + 20);
        out.push_back({get32(f, sh + 12), ptr, ptr + raw, get32(f, sh + 36)});
    }
    return out;
}

Section section_of_rva(const std::vector<uint8_t>& f, uint32_t rva)
{
    for (const Section& s : sections(f))
        if (rva >= s.rva && rva - s.rva < s.end - s.begin)
            return s;
    ADD_FAILURE() << "RVA 0x" << std::hex << rva << " has no file data";
    return {0, 0, 0, 0};
}

int replace(std::vector<uint8_t>& f, const Section& s, const std::string& from,
            const std::string& to)
{
    EXPECT_EQ(from.size(), to.size());
    // Compared as bytes: a char above 0x7F would never equal its uint8_t.
    const std::vector<uint8_t> pattern(from.begin(), from.end());
    const auto begin = f.begin() + s.begin, end = f.begin() + s.end;
    int n = 0;
    for (auto it = begin; (it = std::search(it, end, pattern.begin(), pattern.end())) != end; ++n)
        it = std::copy(to.begin(), to.end(), it);
    return n;
}

} // namespace image_file
