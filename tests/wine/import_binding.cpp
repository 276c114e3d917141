#include "tests/wine/import_binding.h"

namespace {

template <typename T> T* at(HMODULE module, DWORD rva)
{
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}

const IMAGE_IMPORT_DESCRIPTOR* imports(HMODULE module)
{
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    auto* nt = at<const IMAGE_NT_HEADERS32>(module, dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return nullptr;
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return nullptr;
    return at<const IMAGE_IMPORT_DESCRIPTOR>(module, dir.VirtualAddress);
}

// The address table lives in a section the loader may have made read-only.
void write_slot(IMAGE_THUNK_DATA32* slot, void* replacement)
{
    DWORD old = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    slot->u1.Function = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(replacement));
    VirtualProtect(slot, sizeof *slot, old, &old);
    FlushInstructionCache(GetCurrentProcess(), slot, sizeof *slot);
}

int rebind_in(HMODULE module, const IMAGE_IMPORT_DESCRIPTOR& entry, const char* function,
              void* replacement)
{
    // The name table stays as the linker wrote it; the address table was
    // overwritten with addresses when the module was loaded.
    DWORD names_rva = entry.OriginalFirstThunk ? entry.OriginalFirstThunk : entry.FirstThunk;
    auto* names = at<const IMAGE_THUNK_DATA32>(module, names_rva);
    auto* slots = at<IMAGE_THUNK_DATA32>(module, entry.FirstThunk);
    int rewritten = 0;
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal))
            continue;
        auto* by_name = at<const IMAGE_IMPORT_BY_NAME>(module, names->u1.AddressOfData);
        if (lstrcmpA(reinterpret_cast<const char*>(by_name->Name), function) != 0)
            continue;
        write_slot(slots, replacement);
        ++rewritten;
    }
    return rewritten;
}

} // namespace

int rebind_import(HMODULE module, const char* dll, const char* function, void* replacement)
{
    const IMAGE_IMPORT_DESCRIPTOR* entry = imports(module);
    if (!entry)
        return 0;
    int rewritten = 0;
    for (; entry->Name != 0; ++entry)
        if (lstrcmpiA(at<const char>(module, entry->Name), dll) == 0)
            rewritten += rebind_in(module, *entry, function, replacement);
    return rewritten;
}
