// The loader: what it refuses and why, and what it makes of korvid.sys.
#include "tests/support/drivers.h"
#include "platform/videoport/exports.h"
#include "tests/support/build_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <span>
#include <sstream>

using namespace testing_support;
using namespace pe;
using sim::PeImage;

namespace {

// Replaces a name in the section that holds the imports (the file's symbol
// table carries the same names).
int replace_import_name(std::vector<uint8_t>& f, const std::string& from, const std::string& to)
{
    const PeFile headers(f);
    return replace(f, section_of_rva(headers, headers.directory(kImportDirectory).rva), from, to);
}

std::string refusal(std::vector<uint8_t> file)
{
    std::string why;
    auto image = PeImage::load(std::move(file), &why);
    EXPECT_EQ(image, nullptr) << "the image was accepted";
    EXPECT_FALSE(why.empty());
    return why;
}

using KorvidSys = KorvidSysFile;

#define EXPECT_MENTIONS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

// One field of the file changed, and what the loader must say of it.
struct Patch {
    uint64_t at;
    uint32_t value;
    int width; // 2 or 4 bytes
    const char* refusal;
};

void expect_refusals(const std::vector<uint8_t>& file, std::span<const Patch> patches)
{
    for (const Patch& p : patches) {
        auto changed = file;
        if (p.width == 2)
            store_le16(&changed[p.at], static_cast<uint16_t>(p.value));
        else
            store_le32(&changed[p.at], p.value);
        EXPECT_MENTIONS(refusal(changed), p.refusal);
    }
}

TEST(PeLoader, RefusesFilesThatAreNoImageAtAll)
{
    EXPECT_MENTIONS(refusal({}), "no MZ signature");
    std::vector<uint8_t> text(200, 'x');
    EXPECT_MENTIONS(refusal(text), "no MZ signature");
    std::vector<uint8_t> dos(0x80, 0);
    dos[0] = 'M', dos[1] = 'Z';
    store_le32(&dos[dos::kLfanew], 0x7FFFFFF0);
    EXPECT_MENTIONS(refusal(dos), "beyond the end of the file");
    store_le32(&dos[dos::kLfanew], 0x40);
    EXPECT_MENTIONS(refusal(dos), "no PE signature");

    std::string why;
    EXPECT_EQ(PeImage::load_file("/nonexistent/korvid.sys", &why), nullptr);
    EXPECT_MENTIONS(why, "/nonexistent/korvid.sys");
}

TEST_F(KorvidSys, RefusesImagesForAnotherMachineFormatOrSubsystem)
{
    const PeFile h(file);
    const Patch foreign[] = {
        {h.file_header() + file_header::kMachine, 0x8664, 2, "machine type 0x8664 is not i386"},
        {h.optional_header() + optional_header::kMagic, kMagicPe32Plus, 2, "PE32+"},
        {h.optional_header() + optional_header::kSubsystem, 2, 2, "subsystem 2 is not native"},
    };
    expect_refusals(file, foreign);
}

TEST_F(KorvidSys, RefusesImportsItCannotBind)
{
    auto kernel = file;
    ASSERT_EQ(replace_import_name(kernel, "videoprt.sys", "ntoskrnl.exe"), 1);
    std::string why = refusal(kernel);
    EXPECT_MENTIONS(why, "ntoskrnl.exe!VideoPort");
    EXPECT_MENTIONS(why, "only videoprt.sys");

    auto unknown = file;
    ASSERT_EQ(replace_import_name(unknown, "VideoPortInitialize", "VideoPortInitializX"), 1);
    EXPECT_MENTIONS(refusal(unknown), "videoprt.sys!VideoPortInitializX, which the simulated");

    // The DLL name is matched without regard to case, as the platform does.
    auto upper = file;
    ASSERT_EQ(replace_import_name(upper, "videoprt.sys", "VIDEOPRT.SYS"), 1);
    update_checksum(upper);
    std::string error;
    EXPECT_NE(PeImage::load(upper, &error), nullptr) << error;
}

// The kernel refuses an image whose header checksum is not its file's; the
// build writes the right one, and a checksum of 0 is not checked.
TEST_F(KorvidSys, RefusesAnImageWhoseChecksumDoesNotMatch)
{
    const PeFile headers(file);
    const uint64_t field = headers.optional_header() + optional_header::kCheckSum;
    ASSERT_NE(headers.u32(field), 0u) << "the build writes no checksum";
    EXPECT_EQ(image_checksum(file), headers.u32(field));

    auto changed = file;
    changed[headers.sections().at(0).raw_offset + 0x10] ^= 0x40;
    EXPECT_MENTIONS(refusal(changed), "header checksum");
    store_le32(&changed[field], 0);
    std::string why;
    EXPECT_NE(PeImage::load(changed, &why), nullptr) << why;
}

// Offsets and sizes in the file are not trusted: a damaged image is refused
// before anything is copied out of bounds.
TEST_F(KorvidSys, RefusesDamagedHeadersInsteadOfFollowingThem)
{
    // Cut inside the data of the last section in the file.
    const PeFile headers(file);
    const uint64_t oh = headers.optional_header();
    size_t last = 0;
    for (const Section& s : headers.sections())
        if (s.file_size())
            last = std::max<size_t>(last, s.raw_offset);
    EXPECT_MENTIONS(refusal(std::vector<uint8_t>(file.begin(), file.begin() + last + 1)),
                    "beyond the end of the file");

    const uint64_t imports =
        oh + optional_header::kDataDirectory + kDirectoryEntrySize * kImportDirectory;
    const Patch damaged[] = {
        {oh + optional_header::kSizeOfImage, 0xFFFFF000, 4,
         "image size 0xfffff000 is out of range"},
        {oh + optional_header::kAddressOfEntryPoint, 0x10, 4,
         "entry point at RVA 0x10 lies outside the image's code"},
        {imports, 0x7FFF0000, 4, "import directory"},
    };
    expect_refusals(file, damaged);

    // The first relocation of the first block, made a 64-bit one.
    auto reloc = file;
    const uint32_t relocs = headers.directory(kRelocationDirectory).rva;
    const Section holder = section_of_rva(headers, relocs);
    const size_t block = holder.raw_offset + (relocs - holder.rva);
    const uint16_t first = headers.u16(block + 8);
    store_le16(&reloc[block + 8], 0xA000 | (first & 0xFFF));
    EXPECT_MENTIONS(refusal(reloc), "relocation type 10");

    // The second section moved onto the first: the loader would copy one
    // over the other and could not give each its own protection.
    const uint64_t second = headers.section_table() + section_header::kSize;
    const Patch misplaced[] = {
        {block + 4, 0x7FFFFFF0, 4, "relocation block"},
        {second + section_header::kVirtualAddress, headers.sections().at(0).rva, 4,
         "overlaps the one at RVA"},
    };
    expect_refusals(file, misplaced);
}

// The header reader answers every cut of the headers from inside the cut
// (the sanitizers watch the reads): what the cut still holds reads as in
// the whole file, what it does not reads as nothing.
TEST_F(KorvidSys, HeaderReaderStaysInsideCutFiles)
{
    const PeFile whole(file);
    ASSERT_EQ(whole.error(), "");
    const Directory imports = whole.directory(kImportDirectory);
    const size_t table_end = whole.section_table() + whole.section_count() * section_header::kSize;
    for (size_t length = 0; length <= table_end; ++length) {
        const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(length));
        const PeFile f(cut);
        if (!f.error().empty())
            continue;
        const Directory d = f.directory(kImportDirectory);
        EXPECT_TRUE(d.rva == 0 || (d.rva == imports.rva && d.size == imports.size)) << length;
        EXPECT_EQ(f.sections().size(), length == table_end ? whole.section_count() : 0u) << length;
        EXPECT_EQ(f.file_offset(imports.rva).has_value(), length == table_end) << length;
    }
}

