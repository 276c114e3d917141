// The desktop page's records and the steps its start and its Apply share:
// the layout flags, the layout and size in force as far as the applet
// knows, and the mode list refresh that makes the display driver offer the
// sizes of a new layout.
#pragma once

#include "applet/win32.h"

// The three layout flags, as they travel between the page, the registry and
// the display driver. The page only ever sets one of the four layout rows
// (see layout_code).
struct LAYOUT_FLAGS {
    DWORD double_wide;
    DWORD two_tall;
    DWORD multi_board; // MULTI_BOARD_ON or MULTI_BOARD_OFF
};

inline bool same_flags(const LAYOUT_FLAGS& a, const LAYOUT_FLAGS& b)
{
    return a.double_wide == b.double_wide && a.two_tall == b.two_tall &&
           a.multi_board == b.multi_board;
}

// The four layouts' flags.
extern const LAYOUT_FLAGS NORMAL_FLAGS, DOUBLE_WIDE_FLAGS, TWO_TALL_FLAGS, MULTI_BOARD_FLAGS;

// The layout and display size in force, kept for the life of the process.
struct DESKTOP_LAYOUT {
    LAYOUT_FLAGS flags;
    DWORD width;
    DWORD height;
};
extern DESKTOP_LAYOUT current_layout;

// The desktop page's state from its start to its end. The sheet's owner
// keeps it and hands it to the page in the page record's lParam.
struct DESKTOP_PAGE {
    HKEY key;            // the family's layout key; null when it could not be opened
    LAYOUT_FLAGS choice; // the layout chosen on the page
    DWORD board_count;   // at least 1
    // Set while an Apply runs. Its error boxes have no owner window, so the
    // sheet stays enabled while one is up: the user can pick another layout
    // and press Apply or OK again, and the sheet then sends PSN_APPLY from
    // inside the box.
    bool apply_running;
    // Such a PSN_APPLY came: once the running Apply has finished, the layout
    // chosen by then is applied.
    bool apply_again;
};

// The escape's layout code of a layout row; false for flags that are no
// layout (a layout in force that was never filled).
bool layout_code(const LAYOUT_FLAGS& flags, DWORD* code);

// Tells the display driver the layout; false when it refused it or the
// flags have no layout code (nothing is sent then).
bool send_layout(const LAYOUT_FLAGS& flags);

// Writes the three flags under `key`; false when any write failed or the
// key is null.
bool store_layout(HKEY key, const LAYOUT_FLAGS& flags);

// Lists every display mode once, so that the display driver builds its
// mode list afresh (asking for mode 0 does that) with the sizes of the
// layout now in force.
void refresh_mode_list();

// Empties `mode`, a record of the platform's size.
void clear_mode(DEVMODEA* mode);

// Reads the mode in force into `mode` (a record of the platform's size).
bool read_current_mode(DEVMODEA* mode);

// What an Apply did: the error to show (null for none). The layout in force
// afterwards is current_layout.
struct APPLY_RESULT {
    const char* error;
    // The mode in force could not be read: nothing changed yet, and the
    // layout in force is put back once the error has been shown.
    bool restore_after_error;
};

// The page's Apply; the sheet sends it for OK and for Apply.
APPLY_RESULT apply_desktop_layout(const DESKTOP_PAGE& page);

// Puts the layout and size in force back: the registry, the display
// driver's layout and the display mode.
void restore_desktop_layout(HKEY key);
