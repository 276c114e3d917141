// No command: a guided tour of one boot, for someone meeting the board for
// the first time.
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/errors.h"

namespace ksim {

namespace {

constexpr const char* kTourMode = "1024x768x16@75";

std::string boot_text(Session& s)
{
    korvid_host::System& m = s.system();
    std::string state = sim::decode_display(s.board(0)).native ? "a native mode" : "VGA text";
    return format("1. Boot: DriverEntry, then discovery and initialisation of %zu board%s: %s, "
                  "%zu device accesses,\n   %.2f ms of device time. No mode is set yet: the "
                  "board still shows %s.\n\n",
                  s.num_devices(), s.num_devices() == 1 ? "" : "s",
                  sim::status_name(static_cast<VP_STATUS>(s.boot_status())).c_str(),
                  m.machine().trace.accesses().size(), double(m.machine().time_ns) / 1e6,
                  state.c_str());
}

} // namespace

Result cmd_overview(Context& ctx, const Args&)
{
    Session& s = ctx.session;
    s.ensure_booted();
    Result r{Json::object(), ""};
    r.text = "korvid-sim runs " + s.driver().name() +
             " on a simulated PCI machine and plays the display\ndriver's part, showing in plain "
             "terms what the boards do.\n\n" +
             boot_text(s);
    r.json.set("driver", s.driver().name())
        .set("boot_status", static_cast<int64_t>(s.boot_status()))
        .set("device_accesses", s.system().machine().trace.accesses().size());

    Result boards = cmd_boards(ctx, {});
    r.text += "2. " + boards.text + "\n";
    r.json.set("boards", *boards.json.find("boards"));

    std::vector<sim::ModeEntry> list = s.client().list_modes();
    r.text += format("3. The mode list board %d gives the display driver: %zu modes.\n",
                     s.selected(), list.size()) +
              mode_summary(list, "   ") +
              "   Right after start-up every valid virtual-desktop layout is listed (wide: double "
              "width,\n   tall: double height, both: both); after a mode set only single-screen "
              "modes and the\n   current layout are.\n\n";
    r.json.set("modes",
               Json::object().set("count", list.size()).set("summary", mode_summary_json(list)));
    try {
        Result set = cmd_set(ctx, {kTourMode});
        r.text += std::string("4. ") + set.text;
        r.json.set("set", set.json);
    } catch (const UsageError& e) {
        r.text += std::string("4. ") + kTourMode + " cannot be set here: " + e.what() + "\n";
        r.json.set("set", nullptr);
    }
    r.text += "\nMore: korvid-sim help; korvid-sim modes; korvid-sim set 1280x1024x32@75;\n"
              "      korvid-sim screenshot 1024x768x16 shot.png; korvid-sim trace set 640x480x8; "
              "korvid-sim audit\n";
    return r;
}

} // namespace ksim