TEST_F(KorvidSys, LoadsAwayFromItsBaseWithOnlyVideoPortImports)
{
    std::string why;
    auto image = PeImage::load(file, &why);
    ASSERT_NE(image, nullptr) << why;
    // Somewhere else than the linked base, so that relocations are exercised.
    EXPECT_NE(reinterpret_cast<uintptr_t>(image->base()), image->preferred_base());
    EXPECT_GT(image->size(), file.size() / 2);
    ASSERT_FALSE(image->imports().empty());
    std::set<std::string> names;
    for (const sim::PeImport& i : image->imports()) {
        EXPECT_EQ(i.dll, "videoprt.sys");
        EXPECT_TRUE(names.insert(i.name).second) << i.name << " imported twice";
    }
    EXPECT_TRUE(names.count("VideoPortInitialize"));
    std::string text = sim::describe(*image);
    EXPECT_MENTIONS(text, "videoprt.sys!VideoPortInitialize");
    std::cout << "korvid.sys: " << text;
}

TEST_F(KorvidSys, ReloadReturnsTheImageToItsLoadTimeBytes)
{
    std::string why;
    auto image = PeImage::load(file, &why);
    ASSERT_NE(image, nullptr) << why;
    const std::vector<uint8_t> loaded(image->base(), image->base() + image->size());

    korvid_host::System machine({sim::BoardSetup{}, sim::BoardSetup{}});
    ASSERT_EQ(machine.boot(sim::sys_driver(image)), 0u);
    EXPECT_NE(std::vector<uint8_t>(image->base(), image->base() + image->size()), loaded)
        << "booting changed no global in the image";
    image->reload();
    EXPECT_EQ(std::vector<uint8_t>(image->base(), image->base() + image->size()), loaded);
}

