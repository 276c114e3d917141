// The desktop layouts as the display driver, the registry and the mode list
// know them.
#include "applet/applet.h"
#include "applet/desktop.h"
#include "applet/escapes.h"

const LAYOUT_FLAGS NORMAL_FLAGS = {0, 0, MULTI_BOARD_OFF};
const LAYOUT_FLAGS DOUBLE_WIDE_FLAGS = {1, 0, MULTI_BOARD_OFF};
const LAYOUT_FLAGS TWO_TALL_FLAGS = {0, 1, MULTI_BOARD_OFF};
const LAYOUT_FLAGS MULTI_BOARD_FLAGS = {0, 0, MULTI_BOARD_ON};

DESKTOP_LAYOUT current_layout;

namespace {

// A driver that never ends its mode list must not hang the Control Panel.
constexpr DWORD MAX_LISTED_MODES = 0x10000;

bool store_flag(HKEY key, const char* name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

} // namespace

void clear_mode(DEVMODEA* mode)
{
    BYTE* bytes = reinterpret_cast<BYTE*>(mode);
    for (size_t i = 0; i < sizeof *mode; ++i)
        bytes[i] = 0;
    mode->dmSize = sizeof *mode;
}

bool layout_code(const LAYOUT_FLAGS& flags, DWORD* code)
{
    if (same_flags(flags, NORMAL_FLAGS))
        *code = LAYOUT_NORMAL;
    else if (flags.double_wide == 1)
        *code = LAYOUT_DOUBLE_WIDE;
    else if (flags.two_tall == 1)
        *code = LAYOUT_TWO_TALL;
    else if (flags.multi_board == MULTI_BOARD_ON)
        *code = LAYOUT_MULTI_BOARD;
    else
        return false;
    return true;
}

bool send_layout(const LAYOUT_FLAGS& flags)
{
    DWORD code;
    if (!layout_code(flags, &code))
        return false;
    DWORD ignored = 0;
    return escape_succeeded(
        send_driver_escape(ESC_SET_VIRTUAL_LAYOUT, code, sizeof ignored, &ignored));
}

bool store_layout(HKEY key, const LAYOUT_FLAGS& flags)
{
    if (!key)
        return false;
    // Every value is written, also after one failed.
    bool stored = store_flag(key, "DoubleWide", flags.double_wide);
    stored = store_flag(key, "TwoTall", flags.two_tall) && stored;
    return store_flag(key, "MultiBoardFlag", flags.multi_board) && stored;
}

void refresh_mode_list()
{
    DEVMODEA mode;
    for (DWORD n = 0; n < MAX_LISTED_MODES; ++n) {
        clear_mode(&mode);
        if (!EnumDisplaySettingsA(NULL, n, &mode))
            break;
    }
}

bool read_current_mode(DEVMODEA* mode)
{
    clear_mode(mode);
    return EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, mode) != FALSE;
}
