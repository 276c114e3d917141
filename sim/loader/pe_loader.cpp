#include "pe_loader.h"

#include "driver_stack.h"
#include "sim/machine/text_format.h"
#include "videoport/exports.h"

#include <sys/mman.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace sim {

namespace {

// Header fields, as offsets from the start of their record.
constexpr uint32_t kDosLfanew = 0x3C;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kMachineI386 = 0x14C;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint16_t kSubsystemNative = 1;
constexpr uint16_t kFileRelocsStripped = 0x0001;
constexpr uint16_t kFileExecutable = 0x0002;

namespace opt {
constexpr uint32_t EntryPoint = 16;
constexpr uint32_t ImageBase = 28;
constexpr uint32_t SizeOfImage = 56;
constexpr uint32_t SizeOfHeaders = 60;
constexpr uint32_t Subsystem = 68;
constexpr uint32_t NumberOfRvaAndSizes = 92;
constexpr uint32_t DataDirectory = 96;
} // namespace opt

constexpr uint32_t kDirImport = 1;
constexpr uint32_t kDirBaseReloc = 5;
constexpr uint32_t kMaxDirectories = 16;

constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kScnCode = 0x00000020;
constexpr uint32_t kScnExecute = 0x20000000;
constexpr uint32_t kScnWrite = 0x80000000;
constexpr uint32_t kPageSize = 0x1000;

constexpr uint32_t kImportDescriptorSize = 20;
constexpr uint32_t kOrdinalFlag = 0x80000000;
constexpr uint32_t kRelocAbsolute = 0;
constexpr uint32_t kRelocHighLow = 3;

// A driver image is tens of kilobytes; anything near this is not one.
constexpr uint32_t kMaxImageSize = 64u << 20;
constexpr size_t kMaxNameLength = 256;

constexpr const char* kVideoPortDll = "videoprt.sys";

// Little-endian reads at byte offsets; callers check the bounds.
uint16_t get16(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
uint32_t get32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

bool fits(uint64_t offset, uint64_t length, uint64_t size)
{
    return offset <= size && length <= size - offset;
}

bool same_name_ignoring_case(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b))
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string section_name(const uint8_t* header)
{
    const char* name = reinterpret_cast<const char*>(header);
    return std::string(name, strnlen(name, 8));
}

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
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = path + ": cannot be opened";
        return nullptr;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    std::string why;
    auto image = load(std::move(bytes), &why);
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
    const uint8_t* f = file_.data();
    const uint64_t n = file_.size();
    if (n < kDosLfanew + 4 || f[0] != 'M' || f[1] != 'Z')
        return "not an executable image (no MZ signature)";
    const uint32_t pe = get32(f + kDosLfanew);
    if (!fits(pe, 4 + kFileHeaderSize, n))
        return format("PE header offset 0x%x lies beyond the end of the file", pe);
    if (std::memcmp(f + pe, "PE\0\0", 4) != 0)
        return format("no PE signature at offset 0x%x", pe);

    const uint8_t* fh = f + pe + 4;
    const uint16_t machine = get16(fh);
    if (machine != kMachineI386)
        return format("machine type 0x%x is not i386 (0x%x)", machine, kMachineI386);
    const uint16_t num_sections = get16(fh + 2);
    const uint16_t opt_size = get16(fh + 16);
    const uint16_t characteristics = get16(fh + 18);

    const uint64_t opt_offset = pe + 4 + kFileHeaderSize;
    if (!fits(opt_offset, 2, n))
        return "optional header lies beyond the end of the file";
    const uint8_t* oh = f + opt_offset;
    const uint16_t magic = get16(oh);
    if (magic == kMagicPe32Plus)
        return "PE32+ (64-bit) image; a PE32 image (magic 0x10b) is required";
    if (magic != kMagicPe32)
        return format("optional header magic 0x%x is not PE32 (0x10b)", magic);
    if (opt_size < opt::DataDirectory || !fits(opt_offset, opt_size, n))
        return format("optional header of 0x%x bytes is truncated", opt_size);
    if (!(characteristics & kFileExecutable))
        return "not marked as an executable image";
    const uint16_t subsystem = get16(oh + opt::Subsystem);
    if (subsystem != kSubsystemNative)
        return format("subsystem %u is not native (1): not a kernel-mode driver", subsystem);

