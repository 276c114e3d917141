// help: the command line, the mode syntax and the request names.
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/describe.h"

#include "display/miniport_requests.h"

namespace ksim {

namespace {
constexpr size_t kUsageColumn = 30;
} // namespace

std::string help_text()
{
    std::string out =
        "korvid-sim: boots a simulated PCI machine with the korvid miniport, plays the display\n"
        "driver's part, and shows what the boards do.\n\n"
        "usage: korvid-sim [--board CODE[@BUS]]... [--json] [--driver PATH] [COMMAND [ARGS]]\n\n"
        "  --board CODE   add a board with this configuration code, 0 to 31 in hex or decimal\n"
        "                 (bits 0-2 memory size, bit 3 AGP, bit 4 SGRAM); default one board,\n"
        "                 0x11 (8 MiB SGRAM). @BUS puts it on bus 0 (host bridge) or 1 (behind\n"
        "                 the AGP bridge); without it AGP boards sit on bus 1, PCI boards on 0\n"
        "  --json         print the result as JSON\n"
        "  --driver PATH  run this korvid.sys instead of the host-built miniport\n\n"
        "Without a command: boot, the boards, the mode list, a mode set of 1024x768x16@75 and\n"
        "what the board then shows.\n\ncommands:\n";
    for (const Command& c : commands()) {
        std::string usage = c.usage;
        if (usage.size() > kUsageColumn)
            out += "  " + usage + "\n" + std::string(kUsageColumn + 3, ' ') + c.summary + "\n";
        else
            out += format("  %-*s %s\n", int(kUsageColumn), c.usage, c.summary);
    }
    out += "\nMODE is a row of the mode table (as `modes` lists it) or WIDTHxHEIGHTxBPP[@HZ]"
           "[:LAYOUT],\nLAYOUT single (default), wide, tall or both; without @HZ the lowest "
           "listed rate.\n\n"
           "MACHINE (audit, compare) is a configuration code, or the codes of several boards\n"
           "joined by commas, e.g. 0x13,0x00 (also written --machine 0x13,0x00); without one,\n"
           "every code on a machine of its own. Each board sits on the bus of its kind; a machine\n"
           "of several boards opens only device 0, as the display driver does, and reaches the\n"
           "other boards by selecting them, board N the N-th found (bus 0's first).\n\n"
           "A script has one command a line, '#' comments; `reboot` keeps the registry.\n"
           "Requests for `ioctl` (IOCTL_ and VIDEO_/PRIV_ may be left out; numbers in hex or "
           "decimal):\n";
    for (const sim::RequestInfo& r : sim::request_catalogue())
        out +=
            *r.arguments ? format("  %-34s %s\n", r.name, r.arguments) : format("  %s\n", r.name);
    out += "\nexamples:\n"
           "  korvid-sim set 1024x768x16@75\n"
           "  korvid-sim --board 0x01 screenshot 1280x1024x32 shot.png --pattern grid\n"
           "  korvid-sim trace set 640x480x8\n"
           "  korvid-sim --json audit\n"
           "  korvid-sim compare host build/cross/miniport/korvid.sys 0x11 0x01\n"
           "  korvid-sim audit 0x11 0x13,0x00 0x11,0x04,0x13\n";
    return out;
}

Result cmd_help(Context&, const Args&)
{
    return Result{Json::object().set("help", help_text()), help_text()};
}

} // namespace ksim
