// Inside the Win32 stand-in: the one record of everything the host keeps.
#pragma once

#include "platform/win32/host.h"
#include "platform/registry/registry_store.h"
#include "support/text_format.h"

#include <memory>
#include <set>

namespace win32_host {

struct Window {
    enum class Kind { Sheet, Dialog, Static, Button, Edit };
    Kind kind = Kind::Static;
    std::string text;
    int id = 0;
    int image = 0;
    DWORD style = 0;
    bool checked = false;
    Window* parent = nullptr;
    std::vector<Window*> children;
    DLGPROC procedure = nullptr;
    int template_id = 0;
    LONG msg_result = 0;    // a dialog's DWL_MSGRESULT
    LONG user_data = 0;     // a dialog's DWL_USER
    Sheet* sheet = nullptr; // a sheet's scripting record
};

struct Key {
    korvid_host::RegistryKey own;
    korvid_host::RegistryKey* bound = nullptr;
    LONG deny = ERROR_SUCCESS;
    LONG refuse_writes = ERROR_SUCCESS; // status of every RegSetValueExA
    bool read_only = false;             // write rights are refused at opening
    korvid_host::RegistryKey& values() { return bound ? *bound : own; }
};

struct OpenKey {
    std::string path; // full, with the predefined root's name
    REGSAM access;
};

struct State {
    // Registry: full key path in upper case -> key.
    std::map<std::string, Key> keys;
    std::map<HKEY, OpenKey> open_keys;
    uintptr_t next_key = 0x1000;

    std::string windows_directory = "C:\\WINNT";
    std::map<std::string, std::string> files; // upper-case Windows path -> host path
    bool fail_allocations = false;
    std::set<void*> allocations;
    std::map<const void*, size_t> version_blocks; // filled by GetFileVersionInfoA

    DisplayDevice* display = nullptr;
    bool fail_create_dc = false;
    std::set<int> failing_dc_calls; // numbers of CreateDCA calls since they were set
    int dc_calls = 0;
    EscapeHook escape_hook;
    std::set<HDC> dcs;
    uintptr_t next_dc = 0x2000;
    DcCounts dc_counts;

    std::vector<MessageBoxCall> message_boxes;
    MessageBoxScript message_box_script;
    int message_loops = 0; // modal loops of message boxes now running
    std::vector<std::string> calls;
    bool common_controls = false;

    std::map<Window*, std::unique_ptr<Window>> windows;
    std::function<void(Sheet&)> sheet_script;
    std::vector<SheetRecord> sheets;

    // Modules stay loaded across reset().
    std::vector<std::unique_ptr<Module>> modules;
};

State& state();
void record_call(const std::string& line);
// Fills an output the failed call leaves undefined with kPoisonByte.
void poison(void* out, size_t bytes);
using sim::upper;

Window* window(HWND handle); // nullptr for a handle that is no live window
HWND handle(Window* window);
Window* create_window(Window::Kind kind, Window* parent);
void destroy_window(Window* window);
// Builds a dialog from a module's template and sends it WM_INITDIALOG.
Window* create_dialog(HINSTANCE instance, int template_id, Window* parent, DLGPROC procedure,
                      LPARAM init_param);
Window* child(Window* dialog, int id);
// The user clicks a button of a dialog; false when nothing happens.
bool click(Window* dialog, int id);
// A button's BS_ type; ~0 for a window that is no button.
DWORD button_type(const Window* window);
// The top-level window a window belongs to (itself when it has no parent).
Window* top_level(Window* window);

// A module's icon is this handle with its resource id in the low word.
constexpr uintptr_t kIconHandleBase = 0x00400000;

} // namespace win32_host
