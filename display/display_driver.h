// The display driver of the board family, as far as the rest of the system
// meets it: it answers the Control Panel applet's private escapes, keeps the
// desktop layout, and lists and sets the display modes that the system's
// display-settings calls ask for. Its mode list holds the desktop sizes of
// the layout in force (twice the width for Double Wide, twice the height for
// Two Tall, the width times the board count for Multi Board) and is built
// afresh when mode 0 is asked for. Every answer can be configured and every
// step made to fail, so that the applet can be exercised against
// well-behaved and broken drivers.
//
// On its own the driver offers a fixed list of one-board modes; attached to
// a DisplayBoards (display_boards.h) it takes them from the miniport and
// sets every mode change on the simulated boards.
#pragma once

// The escape codes and their values, as the applet sends them.
#include "applet/escapes.h"
// What the Win32 stand-in asks of a display device.
#include "platform/win32/display_device.h"

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sim {

// How an escape misbehaves.
enum class EscapeFault {
    None,
    Unsupported,    // result 0, nothing written: the driver does not know the escape
    Fail,           // result 0, nothing written
    FailAfterWrite, // the answer is written, and the result is 0 all the same
    Error,          // result -1: the call itself failed
    SilentSuccess,  // result 1, nothing written
};

using win32_host::DisplayMode;

struct EscapeCall {
    uint32_t code;
    uint32_t input; // first 32-bit value of the input (0 when shorter)
    uint32_t in_size;
    uint32_t out_size;
    int32_t result;
};

struct ModeChange {
    DisplayMode mode;
    bool test;
    bool update_registry;
    int32_t result;
};

// Results of a mode change, as the platform numbers them.
constexpr int32_t kDispChangeSuccessful = 0;
constexpr int32_t kDispChangeRestart = 1;
constexpr int32_t kDispChangeFailed = -1;
constexpr int32_t kDispChangeBadMode = -2;

// What the display driver asks of the boards underneath it.
class DisplayBackend {
  public:
    virtual ~DisplayBackend() = default;
    // The layout changed (ESC_SET_VIRTUAL_LAYOUT); false when the boards refused it.
    virtual bool set_layout(uint32_t layout) = 0;
    // The desktop modes the boards offer in `layout`, in list order.
    virtual std::vector<DisplayMode> desktop_modes(uint32_t layout) = 0;
    // Shows the desktop `mode` in `layout`; false when the boards refused.
    virtual bool set_desktop(const DisplayMode& mode, uint32_t layout) = 0;
};

class DisplayDriver : public win32_host::DisplayDevice {
  public:
    DisplayDriver();

    // ---- what the driver reports -------------------------------------
    uint32_t family = 3;
    // Copied into the caller's buffers byte for byte: a text of
    // BIOS_TEXT_SIZE bytes or more fills its buffer with no terminating zero.
    std::array<std::string, BIOS_TEXT_COUNT> bios_texts;
    uint32_t board_index = 1;
    uint32_t board_count = 1;
    // The layout in force (ESC_SET_VIRTUAL_LAYOUT changes it), and layout
    // codes the driver refuses.
    uint32_t layout = LAYOUT_NORMAL;
    std::set<uint32_t> refused_layouts;

    // ---- misbehaviour ------------------------------------------------
    void set_fault(uint32_t escape, EscapeFault fault) { faults_[escape] = fault; }
    void clear_faults() { faults_.clear(); }

    // An escape as ExtEscape hands it over. Returns the driver's result:
    // 0 for failure or an unknown escape, positive for success.
    int32_t escape(uint32_t code, uint32_t in_size, const void* in, uint32_t out_size,
                   void* out) override;
    std::vector<EscapeCall> escapes;

    // ---- display modes -----------------------------------------------
    // The one-board modes in Normal Mode, when no boards are attached.
    std::vector<DisplayMode> board_modes;
    DisplayMode current;
    // The mode the last change with CDS_UPDATEREGISTRY stored.
    DisplayMode registry_mode;
    // Forced results (kDispChangeSuccessful: none) of mode tests and of
    // real mode changes, and failures of the mode queries.
    int32_t test_fault = kDispChangeSuccessful;
    int32_t change_fault = kDispChangeSuccessful;
    bool fail_current_mode = false;
    bool fail_mode_list = false;

    // The desktop sizes of `layout` at every one-board mode.
    std::vector<DisplayMode> desktop_modes(uint32_t layout);
    // The list as last built.
    const std::vector<DisplayMode>& listed() const { return listed_; }

    // Mode number `index` of the list; false past its end. Asking for
    // mode 0 makes the driver build its list afresh.
    bool enum_mode(uint32_t index, DisplayMode& mode) override;
    bool current_mode(DisplayMode& mode) const override;
    // The mode last stored (registry_mode), which the system sets at its
    // next start.
    bool stored_mode(DisplayMode& mode) const override;
    DisplayMode mode_in_force() const override { return current; }
    // A mode change as ChangeDisplaySettingsA asks for it: a test only
    // checks that the mode is listed.
    int32_t change_mode(const DisplayMode& mode, bool test, bool update_registry) override;
    unsigned mode_list_reads = 0;
    std::vector<ModeChange> mode_changes;

    // Runs the driver on boards; null detaches them.
    void attach(DisplayBackend* boards);

  private:
    int32_t answer(uint32_t code, uint32_t in_size, const void* in, uint32_t out_size, void* out);
    bool set_layout(uint32_t code);
    std::map<uint32_t, EscapeFault> faults_;
    std::vector<DisplayMode> listed_;
    DisplayBackend* boards_ = nullptr;
};

} // namespace sim
