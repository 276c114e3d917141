// modes: the list a display driver gets, after the filters a user asks for.
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/errors.h"

#include "miniport/private_ioctl.h"

namespace ksim {

namespace {

constexpr const char* kUsage = "modes [--current MODE] [--test-modes] [--no-all-virtual]";

struct ModesOptions {
    std::string current;
    bool test_modes = false, no_all_virtual = false;
};

ModesOptions parse(const Args& args)
{
    ModesOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--current" && i + 1 < args.size())
            o.current = args[++i];
        else if (args[i] == "--test-modes")
            o.test_modes = true;
        else if (args[i] == "--no-all-virtual")
            o.no_all_virtual = true;
        else
            throw UsageError("bad argument '" + args[i] + "'; usage: " + kUsage);
    }
    return o;
}

std::string filters_text(sim::MiniportClient& c)
{
    bool all = c.query_word(IOCTL_PRIV_GET_ALL_VIRTUAL_MODES).value_or(0) != 0;
    return all ? "every valid virtual-desktop layout is\nlisted (as after start-up, before the "
                 "first mode set)"
               : "single-screen modes are listed,\nand virtual layouts only in the current "
                 "mode's layout and resolution";
}

} // namespace

Result cmd_modes(Context& ctx, const Args& args)
{
    ModesOptions o = parse(args);
    Session& s = ctx.session;
    s.ensure_booted();
    sim::MiniportClient& c = s.client();
    if (!o.current.empty())
        set_mode_text(ctx, o.current);
    if (o.test_modes)
        c.send_switch(IOCTL_PRIV_SET_TEST_MODES, true);
    if (o.no_all_virtual)
        c.send_switch(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, false);
    std::vector<sim::ModeEntry> list = c.list_modes();

    Result r{Json::object(), ""};
    Json modes = Json::array();
    for (const sim::ModeEntry& m : list)
        modes.push(mode_json(m));
    r.json.set("count", list.size()).set("modes", modes);
    r.text = format("Board %d lists %zu modes to the display driver (IOCTL_VIDEO_QUERY_NUM_AVAIL_"
                    "MODES,\nthen IOCTL_VIDEO_QUERY_AVAIL_MODES): ",
                    s.selected(), list.size()) +
             filters_text(c) +
             ".\nRow is the index to set; pitch and start say where the surface lies in video "
             "memory.\n" +
             mode_table(list);
    return r;
}

} // namespace ksim
