// The kernel's part: the Windows directory, local memory, and the files that
// Windows paths name on the host.
#include "platform/win32/state.h"

#include <cstdlib>
#include <cstring>

namespace win32_host {

void set_windows_directory(const std::string& dir)
{
    state().windows_directory = dir;
}

void map_file(const std::string& windows_path, const std::string& host_path)
{
    state().files[upper(windows_path)] = host_path;
}

void fail_allocations(bool fail)
{
    state().fail_allocations = fail;
}

int live_allocations()
{
    return static_cast<int>(state().allocations.size());
}

} // namespace win32_host

using namespace win32_host;

extern "C" {

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    const std::string& dir = state().windows_directory;
    if (dir.empty())
        return 0;
    // Too small a buffer: the size it needs is returned, its contents are
    // left undefined.
    if (!lpBuffer || dir.size() + 1 > uSize) {
        poison(lpBuffer, uSize);
        return static_cast<UINT>(dir.size() + 1);
    }
    std::memcpy(lpBuffer, dir.c_str(), dir.size() + 1);
    return static_cast<UINT>(dir.size());
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes)
{
    State& s = state();
    if (s.fail_allocations)
        return nullptr;
    void* p = std::malloc(uBytes ? uBytes : 1);
    if (!p)
        return nullptr;
    if (uFlags & LMEM_ZEROINIT)
        std::memset(p, 0, uBytes);
    s.allocations.insert(p);
    return p;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    State& s = state();
    if (!hMem)
        return nullptr;
    if (!s.allocations.erase(hMem))
        return hMem; // not ours: the call fails
    s.version_blocks.erase(hMem);
    std::free(hMem);
    return nullptr;
}

} // extern "C"
