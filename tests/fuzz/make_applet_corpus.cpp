// Writes the applet fuzzer's seed corpus: sessions a user really has with the
// Control Panel item, against a well-behaved display driver and against one
// that fails in each of the ways the applet must survive. Run:
// make_applet_corpus <directory>.
#include "tests/fuzz/applet_script.h"

#include "applet/escapes.h"
#include "support/le_words.h"

#include <cstdio>
#include <string>

using namespace fuzz_tests;

namespace {

constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegSz = 1;
constexpr uint8_t kModel = 0;
constexpr uint8_t kOwn = kPlanOwnAnswer;
constexpr uint8_t kZero = kPlanResultZero << kPlanResultShift;
constexpr uint8_t kNegative = kPlanResultNegative << kPlanResultShift;
constexpr uint8_t kWord = kPlanResultWord << kPlanResultShift;
constexpr int32_t kDispChangeFailed = -1;
constexpr int32_t kDispChangeBadMode = -2;

// Indices of controls in the pages' templates are looked up by the fuzzer;
// these pick the desktop page's radio buttons and the MCD check box in the
// order the templates list them.
constexpr uint32_t kPickNormal = 1, kPickDoubleWide = 3, kPickTwoTall = 4, kPickMulti = 6;
constexpr uint32_t kPickMcd = 1;

ValueChoice dword_value(uint32_t v)
{
    return {true, kRegDword, sim::le::words({v})};
}

AppletInput base(uint32_t family = 3)
{
    AppletInput in;
    in.family = family;
    in.board_count = 2;
    in.bios[0] = "Halcyra 3D BIOS";
    in.bios[1] = "Version 1.06";
    in.bios[2] = "08/14/97";
    in.mcd_key.values = {dword_value(1)};
    in.layout_key.values = {dword_value(0), dword_value(0)};
    return in;
}

Action op(Op o, uint32_t a = 0, uint32_t b = 0)
{
    Action x;
    x.op = o;
    x.a = a;
    x.b = b;
    return x;
}

// Opens the sheet, visits every page, changes each page once, applies, OK.
std::vector<Action> full_session(uint32_t layout_pick)
{
    return {op(Op::ControlPanel, 1),
            op(Op::ControlPanel, 8),
            op(Op::OpenSheet),
            op(Op::Select, 1),
            op(Op::Click, layout_pick),
            op(Op::Select, 2),
            op(Op::Click, kPickMcd),
            op(Op::Apply),
            op(Op::Select, 1),
            op(Op::Click, kPickNormal),
            op(Op::Ok),
            op(Op::OpenSheet),
            op(Op::Select, 1),
            op(Op::Cancel)};
}

EscapePlan plan(uint8_t mode, std::vector<uint8_t> data = {}, int32_t result = 0)
{
    return {mode, result, std::move(data)};
}

void write(const std::string& dir, const std::string& name, const AppletInput& in)
{
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::vector<uint8_t> bytes = write_input(in);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

void families(const std::string& dir)
{
    for (uint32_t family : {2u, 3u, 4u, 0u, 9u}) {
        AppletInput in = base(family);
        in.actions = full_session(kPickDoubleWide);
        write(dir, "family-" + std::to_string(family), in);
    }
}

void layouts(const std::string& dir)
{
    const std::pair<const char*, uint32_t> picks[] = {
        {"double-wide", kPickDoubleWide}, {"two-tall", kPickTwoTall}, {"multi", kPickMulti}};
    for (auto [name, pick] : picks)
        for (uint32_t start : {0u, 1u, 2u, 3u}) {
            AppletInput in = base();
            in.layout = start;
            in.actions = full_session(pick);
            write(dir, std::string("layout-") + std::to_string(start) + "-to-" + name, in);
        }
}

// Each escape the sheet's opening sends, answered in each broken way.
void escape_faults(const std::string& dir)
{
    const std::pair<const char*, EscapePlan> faults[] = {
        {"zero", plan(kModel | kZero)},
        {"negative", plan(kModel | kNegative)},
        {"written-then-zero", plan(kOwn | kZero, {3, 0, 0, 0})},
        {"large", plan(kOwn | kWord, {0xFF, 0xFF, 0xFF, 0xFF}, 0x7FFFFFFF)},
    };
    // Opening order: family, BIOS data, board index, then the desktop page's
    // virtual layout, board count and multi-board escapes.
    for (size_t at = 0; at < 6; ++at)
        for (auto& [name, fault] : faults) {
            AppletInput in = base();
            in.plans.assign(at, plan(kModel));
            in.plans.push_back(fault);
            in.actions = full_session(kPickMulti);
            write(dir, "escape-" + std::to_string(at) + "-" + name, in);
        }
}

// The Control Panel's other messages, and messages the pages may hear from
// the sheet or from controls that are not theirs.
void messages(const std::string& dir)
{
    AppletInput in = base();
    for (uint32_t message : {1u, 2u, 3u, 4u, 6u, 7u, 9u, 99u})
        in.actions.push_back(op(Op::ControlPanel, message));
    in.actions.push_back(op(Op::ControlPanel, 8, 1));
    in.actions.push_back(op(Op::OpenSheet));
    for (uint32_t page : {0u, 1u, 2u}) {
        in.actions.push_back(op(Op::Select, page));
        for (uint32_t code : {0u, 1u, 2u, 3u, 77u})
            in.actions.push_back(op(Op::Notify, code));
        in.actions.push_back(op(Op::Command, 1, 0));
        in.actions.push_back(op(Op::Command, 1003, 5));
    }
    in.actions.push_back(op(Op::Ok));
    write(dir, "messages", in);
}

void driver_answers(const std::string& dir)
{
    AppletInput in = base();
    in.bios[0] = std::string(20, 'A');
    in.bios[1] = std::string(40, 'B');
    in.bios[2] = "";
    in.actions = {op(Op::OpenSheet), op(Op::Ok)};
    write(dir, "bios-unterminated", in);

    in = base();
    std::vector<uint8_t> texts(60, 'x');
    in.plans = {plan(kModel), plan(kOwn, texts), plan(kOwn, {0xFF, 0xFF, 0xFF, 0xFF})};
    in.actions = {op(Op::OpenSheet), op(Op::Ok)};
    write(dir, "own-answers", in);

    for (uint32_t count : {0u, 1u, 0xFFFFFFFFu}) {
        in = base();
        in.board_count = count;
        in.actions = full_session(kPickMulti);
        write(dir, "board-count-" + std::to_string(count), in);
    }

    in = base();
    in.board_index = 0x80000000;
    in.plans = {plan(kModel), plan(kModel),
                plan(kModel), plan(kOwn, {7, 7, 7, 7, 9, 9, 9, 9}), // layout flags of any value
                plan(kModel), plan(kOwn, {3, 0, 0, 0})};
    in.actions = full_session(kPickTwoTall);
    write(dir, "odd-layout-flags", in);
}

void display_faults(const std::string& dir)
{
    const std::pair<const char*, DisplayChoice> faults[] = {
        {"current", {kDisplayFailCurrent, 0, 0}},
        {"list", {kDisplayFailList, 0, 0}},
        {"test", {0, kDispChangeBadMode, 0}},
        {"change", {0, 0, kDispChangeFailed}},
    };
    for (auto& [name, fault] : faults) {
        AppletInput in = base();
        in.actions = full_session(kPickDoubleWide);
        // The page starts well; the display settings fail at Apply.
        Action change = op(Op::Display);
        change.display = fault;
        in.actions.insert(in.actions.begin() + 5, change);
        write(dir, std::string("display-") + name, in);
    }
    AppletInput in = base();
    in.modes = {{800, 600, 8, 60}, {1024, 768, 16, 75}, {1, 1, 32, 0}};
    in.current_index = 2;
    in.actions = full_session(kPickDoubleWide);
    write(dir, "display-tiny-mode", in);
}

void registry(const std::string& dir)
{
    for (KeyState state :
         {KeyState::Missing, KeyState::Denied, KeyState::ReadOnly, KeyState::RefusesWrites}) {
        std::string name = std::to_string(static_cast<int>(state));
        AppletInput in = base();
        in.mcd_key.state = state;
        in.actions = full_session(kPickTwoTall);
        write(dir, "mcd-key-" + name, in);
        in = base();
        in.layout_key.state = state;
        in.actions = full_session(kPickTwoTall);
        write(dir, "layout-key-" + name, in);
    }
    const std::pair<const char*, ValueChoice> values[] = {
        {"string", {true, kRegSz, {'1', 0}}},
        {"short", {true, kRegDword, {1, 0}}},
        {"long", {true, kRegDword, {5, 0, 0, 0, 0, 0, 0, 0}}},
        {"empty", {true, kRegDword, {}}},
        {"five", dword_value(5)},
    };
    for (auto& [name, value] : values) {
        AppletInput in = base();
        in.mcd_key.values = {value};
        in.layout_key.values = {value, value};
        // Without the virtual-layout answer the stored layout counts.
        in.plans = {plan(kModel), plan(kModel), plan(kModel), plan(kModel | kZero)};
        in.actions = full_session(kPickNormal);
        write(dir, std::string("value-") + name, in);
    }
    for (int call = 0; call < 6; ++call) {
        AppletInput in = base();
        in.failing_contexts = static_cast<uint8_t>(1 << call);
        in.actions = full_session(kPickMulti);
        write(dir, "no-context-" + std::to_string(call + 1), in);
    }
    AppletInput in = base();
    in.directory = 230;
    in.actions = {op(Op::OpenSheet), op(Op::Ok)};
    write(dir, "long-windows-directory", in);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    families(dir);
    messages(dir);
    layouts(dir);
    escape_faults(dir);
    driver_answers(dir);
    display_faults(dir);
    registry(dir);
    return 0;
}
