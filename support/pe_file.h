// A PE file read from its bytes: the DOS header's pointer to the PE
// signature, the COFF file header, the optional header with its data
// directories, and the section table. Every read is checked against the
// file's size: a word that does not fit reads as 0, a record that does not
// fit is reported, and nothing is read past the end.
#pragma once

#include "platform/freestanding/little_endian.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pe {

// Field offsets, each from the start of its record, named as the platform
// names the fields.
namespace dos {
constexpr uint32_t kLfanew = 0x3C, kSize = 0x40;
} // namespace dos
// The COFF file header follows the signature "PE\0\0".
namespace file_header {
constexpr uint32_t kMachine = 0, kNumberOfSections = 2, kSizeOfOptionalHeader = 16,
                   kCharacteristics = 18, kSize = 20;
} // namespace file_header
// The PE32 optional header follows the file header; kSize holds all sixteen
// data directories, {RVA, size} pairs from kDataDirectory on.
namespace optional_header {
constexpr uint32_t kMagic = 0, kAddressOfEntryPoint = 16, kImageBase = 28, kSectionAlignment = 32,
                   kFileAlignment = 36, kSizeOfImage = 56, kSizeOfHeaders = 60, kCheckSum = 64,
                   kSubsystem = 68, kNumberOfRvaAndSizes = 92, kDataDirectory = 96, kSize = 224;
} // namespace optional_header
namespace section_header {
constexpr uint32_t kName = 0, kNameSize = 8, kVirtualSize = 8, kVirtualAddress = 12,
                   kSizeOfRawData = 16, kPointerToRawData = 20, kCharacteristics = 36, kSize = 40;
} // namespace section_header
// An import descriptor; a lookup entry with the top bit set imports by
// ordinal, any other names the import.
namespace import_descriptor {
constexpr uint32_t kOriginalFirstThunk = 0, kName = 12, kFirstThunk = 16, kSize = 20;
} // namespace import_descriptor
// A base relocation block: the page's RVA and the block's size, then 16-bit
// entries, a type in the top four bits and an offset in the page.
namespace relocation_block {
constexpr uint32_t kVirtualAddress = 0, kSizeOfBlock = 4, kSize = 8;
} // namespace relocation_block

constexpr uint32_t kSignatureSize = 4, kDirectoryEntrySize = 8, kMaxDirectories = 16;
constexpr uint32_t kImportDirectory = 1, kResourceDirectory = 2, kRelocationDirectory = 5;
constexpr uint32_t kImportByOrdinal = 0x80000000, kRelocAbsolute = 0, kRelocHighLow = 3;
constexpr uint16_t kMachineI386 = 0x14C, kMagicPe32 = 0x10B, kMagicPe32Plus = 0x20B;
constexpr uint16_t kSubsystemNative = 1;
// File characteristics, section characteristics.
constexpr uint16_t kRelocsStripped = 0x0001, kExecutableImage = 0x0002;
constexpr uint32_t kSectionCode = 0x20, kSectionExecute = 0x20000000, kSectionWrite = 0x80000000;

// A whole file's bytes, or nothing where it cannot be opened.
std::optional<std::vector<uint8_t>> read_file(const std::string& path);

// The image checksum as the system's loader checks it and the linker writes
// it: the file's 16-bit words added with end-around carry, the checksum
// field itself counted as zero, folded to 16 bits, plus the file's length.
// Nothing where the headers do not hold the field.
std::optional<uint32_t> image_checksum(const std::vector<uint8_t>& file);
// Writes the checksum into the headers, as a tool that changes an image must.
void update_checksum(std::vector<uint8_t>& file);

// Bytes read as little-endian words; a word that does not fit reads as 0.
class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool fits(uint64_t at, uint64_t length) const { return at <= size_ && length <= size_ - at; }
    uint16_t u16(uint64_t at) const { return fits(at, 2) ? load_le16(data_ + at) : 0; }
    uint32_t u32(uint64_t at) const { return fits(at, 4) ? load_le32(data_ + at) : 0; }
    size_t size() const { return size_; }

  protected:
    const uint8_t* data_;
    size_t size_;
};

struct Directory {
    uint32_t rva = 0, size = 0;
};

struct Section {
    std::string name;
    uint32_t virtual_size = 0, rva = 0, raw_size = 0, raw_offset = 0, flags = 0;

    // The bytes taken from the file (raw data past the section's own size is
    // file alignment padding), and the bytes it occupies once mapped.
    uint32_t file_size() const
    {
        return virtual_size ? std::min(raw_size, virtual_size) : raw_size;
    }
    uint32_t extent() const { return std::max(virtual_size, file_size()); }
    // Whether an RVA lies in the data the section takes from the file.
    bool holds(uint32_t at) const { return at >= rva && at - rva < file_size(); }
};

class PeFile : public Bytes {
  public:
    explicit PeFile(const std::vector<uint8_t>& file);

    // Empty when the DOS header points at a PE signature followed by a whole
    // file header; otherwise why not. The offsets below mean nothing then.
    const std::string& error() const { return error_; }

    uint64_t file_header() const { return signature_ + kSignatureSize; }
    uint64_t optional_header() const { return file_header() + file_header::kSize; }
    uint16_t optional_size() const
    {
        return u16(file_header() + file_header::kSizeOfOptionalHeader);
    }
    uint16_t section_count() const { return u16(file_header() + file_header::kNumberOfSections); }
    uint64_t section_table() const { return optional_header() + optional_size(); }
    bool section_table_fits() const
    {
        return fits(section_table(), uint64_t{section_count()} * section_header::kSize);
    }

    // A data directory, or zeros where the optional header or the file does
    // not hold it whole.
    Directory directory(uint32_t index) const;
    // Every section, or none where the table does not fit the file.
    std::vector<Section> sections() const;
    // Where the data of an RVA lies in the file, if a section holds it there.
    std::optional<uint64_t> file_offset(uint32_t rva) const;

  private:
    std::string error_;
    uint32_t signature_ = 0;
};

} // namespace pe
