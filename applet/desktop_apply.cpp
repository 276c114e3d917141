// Apply on the desktop page: tell the display driver the new layout, change
// to the desktop size that belongs to it, and store the layout where the
// miniport reads it at its next start. A change that fails is undone and
// reported.
#include "applet.h"
#include "desktop.h"
#include "escapes.h"

namespace {

enum ApplyError {
    APPLY_OK = 0,
    APPLY_ERR_MODE_REGISTRY = 1,
    APPLY_ERR_LAYOUT_REGISTRY = 2,
    APPLY_ERR_MODE_TEST = 3,
    APPLY_ERR_ESCAPE = 4,
    APPLY_ERR_MULTI_MODE = 5,
};

const char* const APPLY_ERROR_TEXTS[] = {
    "",
    "Could not update registry after changing into mode",
    "Could not update registry for virtual data",
    "Could not test change into the requested mode",
    "Escape to driver could not be executed",
    "Could not change into the requested multi mode, change resolutions and try again",
};

struct TARGET_SIZE {
    bool intermediate; // back to Normal Mode at the intermediate size first
    DWORD intermediate_width, intermediate_height;
    DWORD width, height;
};

void show_error(const char* text)
{
    refresh_mode_list();
    MessageBoxA(NULL, text, "ERROR", MB_OK | MB_ICONERROR);
    refresh_mode_list();
}

bool mode_changed(LONG result)
{
    return result == DISP_CHANGE_SUCCESSFUL || result == DISP_CHANGE_RESTART;
}

void set_size(DEVMODEA* mode, DWORD width, DWORD height)
{
    mode->dmPelsWidth = width;
    mode->dmPelsHeight = height;
}

// The desktop size of layout `r` coming from `s` (its size W x H; the mode
// in force w x h). Sizes of a multi-board desktop are divided by the board
// count; divisions truncate.
TARGET_SIZE target_size(const LAYOUT_FLAGS& r, const DESKTOP_LAYOUT& s, DWORD w, DWORD h)
{
    DWORD n = board_count != 0 ? board_count : 1;
    DWORD W = s.Width, H = s.Height;
    DWORD m = s.MultiBoardFlag == MULTI_BOARD_ON ? n : 1;
    DWORD tall = s.TwoTall != 0 ? 2 : 1;
    DWORD wide = s.DoubleWide != 0 ? 2 : 1;
    if (r.MultiBoardFlag == MULTI_BOARD_ON && s.MultiBoardFlag == MULTI_BOARD_OFF) {
        if (s.DoubleWide != 0)
            return {true, W / 2, H, n * (W / 2), H};
        if (s.TwoTall != 0)
            return {false, 0, 0, n * W, H / 2};
        return {false, 0, 0, n * w, h};
    }
    if (r.DoubleWide == 1 && s.DoubleWide == 0)
        return {true, W / m, H / tall, 2 * (W / m), H / tall};
    if (r.TwoTall == 1 && s.TwoTall == 0)
        return {false, 0, 0, (W / m) / wide, 2 * H};
    if (r.MultiBoardFlag == MULTI_BOARD_OFF && s.MultiBoardFlag == MULTI_BOARD_ON)
        return {false, 0, 0, W / n, h};
    if (r.DoubleWide == 0 && r.TwoTall == 0 && s.DoubleWide != 0)
        return {false, 0, 0, (W / m) / 2, H};
    if (r.DoubleWide == 0 && r.TwoTall == 0 && s.TwoTall != 0)
        return {false, 0, 0, W / m, H / 2};
    return {false, 0, 0, w, h};
}

// Back to Normal Mode at the intermediate size. Failures are only
// remembered: the final step is tried all the same.
ApplyError intermediate_step(DEVMODEA* mode, const TARGET_SIZE& t)
{
    ApplyError error = APPLY_OK;
    if (!send_layout(NORMAL_FLAGS))
        error = APPLY_ERR_ESCAPE;
    refresh_mode_list();
    set_size(mode, t.intermediate_width, t.intermediate_height);
    if (!mode_changed(ChangeDisplaySettingsA(mode, CDS_UPDATEREGISTRY)))
        error = APPLY_ERR_MODE_TEST;
    set_size(mode, t.width, t.height);
    return error;
}

// Puts the layout and the size in force back: the choice, the registry, the
// display driver's layout and the display mode.
void restore(DEVMODEA* mode)
{
    const DESKTOP_LAYOUT& s = current_layout;
    LAYOUT_FLAGS flags = flags_of(s);
    set_flags(desktop_settings, flags);
    DWORD code;
    // A layout in force that was never read has nothing to put back.
    if (desktop_layout_code(flags, &code))
        store_layout(flags);
    send_layout(flags);
    set_size(mode, s.Width, s.Height);
    refresh_mode_list();
    if (s.Width != 0 && s.Height != 0)
        ChangeDisplaySettingsA(mode, CDS_UPDATEREGISTRY);
}

// The new layout at its size. Returns the error to show, which may be one
// the intermediate step remembered.
ApplyError final_step(DEVMODEA* mode, const LAYOUT_FLAGS& r, const TARGET_SIZE& t, ApplyError error)
{
    bool escaped = send_layout(r);
    refresh_mode_list();
    if (!escaped) {
        restore(mode);
        return APPLY_ERR_ESCAPE;
    }
    if (!mode_changed(ChangeDisplaySettingsA(mode, CDS_TEST))) {
        restore(mode);
        return r.MultiBoardFlag == MULTI_BOARD_ON ? APPLY_ERR_MULTI_MODE : APPLY_ERR_MODE_TEST;
    }
    // Without the stored layout the miniport would start in the old one
    // while the display driver runs the new one: undo it all instead.
    if (!store_layout(r)) {
        restore(mode);
        return APPLY_ERR_LAYOUT_REGISTRY;
    }
    if (!mode_changed(ChangeDisplaySettingsA(mode, CDS_UPDATEREGISTRY))) {
        restore(mode);
        return APPLY_ERR_MODE_REGISTRY;
    }
    current_layout = {r.DoubleWide, t.width, r.TwoTall, r.MultiBoardFlag, t.height};
    return error;
}

// Set while an Apply runs. Its error boxes have no owner window, so the
// sheet stays enabled while one is up and the user can press Apply or OK
// again: the sheet then sends PSN_APPLY from inside the box.
bool apply_running;

void apply_layout(HWND dialog)
{
    LAYOUT_FLAGS r = flags_of(desktop_settings);
    if (same_flags(r, flags_of(current_layout)))
        return;

    refresh_mode_list();
    DEVMODEA mode;
    if (!read_current_mode(&mode)) {
        show_error("Could not get current mode");
        restore(&mode);
        set_up_desktop_controls(dialog);
        return;
    }
    TARGET_SIZE t = target_size(r, current_layout, mode.dmPelsWidth, mode.dmPelsHeight);
    ApplyError error = t.intermediate ? intermediate_step(&mode, t) : APPLY_OK;
    if (!t.intermediate)
        set_size(&mode, t.width, t.height);
    error = final_step(&mode, r, t, error);
    if (error != APPLY_OK)
        show_error(APPLY_ERROR_TEXTS[error]);
    set_up_desktop_controls(dialog);
}

} // namespace

// A second Apply while one runs changes nothing: the first one finishes its
// steps, its restore, its writes and its message as it would alone.
void apply_desktop_layout(HWND dialog)
{
    if (apply_running)
        return;
    apply_running = true;
    apply_layout(dialog);
    apply_running = false;
}
