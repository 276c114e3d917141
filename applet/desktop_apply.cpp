// Apply on the desktop page: tell the display driver the new layout, change
// to the desktop size that belongs to it, and store the layout where the
// miniport reads it at its next start. A change that fails is undone; the
// page shows the error.
#include "applet/applet.h"
#include "applet/desktop.h"
#include "applet/escapes.h"

namespace {

// The errors an Apply reports; null for none.
const char CURRENT_MODE_ERROR[] = "Could not get current mode";
const char MODE_REGISTRY_ERROR[] = "Could not update registry after changing into mode";
const char LAYOUT_REGISTRY_ERROR[] = "Could not update registry for virtual data";
const char MODE_TEST_ERROR[] = "Could not test change into the requested mode";
const char ESCAPE_ERROR[] = "Escape to driver could not be executed";
const char MULTI_MODE_ERROR[] =
    "Could not change into the requested multi mode, change resolutions and try again";

struct TARGET_SIZE {
    bool intermediate; // back to Normal Mode at the intermediate size first
    DWORD intermediate_width, intermediate_height;
    DWORD width, height;
};

bool mode_changed(LONG result)
{
    return result == DISP_CHANGE_SUCCESSFUL || result == DISP_CHANGE_RESTART;
}

void set_size(DEVMODEA* mode, DWORD width, DWORD height)
{
    mode->dmPelsWidth = width;
    mode->dmPelsHeight = height;
}

// The desktop size of layout `to` coming from the layout in force `from`
// (the mode in force is `width` x `height`). Sizes of a multi-board desktop
// are divided by the board count; divisions truncate.
TARGET_SIZE target_size(const LAYOUT_FLAGS& to, const DESKTOP_LAYOUT& from, DWORD width,
                        DWORD height, DWORD board_count)
{
    const LAYOUT_FLAGS& old = from.flags;
    DWORD boards = board_count != 0 ? board_count : 1;
    DWORD old_width = from.width, old_height = from.height;
    DWORD spanned = old.multi_board == MULTI_BOARD_ON ? boards : 1;
    DWORD tall = old.two_tall != 0 ? 2 : 1;
    DWORD wide = old.double_wide != 0 ? 2 : 1;
    if (to.multi_board == MULTI_BOARD_ON && old.multi_board == MULTI_BOARD_OFF) {
        if (old.double_wide != 0)
            return {true, old_width / 2, old_height, boards * (old_width / 2), old_height};
        if (old.two_tall != 0)
            return {false, 0, 0, boards * old_width, old_height / 2};
        return {false, 0, 0, boards * width, height};
    }
    if (to.double_wide == 1 && old.double_wide == 0)
        return {true, old_width / spanned, old_height / tall, 2 * (old_width / spanned),
                old_height / tall};
    if (to.two_tall == 1 && old.two_tall == 0)
        return {false, 0, 0, (old_width / spanned) / wide, 2 * old_height};
    if (to.multi_board == MULTI_BOARD_OFF && old.multi_board == MULTI_BOARD_ON)
        return {false, 0, 0, old_width / boards, height};
    if (to.double_wide == 0 && to.two_tall == 0 && old.double_wide != 0)
        return {false, 0, 0, (old_width / spanned) / 2, old_height};
    if (to.double_wide == 0 && to.two_tall == 0 && old.two_tall != 0)
        return {false, 0, 0, old_width / spanned, old_height / 2};
    return {false, 0, 0, width, height};
}

// Back to Normal Mode at the intermediate size. Failures are only
// remembered: the final step is tried all the same.
const char* intermediate_step(DEVMODEA* mode, const TARGET_SIZE& size)
{
    const char* error = NULL;
    if (!send_layout(NORMAL_FLAGS))
        error = ESCAPE_ERROR;
    refresh_mode_list();
    set_size(mode, size.intermediate_width, size.intermediate_height);
    if (!mode_changed(ChangeDisplaySettingsA(mode, CDS_UPDATEREGISTRY)))
        error = MODE_TEST_ERROR;
    set_size(mode, size.width, size.height);
    return error;
}

// Puts the layout and the size in force back: the registry, the display
// driver's layout and the display mode.
void restore(HKEY key, DEVMODEA* mode)
{
    const DESKTOP_LAYOUT& in_force = current_layout;
    DWORD code;
    // A layout in force that was never read has nothing to put back.
    if (layout_code(in_force.flags, &code))
        store_layout(key, in_force.flags);
    send_layout(in_force.flags);
    set_size(mode, in_force.width, in_force.height);
    refresh_mode_list();
    if (in_force.width != 0 && in_force.height != 0)
        ChangeDisplaySettingsA(mode, CDS_UPDATEREGISTRY);
}

// The new layout at its size; the layout in force is put back when it
// fails. Returns the error to show, which may be one the intermediate step
// remembered.
const char* final_step(HKEY key, DEVMODEA* mode, const LAYOUT_FLAGS& to, const TARGET_SIZE& size,
                       const char* error)
{
    const char* failure = NULL;
    bool escaped = send_layout(to);
    refresh_mode_list();
    if (!escaped)
        failure = ESCAPE_ERROR;
    else if (!mode_changed(ChangeDisplaySettingsA(mode, CDS_TEST)))
        failure = to.multi_board == MULTI_BOARD_ON ? MULTI_MODE_ERROR : MODE_TEST_ERROR;
    // Without the stored layout the miniport would start in the old one
    // while the display driver runs the new one: undo it all instead.
    else if (!store_layout(key, to))
        failure = LAYOUT_REGISTRY_ERROR;
    else if (!mode_changed(ChangeDisplaySettingsA(mode, CDS_UPDATEREGISTRY)))
        failure = MODE_REGISTRY_ERROR;
    if (failure) {
        restore(key, mode);
        return failure;
    }
    current_layout = {to, size.width, size.height};
    return error;
}

} // namespace

APPLY_RESULT apply_desktop_layout(const DESKTOP_PAGE& page)
{
    const LAYOUT_FLAGS& to = page.choice;
    refresh_mode_list();
    DEVMODEA mode;
    if (!read_current_mode(&mode))
        return {CURRENT_MODE_ERROR, true};
    TARGET_SIZE size =
        target_size(to, current_layout, mode.dmPelsWidth, mode.dmPelsHeight, page.board_count);
    const char* error = size.intermediate ? intermediate_step(&mode, size) : NULL;
    if (!size.intermediate)
        set_size(&mode, size.width, size.height);
    return {final_step(page.key, &mode, to, size, error), false};
}

void restore_desktop_layout(HKEY key)
{
    DEVMODEA mode;
    clear_mode(&mode);
    restore(key, &mode);
}
