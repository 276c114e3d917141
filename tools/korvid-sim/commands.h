// The commands of korvid-sim. Each returns its result twice: as JSON for
// --json, and as text that explains itself to someone new to the board.
#pragma once

#include "tools/korvid-sim/json.h"
#include "tools/korvid-sim/options.h"
#include "tools/korvid-sim/session.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ksim {

using Args = std::vector<std::string>;

struct Result {
    Json json;
    std::string text;
    bool failed = false; // shown in full, then exit status 1
};

struct Context {
    Session& session;
    const Options& options;
    bool progress = false; // a progress line may go to the terminal
};

struct Command {
    const char* name;
    Result (*run)(Context&, const Args&);
    const char* usage;
    const char* summary;
    bool in_script; // may appear in a script
};

std::span<const Command> commands();
const Command* find_command(std::string_view name);
// Runs words[0] with the rest as its arguments; throws UsageError for an
// unknown command.
Result run_command(Context& ctx, const Args& words);

Result cmd_overview(Context& ctx, const Args& args);
Result cmd_boards(Context& ctx, const Args& args);
Result cmd_modes(Context& ctx, const Args& args);
Result cmd_set(Context& ctx, const Args& args);
Result cmd_state(Context& ctx, const Args& args);
Result cmd_trace(Context& ctx, const Args& args);
Result cmd_audit(Context& ctx, const Args& args);
Result cmd_compare(Context& ctx, const Args& args);
Result cmd_screenshot(Context& ctx, const Args& args);
Result cmd_script(Context& ctx, const Args& args);
Result cmd_ioctl(Context& ctx, const Args& args);
Result cmd_reboot(Context& ctx, const Args& args);
Result cmd_board(Context& ctx, const Args& args);
Result cmd_registry(Context& ctx, const Args& args);
Result cmd_help(Context& ctx, const Args& args);
std::string help_text();

// A mode set from "ROW" or "WxHxBPP[@HZ][:layout]" on the selected board;
// throws UsageError when there is no such mode or the miniport refuses it.
sim::ModeEntry set_mode_text(Context& ctx, const std::string& text);

} // namespace ksim
