// The desktop page's state and the helpers its start and its Apply share:
// the layout chosen on the page, the layout and size in force as far as the
// applet knows, the number of boards, and the mode list refresh that makes
// the display driver offer the sizes of a new layout.
#pragma once

#include "win32.h"

// The layout chosen on the page. The page only ever sets one of the four
// layout rows (see desktop_layout_code).
struct DESKTOP_SETTINGS {
    HKEY hKey;
    DWORD DoubleWide;
    DWORD TwoTall;
    DWORD MultiBoardFlag;
};

// The layout and display size in force, kept for the life of the process.
struct DESKTOP_LAYOUT {
    DWORD DoubleWide;
    DWORD Width;
    DWORD TwoTall;
    DWORD MultiBoardFlag;
    DWORD Height;
};

extern DESKTOP_SETTINGS desktop_settings;
extern DESKTOP_LAYOUT current_layout;
extern DWORD board_count;

// The three layout flags, as they travel between the page, the registry and
// the display driver.
struct LAYOUT_FLAGS {
    DWORD DoubleWide;
    DWORD TwoTall;
    DWORD MultiBoardFlag;
};

inline LAYOUT_FLAGS flags_of(const DESKTOP_SETTINGS& s)
{
    return {s.DoubleWide, s.TwoTall, s.MultiBoardFlag};
}
inline LAYOUT_FLAGS flags_of(const DESKTOP_LAYOUT& s)
{
    return {s.DoubleWide, s.TwoTall, s.MultiBoardFlag};
}
inline void set_flags(DESKTOP_SETTINGS& s, const LAYOUT_FLAGS& f)
{
    s.DoubleWide = f.DoubleWide;
    s.TwoTall = f.TwoTall;
    s.MultiBoardFlag = f.MultiBoardFlag;
}
inline bool same_flags(const LAYOUT_FLAGS& a, const LAYOUT_FLAGS& b)
{
    return a.DoubleWide == b.DoubleWide && a.TwoTall == b.TwoTall &&
           a.MultiBoardFlag == b.MultiBoardFlag;
}

// The four layouts' flags.
extern const LAYOUT_FLAGS NORMAL_FLAGS, DOUBLE_WIDE_FLAGS, TWO_TALL_FLAGS, MULTI_BOARD_FLAGS;

// The escape's layout code of a layout row; false for flags that are no
// layout (a layout in force that was never filled).
bool desktop_layout_code(const LAYOUT_FLAGS& flags, DWORD* code);

// Tells the display driver the layout; false when it refused it or the
// flags have no layout code (nothing is sent then).
bool send_layout(const LAYOUT_FLAGS& flags);

// Writes the three flags under the page's key; false when any write failed
// or no key is open.
bool store_layout(const LAYOUT_FLAGS& flags);

// Lists every display mode once, so that the display driver builds its
// mode list afresh (asking for mode 0 does that) with the sizes of the
// layout now in force.
void refresh_mode_list();

// Reads the mode in force into `mode` (a record of the platform's size).
bool read_current_mode(DEVMODEA* mode);

// Checks one of the four radio buttons and hides or greys Multi Board.
void set_up_desktop_controls(HWND dialog);

// The page's Apply; the sheet sends it for OK and for Apply.
void apply_desktop_layout(HWND dialog);
