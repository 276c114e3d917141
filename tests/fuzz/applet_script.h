// The applet fuzzer's input format: how the display driver answers (its
// configured answers, then a list of escape plans taken one per escape in
// call order), what the display-settings calls do, what the registry holds,
// and what the user does with the Control Panel item and its sheet. The seed
// generator writes the same format, so every seed decodes into the session
// it was made from.
//
// Layout, byte by byte (words little-endian):
//   driver    family (selector), board index (word), board count (word),
//             layout in force (selector), three BIOS texts (length, bytes)
//   display   flags (kDisplay*), mode-test result, mode-change result,
//             one-board mode count, the modes (width 2, height 2, depth,
//             rate), mode in force (index, or kCustomMode and a mode)
//   registry  MCD key (state, "Enable"), layout key (state, "DoubleWide",
//             "TwoTall")
//   directory length selector of the Windows directory
//   contexts  bit k set: the (k+1)-th device context cannot be created
//   plans     count, then per plan: mode, result word (kPlanResultWord),
//             data (length, bytes) for answers of the plan's own
//   actions   the rest: one operation byte and its arguments each
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz_tests {

// A byte below kWordFollows is the value itself; otherwise a word follows.
constexpr uint8_t kWordFollows = 0xF0;

// Display flags.
constexpr uint8_t kDisplayFailCurrent = 0x01; // the mode in force cannot be read
constexpr uint8_t kDisplayFailList = 0x02;    // the mode list cannot be read

// Results of ChangeDisplaySettingsA: a selector below kResultWord picks one
// of the platform's results (anything past the table succeeds).
constexpr uint8_t kResultWord = 0xFF;

// Mode count limit and the selector of a mode in force outside the list.
constexpr size_t kMaxModes = 15;
constexpr uint8_t kCustomMode = 0xFF;

enum class KeyState : uint8_t { Missing, Present, Denied, ReadOnly, RefusesWrites };

// A registry value: absent (kind kValueAbsent), or a type and its bytes.
constexpr uint8_t kValueAbsent = 0;
constexpr uint8_t kValueTypeWord = 0xFF;
constexpr size_t kMaxValueBytes = 31;

struct ValueChoice {
    bool present = false;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct KeyChoice {
    KeyState state = KeyState::Present;
    std::vector<ValueChoice> values; // in the order the format names them
};

struct ModeChoice {
    uint16_t width = 0, height = 0;
    uint8_t bits_per_pixel = 0, frequency = 0;
};

struct DisplayChoice {
    uint8_t flags = 0;
    int32_t test_result = 0;
    int32_t change_result = 0;
};

// Escape plan mode bits: who answers, and which result the applet sees.
constexpr uint8_t kPlanOwnAnswer = 0x01;   // the plan's data, not the driver model
constexpr uint8_t kPlanResultShift = 1;    // bits 1-2:
constexpr uint8_t kPlanResultMask = 0x3;   //
constexpr uint8_t kPlanResultAnswerer = 0; //   the answerer's (own answers: 1)
constexpr uint8_t kPlanResultZero = 1;     //   0: not done
constexpr uint8_t kPlanResultNegative = 2; //   -1: the call failed
constexpr uint8_t kPlanResultWord = 3;     //   the plan's word
constexpr size_t kMaxPlanData = 63;

struct EscapePlan {
    uint8_t mode = 0;
    int32_t result = 0;
    std::vector<uint8_t> data;
};

enum class Op : uint8_t {
    OpenSheet,    // CPL_DBLCLK; the sheet's operations follow
    Select,       // a = page
    Click,        // a = control (index into the page's template controls)
    Apply,        //
    Ok,           // closes the sheet
    Cancel,       // closes the sheet
    Command,      // WM_COMMAND to the page: a = control id, b = notification code
    Notify,       // WM_NOTIFY to the page: a = code selector
    ControlPanel, // CPlApplet: a = message, b = item index
    Display,      // new display-settings behaviour: display
    Driver,       // a = layout in force, b = board count
    Count,
};

struct Action {
    Op op = Op::OpenSheet;
    uint32_t a = 0, b = 0;
    DisplayChoice display;
};

constexpr size_t kMaxActions = 200;

struct AppletInput {
    uint32_t family = 3;
    uint32_t board_index = 1;
    uint32_t board_count = 1;
    uint32_t layout = 0;
    std::string bios[3];
    DisplayChoice display;
    std::vector<ModeChoice> modes; // empty: the model's own list
    bool custom_current = false;
    uint8_t current_index = 0;
    ModeChoice current;
    KeyChoice mcd_key;     // "Enable"
    KeyChoice layout_key;  // "DoubleWide", "TwoTall"
    uint8_t directory = 0; // 0: C:\WINNT; kNoDirectory: none; else that many characters
    uint8_t failing_contexts = 0;
    std::vector<EscapePlan> plans;
    std::vector<Action> actions;
};

constexpr uint8_t kNoDirectory = 0xFF;

AppletInput read_input(const uint8_t* data, size_t size);
std::vector<uint8_t> write_input(const AppletInput& input);

} // namespace fuzz_tests
