// Device contexts and the display: every device context on "display" is
// counted, and escapes and display-settings calls go to the display-driver
// model that the host is given.
#include "state.h"

#include <cstring>

namespace win32_host {

void set_display_driver(sim::DisplayDriver* driver)
{
    state().display = driver;
}

sim::DisplayDriver* display_driver()
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

void fill(DEVMODEA& dm, const sim::DisplayMode& mode)
{
    std::memcpy(dm.dmDeviceName, "DISPLAY", 8);
    dm.dmFields =
        DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY;
    dm.dmBitsPerPel = mode.bits_per_pixel;
    dm.dmPelsWidth = mode.width;
    dm.dmPelsHeight = mode.height;
    dm.dmDisplayFlags = 0;
    dm.dmDisplayFrequency = mode.frequency;
}

// The platform's record may come from an older header without the panning
// fields; anything shorter lacks the display fields themselves.
constexpr WORD kSmallestDevmode = 148;

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
    if (s.escape_hook && s.escape_hook(iEscape, cjInput, lpInData, cjOutput, lpOutData, &result))
        return result;
    return s.display->escape(static_cast<uint32_t>(iEscape), static_cast<uint32_t>(cjInput),
                             lpInData, static_cast<uint32_t>(cjOutput), lpOutData);
}

BOOL WINAPI EnumDisplaySettingsA(LPCSTR lpszDeviceName, DWORD iModeNum, DEVMODEA* lpDevMode)
{
    State& s = state();
    bool current = iModeNum == ENUM_CURRENT_SETTINGS || iModeNum == ENUM_REGISTRY_SETTINGS;
    record_call("EnumDisplaySettingsA " +
                (current ? std::string("current") : std::to_string(iModeNum)));
    if (lpszDeviceName || !lpDevMode || lpDevMode->dmSize < kSmallestDevmode || !s.display)
        return FALSE;
    sim::DisplayMode mode;
    bool ok = current ? s.display->current_mode(mode) : s.display->enum_mode(iModeNum, mode);
    if (!ok)
        return FALSE;
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
    if (lpDevMode->dmSize < kSmallestDevmode)
        return DISP_CHANGE_BADPARAM;
    sim::DisplayMode mode = s.display->current;
    if (lpDevMode->dmFields & DM_PELSWIDTH)
        mode.width = lpDevMode->dmPelsWidth;
    if (lpDevMode->dmFields & DM_PELSHEIGHT)
        mode.height = lpDevMode->dmPelsHeight;
    if (lpDevMode->dmFields & DM_BITSPERPEL)
        mode.bits_per_pixel = lpDevMode->dmBitsPerPel;
    if (lpDevMode->dmFields & DM_DISPLAYFREQUENCY)
        mode.frequency = lpDevMode->dmDisplayFrequency;
    record_call("ChangeDisplaySettingsA " + std::to_string(mode.width) + "x" +
                std::to_string(mode.height) + " " + std::to_string(dwFlags));
    return s.display->change_mode(mode, dwFlags & CDS_TEST, dwFlags & CDS_UPDATEREGISTRY);
}

} // extern "C"
