// Loads a kernel-mode driver image (PE32, i386, native subsystem) into this
// process, which is i386 as well, so the image's own code runs against the
// video port stand-in: sections mapped at their offsets, base relocations
// applied, and every import of videoprt.sys bound to the stand-in's
// operation of the same name. Calls into the image run on a kernel-sized
// stack of their own (driver_stack.h).
#pragma once

#include "support/pe_file.h"
#include "platform/videoport/system.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

struct PeImport {
    std::string dll;
    std::string name;

    bool operator==(const PeImport&) const = default;
};

class PeImage {
  public:
    using Entry = ULONG(NTAPI*)(PVOID, PVOID);

    // Null, with the reason in *error, for a file that is not a PE32 i386
    // native image or whose imports cannot all be bound.
    static std::shared_ptr<PeImage> load(std::vector<uint8_t> file, std::string* error);
    static std::shared_ptr<PeImage> load_file(const std::string& path, std::string* error);

    ~PeImage();
    PeImage(const PeImage&) = delete;
    PeImage& operator=(const PeImage&) = delete;

    Entry entry() const;
    uint32_t entry_rva() const { return entry_rva_; }
    // SizeOfImage: the bytes the image occupies once mapped.
    uint32_t size() const { return size_; }
    size_t file_size() const { return file_.size(); }
    uint8_t* base() const { return base_; }
    uint32_t preferred_base() const { return preferred_base_; }
    const std::vector<PeImport>& imports() const { return imports_; }

    // Back to the state right after loading: sections copied again,
    // uninitialised data zeroed, relocations and imports applied.
    void reload();

    // Whether the image's sections carry their own page protections (code
    // read and execute, read-only data read only), so that a write to them
    // faults; only images whose sections start on page boundaries do.
    bool protected_by_section() const { return protected_; }

  private:
    PeImage() = default;
    std::string validate();
    std::string verify_checksum() const;
    std::string map();
    std::string relocate();
    std::string bind_imports();
    void protect();
    void unprotect();

    std::vector<uint8_t> file_;
    uint8_t* base_ = nullptr;
    uint32_t size_ = 0;
    uint32_t headers_size_ = 0;
    uint32_t preferred_base_ = 0;
    uint32_t entry_rva_ = 0;
    bool relocs_stripped_ = false;
    bool protected_ = false;
    pe::Directory imports_dir_, relocs_dir_;
    std::vector<pe::Section> sections_;
    std::vector<PeImport> imports_;
};

// A driver the machine can boot from a loaded image; the image stays alive
// as long as the driver is held.
korvid_host::DriverImage sys_driver(std::shared_ptr<PeImage> image);

// Image size, entry point and import list, for people reading a check's output.
std::string describe(const PeImage& image);

} // namespace sim
