#include "support/pe_file.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace pe {

std::optional<std::vector<uint8_t>> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

namespace {

// Where the checksum field lies, if the file's headers hold it.
std::optional<uint64_t> checksum_field(const std::vector<uint8_t>& file)
{
    const PeFile f(file);
    const uint64_t at = f.optional_header() + optional_header::kCheckSum;
    if (!f.error().empty() || f.optional_size() < optional_header::kCheckSum + 4 || !f.fits(at, 4))
        return std::nullopt;
    return at;
}

} // namespace

std::optional<uint32_t> image_checksum(const std::vector<uint8_t>& file)
{
    const std::optional<uint64_t> field = checksum_field(file);
    if (!field)
        return std::nullopt;
    uint32_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        const bool in_field = i >= *field && i < *field + 4;
        const uint32_t word = i + 1 < file.size() ? load_le16(&file[i]) : file[i];
        sum += in_field ? 0 : word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum + (sum >> 16)) & 0xFFFF;
    return sum + static_cast<uint32_t>(file.size());
}

void update_checksum(std::vector<uint8_t>& file)
{
    if (std::optional<uint32_t> sum = image_checksum(file))
        store_le32(&file[*checksum_field(file)], *sum);
}

PeFile::PeFile(const std::vector<uint8_t>& file) : Bytes(file.data(), file.size())
{
    static constexpr char kPeSignature[kSignatureSize] = {'P', 'E', 0, 0};
    if (size_ < dos::kSize || data_[0] != 'M' || data_[1] != 'Z') {
        error_ = "not an executable image (no MZ signature)";
        return;
    }
    signature_ = u32(dos::kLfanew);
    const char* why = nullptr;
    if (!fits(signature_, kSignatureSize + file_header::kSize))
        why = "PE header offset 0x%x lies beyond the end of the file";
    else if (std::memcmp(data_ + signature_, kPeSignature, kSignatureSize) != 0)
        why = "no PE signature at offset 0x%x";
    char text[96];
    if (why && std::snprintf(text, sizeof text, why, signature_) > 0)
        error_ = text;
}

Directory PeFile::directory(uint32_t index) const
{
    const uint64_t entry =
        optional_header() + optional_header::kDataDirectory + uint64_t{kDirectoryEntrySize} * index;
    if (index >= u32(optional_header() + optional_header::kNumberOfRvaAndSizes) ||
        entry + kDirectoryEntrySize > section_table() || !fits(entry, kDirectoryEntrySize))
        return {};
    return {u32(entry), u32(entry + 4)};
}

std::vector<Section> PeFile::sections() const
{
    using namespace section_header;
    std::vector<Section> all;
    for (uint64_t i = 0, at = section_table(); section_table_fits() && i < section_count();
         ++i, at += kSize) {
        const char* name = reinterpret_cast<const char*>(data_ + at + kName);
        all.push_back({std::string(name, strnlen(name, kNameSize)), u32(at + kVirtualSize),
                       u32(at + kVirtualAddress), u32(at + kSizeOfRawData),
                       u32(at + kPointerToRawData), u32(at + kCharacteristics)});
    }
    return all;
}

std::optional<uint64_t> PeFile::file_offset(uint32_t rva) const
{
    for (const Section& s : sections())
        if (s.holds(rva))
            return uint64_t{s.raw_offset} + (rva - s.rva);
    return std::nullopt;
}

} // namespace pe
