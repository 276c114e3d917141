#include "tools/korvid-sim/commands.h"

#include "tools/korvid-sim/errors.h"

namespace ksim {

namespace {

const Command kCommands[] = {
    {"boards", cmd_boards, "boards", "identity and facts of every board, from the private requests",
     true},
    {"modes", cmd_modes, "modes [--current MODE] [--test-modes] [--no-all-virtual]",
     "the mode list the display driver gets", true},
    {"set", cmd_set, "set MODE", "set a mode and show what the board's registers now say", true},
    {"state", cmd_state, "state", "the decoded display state, as it is", true},
    {"trace", cmd_trace, "trace COMMAND... | trace boot",
     "every device access of a command, one a line", true},
    {"audit", cmd_audit, "audit [MACHINE...] [--jobs N]",
     "consistency check on every code (or the machines given): each valid row set on each "
     "board, its registers held against the miniport's own tables, its refresh computed from "
     "the PLL",
     true},
    {"compare", cmd_compare, "compare A B [MACHINE...] [--jobs N]",
     "two drivers (korvid.sys files or 'host') on every code (or the machines given): what "
     "differs",
     false},
    {"screenshot", cmd_screenshot, "screenshot MODE FILE.png [--pattern bars|grid|text]",
     "set a mode, draw a pattern, write what the monitor shows", true},
    {"script", cmd_script, "script FILE", "run one command a line on one machine", false},
    {"ioctl", cmd_ioctl, "ioctl NAME [ARGS...] [in=BYTES] [out=BYTES]", "send any request by name",
     true},
    {"reboot", cmd_reboot, "reboot", "unload and load the driver; the registry keeps its values",
     true},
    {"board", cmd_board, "board N", "send the following requests to board N", true},
    {"registry", cmd_registry, "registry [NAME NUMBER]",
     "list the selected board's registry values, or set a number", true},
    {"help", cmd_help, "help", "this text", true},
};

} // namespace

std::span<const Command> commands()
{
    return kCommands;
}

const Command* find_command(std::string_view name)
{
    for (const Command& c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

Result run_command(Context& ctx, const Args& words)
{
    const Command* c = find_command(words.at(0));
    if (!c)
        throw UsageError("unknown command '" + words[0] + "' (see: korvid-sim help)");
    return c->run(ctx, Args(words.begin() + 1, words.end()));
}

} // namespace ksim
