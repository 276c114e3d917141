#include "loader/pe_loader.h"

#include "loader/driver_stack.h"
#include "platform/freestanding/little_endian.h"
#include "support/text_format.h"
#include "platform/videoport/exports.h"

#include <strings.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace sim {

namespace {

constexpr uint32_t kPageSize = 0x1000;

// A driver image is tens of kilobytes; anything near this is not one.
constexpr uint32_t kMaxImageSize = 64u << 20;
constexpr size_t kMaxNameLength = 256;

constexpr const char* kVideoPortDll = "videoprt.sys";

} // namespace

std::shared_ptr<PeImage> PeImage::load(std::vector<uint8_t> file, std::string* error)
{
    std::shared_ptr<PeImage> image(new PeImage());
    image->file_ = std::move(file);
    std::string why = image->validate();
    if (why.empty()) {
        void* p = mmap(nullptr, image->size_, PROT_READ | PROT_WRITE | PROT_EXEC,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            why = format("cannot map 0x%x bytes of executable memory: %s", image->size_,
                         std::strerror(errno));
        else
            image->base_ = static_cast<uint8_t*>(p);
    }
    if (why.empty())
        why = image->map();
    // Last, so that a refusal names any other damage first: the kernel
    // refuses an image whose header checksum is not its file's
    // (STATUS_IMAGE_CHECKSUM_MISMATCH); a checksum of 0 is not checked.
    if (why.empty())
        why = image->verify_checksum();
    if (why.empty())
        image->protect();
    if (!why.empty()) {
        if (error)
            *error = why;
        return nullptr;
    }
    return image;
}

std::shared_ptr<PeImage> PeImage::load_file(const std::string& path, std::string* error)
{
    std::optional<std::vector<uint8_t>> bytes = pe::read_file(path);
    std::string why = "cannot be opened";
    auto image = bytes ? load(std::move(*bytes), &why) : nullptr;
    if (!image && error)
        *error = path + ": " + why;
    return image;
}

PeImage::~PeImage()
{
    if (base_)
        munmap(base_, size_);
}

PeImage::Entry PeImage::entry() const
{
    return reinterpret_cast<Entry>(base_ + entry_rva_);
}

// Everything that can be checked from the file alone, before any of it is
// copied: every offset and size is taken as hostile until it is in bounds.
std::string PeImage::validate()
{
    using namespace pe;
    const PeFile f(file_);
    if (!f.error().empty())
        return f.error();
    const uint16_t machine = f.u16(f.file_header() + file_header::kMachine);
    if (machine != kMachineI386)
        return format("machine type 0x%x is not i386 (0x%x)", machine, kMachineI386);
    const uint16_t characteristics = f.u16(f.file_header() + file_header::kCharacteristics);

    const uint64_t oh = f.optional_header();
    if (!f.fits(oh, 2))
        return "optional header lies beyond the end of the file";
    const uint16_t magic = f.u16(oh + optional_header::kMagic);
    if (magic == kMagicPe32Plus)
        return "PE32+ (64-bit) image; a PE32 image (magic 0x10b) is required";
    if (magic != kMagicPe32)
        return format("optional header magic 0x%x is not PE32 (0x10b)", magic);
    const uint16_t opt_size = f.optional_size();
    if (opt_size < optional_header::kDataDirectory || !f.fits(oh, opt_size))
        return format("optional header of 0x%x bytes is truncated", opt_size);
    if (!(characteristics & kExecutableImage))
        return "not marked as an executable image";
    const uint16_t subsystem = f.u16(oh + optional_header::kSubsystem);
    if (subsystem != kSubsystemNative)
        return format("subsystem %u is not native (1): not a kernel-mode driver", subsystem);

    entry_rva_ = f.u32(oh + optional_header::kAddressOfEntryPoint);
    preferred_base_ = f.u32(oh + optional_header::kImageBase);
    size_ = f.u32(oh + optional_header::kSizeOfImage);
    headers_size_ = f.u32(oh + optional_header::kSizeOfHeaders);
    relocs_stripped_ = characteristics & kRelocsStripped;
    if (size_ == 0 || size_ > kMaxImageSize)
        return format("image size 0x%x is out of range", size_);
    if (headers_size_ > size_ || headers_size_ > f.size())
        return format("header size 0x%x exceeds the image or the file", headers_size_);

    const uint32_t num_dirs = f.u32(oh + optional_header::kNumberOfRvaAndSizes);
    if (num_dirs > kMaxDirectories ||
        optional_header::kDataDirectory + uint64_t{kDirectoryEntrySize} * num_dirs > opt_size)
        return format("%u data directories do not fit the optional header", num_dirs);
    // The image as it will be mapped: only its extent is known yet.
    const Bytes image(nullptr, size_);
    imports_dir_ = f.directory(kImportDirectory);
    relocs_dir_ = f.directory(kRelocationDirectory);
    for (auto [d, what] : {std::pair{imports_dir_, "import"}, {relocs_dir_, "relocation"}})
        if (d.size && !image.fits(d.rva, d.size))
            return format("%s directory at RVA 0x%x (0x%x bytes) lies outside the image", what,
                          d.rva, d.size);

    if (f.section_count() == 0)
        return "the image has no sections";
    if (!f.section_table_fits())
        return "section table lies beyond the end of the file";
    bool entry_in_code = false;
    sections_.clear();
    for (const Section& s : f.sections()) {
        if (s.rva < headers_size_ || !image.fits(s.rva, s.extent()))
            return format("section %s at RVA 0x%x (0x%x bytes) lies outside the image",
                          s.name.c_str(), s.rva, s.extent());
        if (s.file_size() && !f.fits(s.raw_offset, s.file_size()))
            return format("data of section %s lies beyond the end of the file", s.name.c_str());
        if ((s.flags & (kSectionCode | kSectionExecute)) && entry_rva_ >= s.rva &&
            entry_rva_ - s.rva < s.extent())
            entry_in_code = true;
        for (const Section& other : sections_)
            if (s.rva < other.rva + other.extent() && other.rva < s.rva + s.extent())
                return format("section %s at RVA 0x%x overlaps the one at RVA 0x%x", s.name.c_str(),
                              s.rva, other.rva);
        sections_.push_back(s);
    }
    if (!entry_in_code)
        return format("entry point at RVA 0x%x lies outside the image's code", entry_rva_);
    return {};
}

std::string PeImage::verify_checksum() const
{
    const pe::PeFile f(file_);
    const uint32_t stored = f.u32(f.optional_header() + pe::optional_header::kCheckSum);
    const uint32_t computed = pe::image_checksum(file_).value_or(0);
    if (stored == 0 || stored == computed)
        return {};
    return format("header checksum 0x%x does not match the file's 0x%x", stored, computed);
}

std::string PeImage::map()
{
    std::memset(base_, 0, size_);
    std::memcpy(base_, file_.data(), headers_size_);
    for (const pe::Section& s : sections_)
        std::memcpy(base_ + s.rva, file_.data() + s.raw_offset, s.file_size());
    if (std::string why = relocate(); !why.empty())
        return why;
    return bind_imports();
}

std::string PeImage::relocate()
{
    const uint32_t delta =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base_)) - preferred_base_;
    if (relocs_dir_.size == 0 || relocs_stripped_) {
        if (delta != 0)
            return format("the image has no base relocations and cannot be moved from 0x%x",
                          preferred_base_);
        return {};
    }
    using namespace pe::relocation_block;
    const pe::Bytes image(base_, size_);
    const uint64_t end = uint64_t{relocs_dir_.rva} + relocs_dir_.size;
    for (uint64_t block = relocs_dir_.rva; block + kSize <= end;) {
        const uint32_t page = image.u32(block + kVirtualAddress);
        const uint32_t block_size = image.u32(block + kSizeOfBlock);
        if (block_size < kSize || block_size % 2 || block_size > end - block)
            return format("relocation block at RVA 0x%x has a bad size 0x%x",
                          static_cast<uint32_t>(block), block_size);
        for (uint64_t e = block + kSize; e < block + block_size; e += 2) {
            const uint16_t entry = image.u16(e);
            const uint32_t type = entry >> 12;
            const uint64_t target = uint64_t{page} + (entry & 0xFFF);
            if (type == pe::kRelocAbsolute)
                continue;
            if (type != pe::kRelocHighLow)
                return format("relocation type %u at RVA 0x%x is not supported", type,
                              static_cast<uint32_t>(target));
            if (!image.fits(target, 4))
                return format("relocation at RVA 0x%x lies outside the image",
                              static_cast<uint32_t>(target));
            store_le32(base_ + target, image.u32(target) + delta);
        }
        block += block_size;
    }
    return {};
}