    entry_rva_ = get32(oh + opt::EntryPoint);
    preferred_base_ = get32(oh + opt::ImageBase);
    size_ = get32(oh + opt::SizeOfImage);
    headers_size_ = get32(oh + opt::SizeOfHeaders);
    relocs_stripped_ = characteristics & kFileRelocsStripped;
    if (size_ == 0 || size_ > kMaxImageSize)
        return format("image size 0x%x is out of range", size_);
    if (headers_size_ > size_ || headers_size_ > n)
        return format("header size 0x%x exceeds the image or the file", headers_size_);

    const uint32_t num_dirs = get32(oh + opt::NumberOfRvaAndSizes);
    if (num_dirs > kMaxDirectories || opt::DataDirectory + 8ull * num_dirs > opt_size)
        return format("%u data directories do not fit the optional header", num_dirs);
    auto directory = [&](uint32_t index, uint32_t* rva, uint32_t* size, const char* what) {
        *rva = *size = 0;
        if (index >= num_dirs)
            return std::string();
        *rva = get32(oh + opt::DataDirectory + 8 * index);
        *size = get32(oh + opt::DataDirectory + 8 * index + 4);
        if (*size && !fits(*rva, *size, size_))
            return format("%s directory at RVA 0x%x (0x%x bytes) lies outside the image", what,
                          *rva, *size);
        return std::string();
    };
    if (std::string why = directory(kDirImport, &import_rva_, &import_size_, "import");
        !why.empty())
        return why;
    if (std::string why = directory(kDirBaseReloc, &reloc_rva_, &reloc_size_, "relocation");
        !why.empty())
        return why;

    const uint64_t table = opt_offset + opt_size;
    if (num_sections == 0)
        return "the image has no sections";
    if (!fits(table, uint64_t{num_sections} * kSectionHeaderSize, n))
        return "section table lies beyond the end of the file";
    bool entry_in_code = false;
    sections_.clear();
    for (uint32_t i = 0; i < num_sections; ++i) {
        const uint8_t* sh = f + table + i * kSectionHeaderSize;
        const uint32_t virtual_size = get32(sh + 8);
        const uint32_t rva = get32(sh + 12);
        const uint32_t raw_size = get32(sh + 16);
        const uint32_t raw_offset = get32(sh + 20);
        const uint32_t flags = get32(sh + 36);
        // Raw data past the section's own size is file alignment padding.
        const uint32_t copied = virtual_size ? std::min(raw_size, virtual_size) : raw_size;
        const uint32_t extent = std::max(virtual_size, copied);
        if (rva < headers_size_ || !fits(rva, extent, size_))
            return format("section %s at RVA 0x%x (0x%x bytes) lies outside the image",
                          section_name(sh).c_str(), rva, extent);
        if (copied && !fits(raw_offset, copied, n))
            return format("data of section %s lies beyond the end of the file",
                          section_name(sh).c_str());
        if ((flags & (kScnCode | kScnExecute)) && entry_rva_ >= rva && entry_rva_ - rva < extent)
            entry_in_code = true;
        for (const Section& other : sections_)
            if (rva < other.rva + other.extent && other.rva < rva + extent)
                return format("section %s at RVA 0x%x overlaps the one at RVA 0x%x",
                              section_name(sh).c_str(), rva, other.rva);
        sections_.push_back({rva, virtual_size, raw_offset, copied, extent, flags});
    }
    if (!entry_in_code)
        return format("entry point at RVA 0x%x lies outside the image's code", entry_rva_);
    return {};
}

