// A PE file read from its bytes: the DOS header's pointer to the PE
// signature, the COFF file header, the optional header with its data
// directories, and the section table. Every read is checked against the
// file's size: a word that does not fit reads as 0, a record that does not
// fit is reported, and nothing is read past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pe {

// Field offsets, each from the start of its record.
namespace dos {
constexpr uint32_t kLfanew = 0x3C; // file offset of the PE signature
constexpr uint32_t kSize = 0x40;
} // namespace dos

// The COFF file header, right after the four bytes "PE\0\0".
namespace file_header {
constexpr uint32_t kMachine = 0;
constexpr uint32_t kNumberOfSections = 2;
constexpr uint32_t kSizeOfOptionalHeader = 16;
constexpr uint32_t kCharacteristics = 18;
constexpr uint32_t kSize = 20;
} // namespace file_header

// The PE32 optional header, right after the file header.
namespace optional_header {
constexpr uint32_t kMagic = 0;
constexpr uint32_t kAddressOfEntryPoint = 16;
constexpr uint32_t kImageBase = 28;
constexpr uint32_t kSectionAlignment = 32;
constexpr uint32_t kFileAlignment = 36;
constexpr uint32_t kSizeOfImage = 56;
constexpr uint32_t kSizeOfHeaders = 60;
constexpr uint32_t kSubsystem = 68;
constexpr uint32_t kNumberOfRvaAndSizes = 92;
constexpr uint32_t kDataDirectory = 96; // {RVA, size} pairs
constexpr uint32_t kSize = 224;         // with all sixteen directories
} // namespace optional_header

namespace section_header {
constexpr uint32_t kName = 0;
constexpr uint32_t kNameSize = 8;
constexpr uint32_t kVirtualSize = 8;
constexpr uint32_t kVirtualAddress = 12;
constexpr uint32_t kSizeOfRawData = 16;
constexpr uint32_t kPointerToRawData = 20;
constexpr uint32_t kCharacteristics = 36;
constexpr uint32_t kSize = 40;
} // namespace section_header

constexpr uint32_t kSignatureSize = 4;
constexpr uint32_t kDirectoryEntrySize = 8;
constexpr uint32_t kMaxDirectories = 16;
constexpr uint32_t kImportDirectory = 1;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kRelocationDirectory = 5;

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint16_t kSubsystemNative = 1;
// File characteristics.
constexpr uint16_t kRelocsStripped = 0x0001;
constexpr uint16_t kExecutableImage = 0x0002;
// Section characteristics.
constexpr uint32_t kSectionCode = 0x00000020;
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint32_t kSectionWrite = 0x80000000;

// Bytes read as little-endian words; a word that does not fit reads as 0.
class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool fits(uint64_t offset, uint64_t length) const
    {
        return offset <= size_ && length <= size_ - offset;
    }
    uint16_t u16(uint64_t offset) const;
    uint32_t u32(uint64_t offset) const;
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

  private:
    const uint8_t* data_;
    size_t size_;
};

struct Directory {
    uint32_t rva = 0, size = 0;
};

struct Section {
    std::string name;
    uint32_t virtual_size = 0, rva = 0, raw_size = 0, raw_offset = 0, flags = 0;

    // The bytes taken from the file: raw data past the section's own size
    // is file alignment padding.
    uint32_t file_size() const;
    // The bytes the section occupies once mapped.
    uint32_t extent() const;
};

class PeFile : public Bytes {
  public:
    PeFile(const uint8_t* data, size_t size);
    explicit PeFile(const std::vector<uint8_t>& file) : PeFile(file.data(), file.size()) {}

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
    bool section_table_fits() const;

    // A data directory, or zeros where the optional header or the file
    // does not hold it whole.
    Directory directory(uint32_t index) const;
    // A section's header (zeros where it lies past the end of the file).
    Section section(uint32_t index) const;
    // Every section, or none where the table does not fit the file.
    std::vector<Section> sections() const;
    // The section whose data in the file holds an RVA, and that data's offset.
    std::optional<Section> section_of(uint32_t rva) const;
    std::optional<uint64_t> file_offset(uint32_t rva) const;

  private:
    std::string error_;
    uint32_t signature_ = 0;
};

} // namespace pe