std::string PeImage::bind_imports()
{
    imports_.clear();
    if (imports_dir_.size == 0)
        return {};
    const pe::Bytes image(base_, size_);
    auto name_at = [&](uint64_t rva, std::string* out) {
        if (rva >= size_)
            return false;
        const char* s = reinterpret_cast<const char*>(base_ + rva);
        const size_t len = strnlen(s, std::min<uint64_t>(kMaxNameLength, size_ - rva));
        if (len == 0 || rva + len >= size_ || s[len] != '\0')
            return false;
        out->assign(s, len);
        return true;
    };
    using namespace pe::import_descriptor;
    for (uint64_t d = imports_dir_.rva;; d += kSize) {
        if (!image.fits(d, kSize))
            return "import directory runs past the end of the image";
        const uint32_t lookup_rva = image.u32(d + kOriginalFirstThunk);
        const uint32_t name_rva = image.u32(d + kName);
        const uint32_t iat_rva = image.u32(d + kFirstThunk);
        if (name_rva == 0 && iat_rva == 0)
            break;
        std::string dll;
        if (!name_at(name_rva, &dll))
            return format("import descriptor at RVA 0x%x names no DLL inside the image",
                          static_cast<uint32_t>(d));
        const bool video_port = strcasecmp(dll.c_str(), kVideoPortDll) == 0;
        const uint32_t names = lookup_rva ? lookup_rva : iat_rva;
        for (uint64_t i = 0;; ++i) {
            const uint64_t slot = iat_rva + 4 * i, lookup = names + 4 * i;
            if (!image.fits(slot, 4) || !image.fits(lookup, 4))
                return "imports from " + dll + " run past the end of the image";
            const uint32_t thunk = image.u32(lookup);
            if (thunk == 0) {
                if (!video_port)
                    return "imports from " + dll + "; only " + kVideoPortDll + " can be bound";
                break;
            }
            if (thunk & pe::kImportByOrdinal)
                return format("imports ordinal %u of %s; only imports by name can be bound",
                              thunk & 0xFFFF, dll.c_str());
            std::string name;
            if (!name_at(uint64_t{thunk} + 2, &name))
                return "an import from " + dll + " has no name inside the image";
            if (!video_port)
                return "imports " + dll + "!" + name + "; only " + kVideoPortDll + " can be bound";
            void* target = korvid_host::find_videoport_export(name.c_str());
            if (!target)
                return "imports " + dll + "!" + name +
                       ", which the simulated video port does not provide";
            // The driver's calls out leave its kernel stack for the host's.
            target = host_gate(name.c_str(), target);
            store_le32(base_ + slot, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target)));
            imports_.push_back({dll, name});
        }
    }
    return {};
}

