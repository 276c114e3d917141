// The host side of the Win32 stand-in: what a test or the simulation sets up
// before the applet runs (registry, files, Windows directory, display device,
// the module's resources) and what it looks at afterwards (message boxes,
// property sheets, device contexts, the order of platform calls). While a
// property sheet runs modally, a script plays the user: it switches pages,
// clicks controls and presses Apply, OK or Cancel.
#pragma once

#include "platform/win32/windows.h"
#include "platform/win32/commctrl.h"

#include "platform/win32/display_device.h"
#include "platform/registry/registry_store.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace win32_host {

// What a failed call leaves in an output buffer whose contents its
// documentation leaves undefined, so that a caller that reads it anyway
// reads this.
constexpr uint8_t kPoisonByte = 0xA5;

// Everything back to a fresh machine: empty registry, no windows, no driver,
// Windows directory "C:\WINNT", no mapped files, no faults, records cleared.
// Loaded modules stay loaded.
void reset();

// ---- the applet's module -----------------------------------------------

struct DialogControl {
    std::string window_class; // "Static", "Button", "Edit"
    std::string text;
    int id = 0;
    int image = 0; // resource id shown by an SS_BITMAP or SS_ICON static
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogTemplate {
    bool extended = false;
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    int font_size = 0;
    std::string font_face;
    std::vector<DialogControl> controls;
};

struct ImageFile {
    std::string path; // on the host
    int width = 0;    // of the bitmap, or of each icon image
    int height = 0;
    int images = 0; // icon images in the file (bitmaps: 1)
};

struct Module {
    std::string script; // the resource script the module was built from
    std::map<std::string, long> symbols;
    std::map<int, DialogTemplate> dialogs;
    std::map<int, std::string> strings;
    std::map<int, ImageFile> icons;
    std::map<int, ImageFile> bitmaps;
};

// Loads the module whose resources the given resource script describes
// (the same script the resource compiler builds into the real binary).
// Throws std::runtime_error with file and line when the script cannot be read.
HINSTANCE load_module(const std::string& resource_script);
const Module& module(HINSTANCE instance);
// Parses a resource script without keeping it.
Module parse_resource_script(const std::string& path);

// ---- registry ----------------------------------------------------------

// Key paths are relative to a predefined key ("SYSTEM\CurrentControlSet\...").
void create_key(HKEY root, const std::string& path);
// The key's values live in `store` (for example a board's device key of the
// simulated machine): what the applet writes there, the miniport reads.
void bind_key(HKEY root, const std::string& path, korvid_host::RegistryKey& store);
void delete_key(HKEY root, const std::string& path);
bool key_exists(HKEY root, const std::string& path);
// Opening the key fails with this status (0: opens normally).
void deny_key(HKEY root, const std::string& path, LONG status = ERROR_ACCESS_DENIED);
// The key opens, but every value written to it fails with this status (the
// call is still recorded; 0: writes succeed).
void refuse_writes(HKEY root, const std::string& path, LONG status = ERROR_ACCESS_DENIED);
// The key opens for reading only: asking for any write right is refused
// with ERROR_ACCESS_DENIED, as for a user without write access to it.
void read_only_key(HKEY root, const std::string& path, bool read_only = true);
void set_value(HKEY root, const std::string& path, const std::string& name, DWORD type,
               const std::vector<uint8_t>& data);
void set_dword(HKEY root, const std::string& path, const std::string& name, DWORD value);
void set_string(HKEY root, const std::string& path, const std::string& name,
                const std::string& value);
// The stored value, or nullptr when absent.
const korvid_host::RegistryValue* value(HKEY root, const std::string& path,
                                        const std::string& name);
// Handles opened by RegOpenKeyExA and not closed yet.
int open_key_handles();

// ---- files and the Windows directory -----------------------------------

void set_windows_directory(const std::string& dir); // "" makes the call fail
// A Windows path (compared without regard to case) that reads a host file.
void map_file(const std::string& windows_path, const std::string& host_path);
// LocalAlloc fails while this is set.
void fail_allocations(bool fail);
int live_allocations();

// ---- display -----------------------------------------------------------

// The display device that answers escapes and display-settings calls (the
// display-driver model); nullptr: none, CreateDCA("display") fails.
void set_display_device(DisplayDevice* device);
DisplayDevice* display_device();
void fail_create_dc(bool fail);
// The CreateDCA calls, counted from now (1: the next one), that fail.
void fail_create_dc_calls(std::set<int> calls);

// Answers escapes in place of the display driver: the hook gets each call
// that ExtEscape passes on and returns true with the result when it
// answered, false to leave the call to the display driver. Empty: none.
using EscapeHook = std::function<bool(int escape, int in_size, const void* in, int out_size,
                                      void* out, int* result)>;
void set_escape_hook(EscapeHook hook);

struct DcCounts {
    int created = 0;
    int deleted = 0;
    int live() const { return created - deleted; }
};
DcCounts dc_counts();

// ---- user interface ----------------------------------------------------

struct MessageBoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// A message box runs a modal loop until the user dismisses it: its owner's
// top-level window is disabled meanwhile, every other window keeps getting
// its messages. The script plays the user while the box is up (it may press
// the buttons of a sheet that the box does not own) and returns the button
// that dismisses the box. Without a script the box is dismissed with OK at
// once.
using MessageBoxScript = std::function<int(const MessageBoxCall& box)>;
void set_message_box_script(MessageBoxScript script);

struct PageRecord {
    DWORD size = 0;
    DWORD flags = 0;
    HINSTANCE instance = nullptr;
    int template_id = 0;
    int icon = 0; // resource id (PSP_USEICONID)
    std::string title;
    DLGPROC procedure = nullptr;
    LPARAM param = 0;
    HWND window = nullptr;        // while the sheet runs, once the page is created
    const void* source = nullptr; // the caller's page record, while the sheet runs
};

struct SheetRecord {
    DWORD size = 0;
    DWORD flags = 0;
    HWND parent = nullptr;
    HINSTANCE instance = nullptr;
    int icon = 0; // resource id (PSH_USEICONID)
    std::string caption;
    UINT start_page = 0;
    std::vector<PageRecord> pages;
    INT_PTR result = 0;
};

// The running property sheet, handed to the script.
class Sheet {
  public:
    explicit Sheet(SheetRecord& record, HWND window) : record_(record), window_(window) {}
    const SheetRecord& record() const { return record_; }
    HWND window() const { return window_; }
    int current() const { return current_; }
    HWND page(int index) const { return record_.pages.at(index).window; }
    bool created(int index) const { return page(index) != nullptr; }
    // The user picks a tab: the page is created the first time it is shown.
    void select(int index);
    // The user clicks a control of the current page; false when the control
    // is missing, hidden or disabled (nothing happens then).
    bool click(int control);
    bool apply_enabled() const { return apply_enabled_; }
    // The Apply button; false when it is disabled or a page refused the
    // change (PSN_KILLACTIVE or PSN_APPLY answered through DWL_MSGRESULT).
    bool apply();
    // OK ends the sheet unless a page refused the change.
    void ok();
    void cancel();
    // OK or Cancel ended the sheet. Its loop destroys it once the message
    // that ended it has returned there: pressed while a message box is up,
    // the sheet stays until the code that showed the box has finished.
    bool ended() const { return ended_; }
    bool closed() const { return closed_; }

    // Used by the stand-in.
    void changed(HWND page);
    void create_page(int index);
    bool send_apply(bool closing);
    void close();

  private:
    // The user can reach the sheet: not ended, and not disabled by a box.
    bool usable() const;
    // Back in the sheet's own loop: an ended sheet is destroyed.
    void settle();
    // Shows page `index`, created when first shown, without asking the page
    // shown so far.
    void show(int index);
    bool ended_ = false;
    SheetRecord& record_;
    HWND window_;
    int current_ = -1;
    bool apply_enabled_ = false;
    bool applied_ = false;
    bool closed_ = false;
};

// Runs while PropertySheetA is in its modal loop; when the script returns
// with the sheet still open, the sheet is cancelled. Without a script the
// sheet is cancelled right after it opens.
void set_sheet_script(std::function<void(Sheet&)> script);
const std::vector<SheetRecord>& sheets();

// Sends a message to a window as SendMessageA does.
LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

} // namespace win32_host
