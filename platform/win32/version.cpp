// File version information read from real PE images: the version resource is
// found through the image's resource directory, and VerQueryValueA walks its
// tree of blocks. Text values are handed out converted to ANSI, in the part of
// the caller's block that GetFileVersionInfoSizeA reserved for that, as the
// platform does. Every offset taken from the file is checked against its size.
#include "platform/win32/state.h"

#include "support/pe_file.h"

#include <cstring>

namespace win32_host {

namespace {

constexpr uint16_t kRtVersion = 16;

// Finds the first version resource of a PE32 image: file offset and size.
bool find_version_resource(const std::vector<uint8_t>& file, size_t& offset, size_t& size)
{
    const pe::PeFile b(file);
    if (!b.error().empty() || b.u16(b.optional_header()) != pe::kMagicPe32)
        return false;
    const uint32_t resource_rva = b.directory(pe::kResourceDirectory).rva;
    const std::optional<uint64_t> root = b.file_offset(resource_rva);
    if (!resource_rva || !root)
        return false;
    // Three levels: type, name, language; the first entry of the wanted type.
    auto entry = [&](size_t dir, bool want_type, uint32_t& target) {
        if (!b.fits(dir, 16))
            return false;
        unsigned n = b.u16(dir + 12) + b.u16(dir + 14);
        for (unsigned i = 0; i < n; ++i) {
            size_t e = dir + 16 + 8 * i;
            if (!b.fits(e, 8))
                return false;
            if (want_type && b.u32(e) != kRtVersion)
                continue;
            target = b.u32(e + 4);
            return true;
        }
        return false;
    };
    uint32_t t;
    size_t dir = *root;
    for (int level = 0; level < 3; ++level) {
        if (!entry(dir, level == 0, t))
            return false;
        const bool is_directory = t & 0x80000000u;
        if (is_directory != (level < 2))
            return false;
        dir = *root + (t & 0x7FFFFFFFu);
    }
    const std::optional<uint64_t> data = b.file_offset(b.u32(dir));
    if (!b.fits(dir, 16) || !data)
        return false;
    offset = *data;
    size = b.u32(dir + 4);
    return size >= 6 && b.fits(offset, size);
}

bool version_resource(LPCSTR filename, std::string& out)
{
    if (!filename)
        return false;
    auto& files = state().files;
    auto it = files.find(upper(filename));
    if (it == files.end())
        return false;
    const std::optional<std::vector<uint8_t>> image = pe::read_file(it->second);
    size_t offset, size;
    if (!image || !find_version_resource(*image, offset, size))
        return false;
    out.assign(image->begin() + offset, image->begin() + offset + size);
    return true;
}

size_t align4(size_t n)
{
    return (n + 3) & ~size_t{3};
}

// The block holds the resource and behind it as many bytes again for the
// ANSI copies of its texts.
DWORD block_size(size_t resource)
{
    return static_cast<DWORD>(align4(resource) + resource);
}

struct Node {
    size_t start, end; // the node's bytes
    size_t value, value_bytes;
    bool text;
    std::u16string key;
    size_t children;
};

bool read_node(const pe::Bytes& b, size_t at, size_t limit, Node& n)
{
    size_t length = b.u16(at);
    if (length < 6 || !b.fits(at, length) || at + length > limit)
        return false;
    n.start = at;
    n.end = at + length;
    size_t value_length = b.u16(at + 2);
    n.text = b.u16(at + 4) == 1;
    n.key.clear();
    size_t p = at + 6;
    for (;; p += 2) {
        if (p + 2 > n.end)
            return false;
        char16_t c = b.u16(p);
        if (!c)
            break;
        n.key += c;
    }
    n.value = align4(p + 2);
    n.value_bytes = n.text ? 2 * value_length : value_length;
    if (n.value > n.end || n.value_bytes > n.end - n.value) {
        n.value = n.end;
        n.value_bytes = 0;
    }
    n.children = align4(n.value + n.value_bytes);
    return true;
}

bool same_key(const std::u16string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] >= 0x80 || std::toupper(a[i]) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

} // namespace win32_host

using namespace win32_host;

namespace {

BOOL query_version_value(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen)
{
    auto known = state().version_blocks.find(pBlock);
    if (!lpSubBlock || !lplpBuffer || !puLen || known == state().version_blocks.end())
        return FALSE;
    auto* base = static_cast<const uint8_t*>(pBlock);
    pe::Bytes b(base, known->second);
    Node n;
    if (!read_node(b, 0, b.size(), n))
        return FALSE;
    std::string path = lpSubBlock;
    size_t from = 0;
    while (from < path.size()) {
        size_t sep = path.find('\\', from);
        std::string part =
            path.substr(from, sep == std::string::npos ? std::string::npos : sep - from);
        from = sep == std::string::npos ? path.size() : sep + 1;
        if (part.empty())
            continue;
        Node c;
        bool found = false;
        for (size_t at = n.children; at + 6 <= n.end; at = align4(c.end)) {
            if (!read_node(b, at, n.end, c))
                break;
            if (same_key(c.key, part)) {
                found = true;
                break;
            }
        }
        if (!found)
            return FALSE;
        n = c;
    }
    if (!n.text) {
        *lplpBuffer = const_cast<uint8_t*>(base + n.value);
        *puLen = static_cast<UINT>(n.value_bytes);
        return n.value_bytes != 0;
    }
    // The ANSI copy sits at half the text's offset in the area behind the
    // resource, where no other text's copy can overlap it.
    char* ansi = const_cast<char*>(reinterpret_cast<const char*>(base)) + align4(known->second) +
                 n.value / 2;
    size_t count = 0;
    for (; count * 2 < n.value_bytes; ++count) {
        char16_t c = b.u16(n.value + 2 * count);
        if (!c)
            break;
        ansi[count] = c < 0x100 ? static_cast<char>(c) : '?';
    }
    ansi[count] = '\0';
    *lplpBuffer = ansi;
    *puLen = static_cast<UINT>(count + 1);
    return TRUE;
}

} // namespace

extern "C" {

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle)
{
    if (lpdwHandle)
        *lpdwHandle = 0;
    std::string resource;
    if (!version_resource(lptstrFilename, resource))
        return 0;
    return block_size(resource.size());
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData)
{
    std::string resource;
    if (!lpData || !version_resource(lptstrFilename, resource) ||
        dwLen < block_size(resource.size())) {
        poison(lpData, dwLen); // a failed call leaves the block undefined
        return FALSE;
    }
    std::memset(lpData, 0, dwLen);
    std::memcpy(lpData, resource.data(), resource.size());
    state().version_blocks[lpData] = resource.size();
    return TRUE;
}

// A failed query leaves the pointer and the length undefined.
BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen)
{
    if (query_version_value(pBlock, lpSubBlock, lplpBuffer, puLen))
        return TRUE;
    poison(lplpBuffer, sizeof *lplpBuffer);
    poison(puLen, sizeof *puLen);
    return FALSE;
}

} // extern "C"