// A kernel that protects image pages faults a driver that writes to its
// code or read-only data; the simulation does the same.
void PeImage::protect()
{
    protected_ = false;
    for (const pe::Section& s : sections_)
        if (s.rva % kPageSize)
            return; // sections share pages: everything stays writable
    const auto pages = [](uint32_t bytes) { return (bytes + kPageSize - 1) & ~(kPageSize - 1); };
    mprotect(base_, size_, PROT_READ);
    for (const pe::Section& s : sections_) {
        if (s.extent() == 0)
            continue;
        int access = PROT_READ;
        if (s.flags & pe::kSectionWrite)
            access |= PROT_WRITE;
        if (s.flags & (pe::kSectionCode | pe::kSectionExecute))
            access |= PROT_EXEC;
        if (mprotect(base_ + s.rva, pages(s.extent()), access) != 0)
            return unprotect();
    }
    protected_ = true;
}

void PeImage::unprotect()
{
    mprotect(base_, size_, PROT_READ | PROT_WRITE | PROT_EXEC);
    protected_ = false;
}

void PeImage::reload()
{
    // The same bytes at the same address: what succeeded at load succeeds now.
    unprotect();
    std::string why = map();
    if (!why.empty()) {
        std::fprintf(stderr, "pe_loader: reload failed: %s\n", why.c_str());
        std::abort();
    }
    protect();
}

korvid_host::DriverImage sys_driver(std::shared_ptr<PeImage> image)
{
    // Every call into the image runs on a kernel-sized stack of its own.
    auto entry = reinterpret_cast<PeImage::Entry>(
        driver_gate(reinterpret_cast<void*>(image->entry()), "DriverEntry"));
    return korvid_host::DriverImage{entry, [image] { image->reload(); }};
}

std::string describe(const PeImage& image)
{
    std::ostringstream out;
    out << "PE32 i386 native image: " << image.size() << " bytes mapped (file " << image.file_size()
        << " bytes), entry point at RVA 0x" << std::hex << image.entry_rva() << std::dec << "\n";
    out << image.imports().size() << " imports:\n";
    for (const PeImport& i : image.imports())
        out << "  " << i.dll << "!" << i.name << "\n";
    return out.str();
}

} // namespace sim
