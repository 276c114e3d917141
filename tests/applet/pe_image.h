// Small PE32 images with a version resource, written the way the resource
// compiler and the linker lay them out, for the file-version tests.
#pragma once

#include "platform/freestanding/little_endian.h"
#include "support/pe_file.h"
#include "tests/support/build_paths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace applet_tests {

using Bytes = std::vector<uint8_t>;

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
    store_le16(&b[0], static_cast<uint32_t>(b.size()));
    store_le16(&b[2], value_length);
    store_le16(&b[4], text ? 1 : 0);
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
    store_le32(&fixed[0], 0xFEEF04BD);
    store_le32(&fixed[4], 0x00010000);
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
        store_le16(&rsrc[at + 14], 1); // one id entry
        store_le32(&rsrc[at + 16], id);
        store_le32(&rsrc[at + 20], target);
    };
    dir(0x00, 16, 0x80000000u | 0x18);
    dir(0x18, 1, 0x80000000u | 0x30);
    dir(0x30, 0x409, 0x48);
    store_le32(&rsrc[0x48], rva + 0x58);
    store_le32(&rsrc[0x4C], static_cast<uint32_t>(resource.size()));
    rsrc.insert(rsrc.end(), resource.begin(), resource.end());
    while (rsrc.size() % file_align)
        rsrc.push_back(0);

    using namespace pe;
    const uint32_t rsrc_size = static_cast<uint32_t>(rsrc.size());
    Bytes b(file_align, 0);
    b[0] = 'M';
    b[1] = 'Z';
    const size_t signature = dos::kSize, coff = signature + kSignatureSize,
                 opt = coff + file_header::kSize, section = opt + optional_header::kSize;
    store_le32(&b[dos::kLfanew], signature);
    b[signature] = 'P';
    b[signature + 1] = 'E';
    store_le16(&b[coff + file_header::kMachine], kMachineI386);
    store_le16(&b[coff + file_header::kNumberOfSections], 1);
    store_le16(&b[coff + file_header::kSizeOfOptionalHeader], optional_header::kSize);
    store_le16(&b[coff + file_header::kCharacteristics], 0x2102); // a 32-bit executable DLL
    store_le16(&b[opt + optional_header::kMagic], kMagicPe32);
    store_le32(&b[opt + optional_header::kImageBase], 0x10000);
    store_le32(&b[opt + optional_header::kSectionAlignment], 0x1000);
    store_le32(&b[opt + optional_header::kFileAlignment], file_align);
    store_le32(&b[opt + optional_header::kSizeOfImage], rva + 0x1000 + rsrc_size);
    store_le32(&b[opt + optional_header::kSizeOfHeaders], file_align);
    store_le32(&b[opt + optional_header::kNumberOfRvaAndSizes], kMaxDirectories);
    const size_t resources =
        opt + optional_header::kDataDirectory + kDirectoryEntrySize * kResourceDirectory;
    store_le32(&b[resources], rva);
    store_le32(&b[resources + 4], rsrc_size);
    std::memcpy(&b[section + section_header::kName], ".rsrc", 5);
    store_le32(&b[section + section_header::kVirtualSize], rsrc_size);
    store_le32(&b[section + section_header::kVirtualAddress], rva);
    store_le32(&b[section + section_header::kSizeOfRawData], rsrc_size);
    store_le32(&b[section + section_header::kPointerToRawData], file_align);
    store_le32(&b[section + section_header::kCharacteristics],
               0x40000040); // initialised data, read
    b.insert(b.end(), rsrc.begin(), rsrc.end());
    return b;
}

using testing_support::temp_path;

inline std::string write(const std::string& name, const Bytes& bytes)
{
    std::string path = temp_path(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

} // namespace applet_tests
