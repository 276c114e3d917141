// Device contexts and the display: every device context on "display" is
// counted, and escapes and display-settings calls go to the display device
// that the host is given.
#include "platform/win32/state.h"

#include "platform/win32/display_devmode.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace win32_host {

void set_display_device(DisplayDevice* device)
{
    state().display = device;
}

DisplayDevice* display_device()
{
    return state().display;
}

void fail_create_dc(bool fail)
{
    state().fail_create_dc = fail;
}

void fail_create_dc_calls(std::set<int> calls)
{
    state().failing_dc_calls = std::move(calls);
    state().dc_calls = 0;
}

void set_escape_hook(EscapeHook hook)
{
    state().escape_hook = std::move(hook);
}

DcCounts dc_counts()
{
    return state().dc_counts;
}

} // namespace win32_host

using namespace win32_host;

namespace {

void fill(DEVMODEA& dm, const DisplayMode& mode)
{
    std::memcpy(dm.dmDeviceName, "DISPLAY", 8);
    fill_devmode(dm, mode);
    dm.dmFields |= DM_DISPLAYFLAGS;
    dm.dmDisplayFlags = 0;
}

} // namespace

extern "C" {

HDC WINAPI CreateDCA(LPCSTR pwszDriver, LPCSTR pwszDevice, LPCSTR pszPort, CONST DEVMODEA*)
{
    State& s = state();
    bool failing = s.failing_dc_calls.count(++s.dc_calls) != 0;
    if (!pwszDriver || upper(pwszDriver) != "DISPLAY" || pwszDevice || pszPort || !s.display ||
        s.fail_create_dc || failing) {
        record_call("CreateDCA failed");
        return nullptr;
    }
    HDC dc = reinterpret_cast<HDC>(s.next_dc++);
    s.dcs.insert(dc);
    ++s.dc_counts.created;
    record_call("CreateDCA display");
    return dc;
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    State& s = state();
    if (!s.dcs.erase(hdc))
        return FALSE;
    ++s.dc_counts.deleted;
    record_call("DeleteDC");
    return TRUE;
}

int WINAPI ExtEscape(HDC hdc, int iEscape, int cjInput, LPCSTR lpInData, int cjOutput,
                     LPSTR lpOutData)
{
    State& s = state();
    if (!s.dcs.count(hdc) || !s.display) {
        record_call("ExtEscape on no device context");
        return 0;
    }
    if (cjInput < 0 || cjOutput < 0 || (cjInput && !lpInData) || (cjOutput && !lpOutData))
        return -1;
    uint32_t input = 0;
    if (cjInput >= 4)
        std::memcpy(&input, lpInData, 4);
    record_call("ExtEscape " + std::to_string(iEscape) + " in=" + std::to_string(input));
    int result = 0;
    if (!s.escape_hook || !s.escape_hook(iEscape, cjInput, lpInData, cjOutput, lpOutData, &result))
        result = s.display->escape(static_cast<uint32_t>(iEscape), static_cast<uint32_t>(cjInput),
                                   lpInData, static_cast<uint32_t>(cjOutput), lpOutData);
    // An escape that fails (0: not carried out, below 0: an error) leaves
    // its output undefined.
    if (result <= 0)
        poison(lpOutData, static_cast<size_t>(cjOutput));
    return result;
}

// The caller's size field is not read: the display fields are filled
// whatever it holds (a zero-filled record included). The current settings
// are the mode in force, the registry settings the mode last stored.
BOOL WINAPI EnumDisplaySettingsA(LPCSTR lpszDeviceName, DWORD iModeNum, DEVMODEA* lpDevMode)
{
    State& s = state();
    std::string which = iModeNum == ENUM_CURRENT_SETTINGS    ? "current"
                        : iModeNum == ENUM_REGISTRY_SETTINGS ? "registry"
                                                             : std::to_string(iModeNum);
    record_call("EnumDisplaySettingsA " + which);
    if (lpszDeviceName || !lpDevMode || !s.display)
        return FALSE;
    DisplayMode mode;
    bool ok = false;
    if (iModeNum == ENUM_CURRENT_SETTINGS)
        ok = s.display->current_mode(mode);
    else if (iModeNum == ENUM_REGISTRY_SETTINGS)
        ok = s.display->stored_mode(mode);
    else
        ok = s.display->enum_mode(iModeNum, mode);
    if (!ok) {
        // The record of a failed call is undefined past the caller's own
        // size fields.
        const size_t filled = std::min<size_t>(lpDevMode->dmSize, sizeof *lpDevMode);
        const size_t kept = offsetof(DEVMODEA, dmDriverExtra) + sizeof lpDevMode->dmDriverExtra;
        if (filled > kept)
            poison(reinterpret_cast<uint8_t*>(lpDevMode) + kept, filled - kept);
        return FALSE;
    }
    fill(*lpDevMode, mode);
    return TRUE;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* lpDevMode, DWORD dwFlags)
{
    State& s = state();
    if (!s.display)
        return DISP_CHANGE_FAILED;
    if (!lpDevMode) {
        record_call("ChangeDisplaySettingsA registry");
        return DISP_CHANGE_SUCCESSFUL;
    }
    const DEVMODEA& dm = *lpDevMode;
    if (dm.dmSize < kSmallestChangeRecord) {
        record_call("ChangeDisplaySettingsA record of " + std::to_string(dm.dmSize));
        return DISP_CHANGE_BADMODE;
    }
    DisplayMode mode = mode_of_devmode(dm, s.display->mode_in_force());
    record_call("ChangeDisplaySettingsA " + std::to_string(mode.width) + "x" +
                std::to_string(mode.height) + " " + std::to_string(dwFlags));
    return s.display->change_mode(mode, dwFlags & CDS_TEST, dwFlags & CDS_UPDATEREGISTRY);
}

} // extern "C"