std::string PeImage::map()
{
    std::memset(base_, 0, size_);
    std::memcpy(base_, file_.data(), headers_size_);
    for (const Section& s : sections_)
        std::memcpy(base_ + s.rva, file_.data() + s.file_offset, s.raw_size);
    if (std::string why = relocate(); !why.empty())
        return why;
    return bind_imports();
}

std::string PeImage::relocate()
{
    const uint32_t delta =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base_)) - preferred_base_;
    if (reloc_size_ == 0 || relocs_stripped_) {
        if (delta != 0)
            return format("the image has no base relocations and cannot be moved from 0x%x",
                          preferred_base_);
        return {};
    }
    const uint64_t end = uint64_t{reloc_rva_} + reloc_size_;
    for (uint64_t block = reloc_rva_; block + 8 <= end;) {
        const uint32_t page = get32(base_ + block);
        const uint32_t block_size = get32(base_ + block + 4);
        if (block_size < 8 || block_size % 2 || block_size > end - block)
            return format("relocation block at RVA 0x%x has a bad size 0x%x",
                          static_cast<uint32_t>(block), block_size);
        for (uint64_t e = block + 8; e < block + block_size; e += 2) {
            const uint16_t entry = get16(base_ + e);
            const uint32_t type = entry >> 12;
            const uint64_t target = uint64_t{page} + (entry & 0xFFF);
            if (type == kRelocAbsolute)
                continue;
            if (type != kRelocHighLow)
                return format("relocation type %u at RVA 0x%x is not supported", type,
                              static_cast<uint32_t>(target));
            if (!fits(target, 4, size_))
                return format("relocation at RVA 0x%x lies outside the image",
                              static_cast<uint32_t>(target));
            const uint32_t v = get32(base_ + target) + delta;
            std::memcpy(base_ + target, &v, 4);
        }
        block += block_size;
    }
    return {};
}

std::string PeImage::bind_imports()
{
    imports_.clear();
    if (import_size_ == 0)
        return {};
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
    for (uint64_t d = import_rva_;; d += kImportDescriptorSize) {
        if (!fits(d, kImportDescriptorSize, size_))
            return "import directory runs past the end of the image";
        const uint32_t lookup_rva = get32(base_ + d);
        const uint32_t name_rva = get32(base_ + d + 12);
        const uint32_t iat_rva = get32(base_ + d + 16);
        if (name_rva == 0 && iat_rva == 0)
            break;
        std::string dll;
        if (!name_at(name_rva, &dll))
            return format("import descriptor at RVA 0x%x names no DLL inside the image",
                          static_cast<uint32_t>(d));
        const bool video_port = same_name_ignoring_case(dll, kVideoPortDll);
        const uint32_t names = lookup_rva ? lookup_rva : iat_rva;
        for (uint64_t i = 0;; ++i) {
            const uint64_t slot = iat_rva + 4 * i, lookup = names + 4 * i;
            if (!fits(slot, 4, size_) || !fits(lookup, 4, size_))
                return "imports from " + dll + " run past the end of the image";
            const uint32_t thunk = get32(base_ + lookup);
            if (thunk == 0) {
                if (!video_port)
                    return "imports from " + dll + "; only " + kVideoPortDll + " can be bound";
                break;
            }
            if (thunk & kOrdinalFlag)
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
            const uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target));
            std::memcpy(base_ + slot, &address, 4);
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
    for (const Section& s : sections_)
        if (s.rva % kPageSize)
            return; // sections share pages: everything stays writable
    const auto pages = [](uint32_t bytes) { return (bytes + kPageSize - 1) & ~(kPageSize - 1); };
    mprotect(base_, size_, PROT_READ);
    for (const Section& s : sections_) {
        if (s.extent == 0)
            continue;
        int access = PROT_READ;
        if (s.flags & kScnWrite)
            access |= PROT_WRITE;
        if (s.flags & (kScnCode | kScnExecute))
            access |= PROT_EXEC;
        if (mprotect(base_ + s.rva, pages(s.extent), access) != 0)
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