// The access the process has to one address, as /proc/self/maps states it
// ("r-xp" and the like), or empty.
std::string page_access(const void* p)
{
    std::ifstream maps("/proc/self/maps");
    const uintptr_t at = reinterpret_cast<uintptr_t>(p);
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long begin = 0, end = 0;
        char access[5] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %4s", &begin, &end, access) == 3 && at >= begin &&
            at < end)
            return access;
    }
    return {};
}

// A write to code or read-only data faults, as under a kernel that protects
// image pages; data stays writable, also after a reload.
TEST_F(KorvidSys, CodeAndReadOnlyDataAreNotWritable)
{
    std::string why;
    auto image = PeImage::load(file, &why);
    ASSERT_NE(image, nullptr) << why;
    ASSERT_TRUE(image->protected_by_section());
    for (int pass = 0; pass < 2; ++pass) {
        for (const Section& s : PeFile(file).sections()) {
            if (s.file_size() == 0)
                continue;
            const uint8_t* p = image->base() + s.rva;
            if (s.flags & kSectionCode)
                EXPECT_EQ(page_access(p), "r-xp") << std::hex << s.rva;
            else if (s.flags & kSectionWrite)
                EXPECT_EQ(page_access(p), "rw-p") << std::hex << s.rva;
            else
                EXPECT_EQ(page_access(p), "r--p") << std::hex << s.rva;
        }
        image->reload();
    }
}

// A stand-in declared for the miniport but missing from the export table
// would make any image that uses it unloadable.
TEST(VideoPortExports, CoverEveryOperationTheHeaderDeclares)
{
    std::ifstream in(testing_support::source_dir() + "/platform/videoport/video.h");
    ASSERT_TRUE(in);
    std::stringstream header;
    header << in.rdbuf();
    const std::string text = header.str();
    std::set<std::string> declared, exported;
    const std::string marker = "NTAPI VideoPort";
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
        const size_t name = at + 6, end = text.find('(', name);
        declared.insert(text.substr(name, end - name));
    }
    for (const korvid_host::VideoPortExport& e : korvid_host::videoport_exports()) {
        EXPECT_NE(e.address, nullptr) << e.name;
        exported.insert(e.name);
    }
    EXPECT_FALSE(declared.empty());
    EXPECT_EQ(exported, declared);
    EXPECT_EQ(korvid_host::find_videoport_export("VideoPortFrobnicate"), nullptr);
}

} // namespace
