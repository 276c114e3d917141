// Small PE32 images with a version resource, written the way the resource
// compiler and the linker lay them out, for the file-version tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace pe_image {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(Bytes& b, size_t at, uint32_t v)
{
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}
inline void pad4(Bytes& b)
{
    while (b.size() % 4)
        b.push_back(0);
}
inline void wide(Bytes& b, const std::string& s)
{
    for (char c : s) {
        b.push_back(static_cast<uint8_t>(c));
        b.push_back(0);
    }
    b.push_back(0);
    b.push_back(0);
}

// One block of the version resource: header, key, value, children.
inline Bytes block(const std::string& key, const Bytes& value, uint16_t value_length, bool text,
                   const std::vector<Bytes>& children = {})
{
    Bytes b(6, 0);
    wide(b, key);
    pad4(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& c : children) {
        pad4(b);
        b.insert(b.end(), c.begin(), c.end());
    }
    put16(b, 0, static_cast<uint32_t>(b.size()));
    put16(b, 2, value_length);
    put16(b, 4, text ? 1 : 0);
    return b;
}

inline Bytes text_value(const std::string& key, const std::string& value)
{
    Bytes v;
    wide(v, value);
    return block(key, v, static_cast<uint16_t>(value.size() + 1), true);
}

// A version resource with one string table of the given translation.
inline Bytes version_resource(const std::map<std::string, std::string>& strings,
                              const std::string& translation = "040904B0")
{
    Bytes fixed(52, 0);
    put32(fixed, 0, 0xFEEF04BD);
    put32(fixed, 4, 0x00010000);
    std::vector<Bytes> entries;
    for (auto& [k, v] : strings)
        entries.push_back(text_value(k, v));
    Bytes table = block(translation, {}, 0, true, entries);
    Bytes string_info = block("StringFileInfo", {}, 0, true, {table});
    Bytes translation_value = {0x09, 0x04, 0xB0, 0x04};
    Bytes var = block("Translation", translation_value, 4, false);
    Bytes var_info = block("VarFileInfo", {}, 0, true, {var});
    return block("VS_VERSION_INFO", fixed, 52, false, {string_info, var_info});
}

// A PE32 image whose only section holds a resource directory with one
// version resource (type 16, name 1, language 0x409).
inline Bytes image_with(const Bytes& resource)
{
    const uint32_t file_align = 0x200, rva = 0x1000;
    Bytes rsrc(0x58, 0);
    auto dir = [&](size_t at, uint32_t id, uint32_t target) {
        put16(rsrc, at + 14, 1); // one id entry
        put32(rsrc, at + 16, id);
        put32(rsrc, at + 20, target);
    };
    dir(0x00, 16, 0x80000000u | 0x18);
    dir(0x18, 1, 0x80000000u | 0x30);
    dir(0x30, 0x409, 0x48);
    put32(rsrc, 0x48, rva + 0x58);
    put32(rsrc, 0x4C, static_cast<uint32_t>(resource.size()));
    rsrc.insert(rsrc.end(), resource.begin(), resource.end());
    while (rsrc.size() % file_align)
        rsrc.push_back(0);

    Bytes b(file_align, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, 0x40);
    b[0x40] = 'P';
    b[0x41] = 'E';
    size_t coff = 0x44, opt = coff + 20, section = opt + 224;
    put16(b, coff, 0x14C);
    put16(b, coff + 2, 1);
    put16(b, coff + 16, 224);
    put16(b, coff + 18, 0x2102);
    put16(b, opt, 0x10B);
    put32(b, opt + 28, 0x10000);                                           // image base
    put32(b, opt + 32, 0x1000);                                            // section alignment
    put32(b, opt + 36, file_align);                                        // file alignment
    put32(b, opt + 56, rva + 0x1000 + static_cast<uint32_t>(rsrc.size())); // image size
    put32(b, opt + 60, file_align);                                        // headers
    put32(b, opt + 92, 16);
    put32(b, opt + 96 + 2 * 8, rva);
    put32(b, opt + 96 + 2 * 8 + 4, static_cast<uint32_t>(rsrc.size()));
    std::memcpy(&b[section], ".rsrc", 5);
    put32(b, section + 8, static_cast<uint32_t>(rsrc.size()));
    put32(b, section + 12, rva);
    put32(b, section + 16, static_cast<uint32_t>(rsrc.size()));
    put32(b, section + 20, file_align);
    put32(b, section + 36, 0x40000040);
    b.insert(b.end(), rsrc.begin(), rsrc.end());
    return b;
}

// A file of this test process alone (the suites run side by side), removed
// when the process ends.
inline std::string temp_path(const std::string& name)
{
    struct Files {
        std::vector<std::string> paths;
        ~Files()
        {
            for (auto& p : paths)
                std::remove(p.c_str());
        }
    };
    static Files files;
    std::string path = ::testing::TempDir() + "qv_cpl-" + std::to_string(getpid()) + "-" + name;
    files.paths.push_back(path);
    return path;
}

inline std::string write(const std::string& name, const Bytes& bytes)
{
    std::string path = temp_path(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

} // namespace pe_image
