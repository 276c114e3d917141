// set and state: a mode set through the miniport, and what the board's
// registers and DAC say afterwards.
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/errors.h"

namespace ksim {

sim::ModeEntry set_mode_text(Context& ctx, const std::string& text)
{
    sim::MiniportClient& c = ctx.session.client();
    if (auto row = sim::parse_number(text)) {
        VP_STATUS status = c.set_mode(*row);
        if (status != NO_ERROR)
            throw UsageError("the miniport refused row " + text + ": " + sim::status_name(status) +
                             " (not a valid row of this board's table; see: korvid-sim modes)");
        auto mode = c.current_mode();
        if (!mode)
            throw Failure("the miniport does not report the mode it set");
        return *mode;
    }
    std::string why;
    auto want = sim::parse_wanted_mode(text, &why);
    if (!want)
        throw UsageError(why + " (a row number or WxHxBPP[@HZ][:single|wide|tall|both])");
    auto mode = c.set_mode(*want, &why);
    if (!mode)
        throw UsageError(why);
    return *mode;
}

Result cmd_set(Context& ctx, const Args& args)
{
    expect_args(args, 1, 1, "set MODE");
    Session& s = ctx.session;
    s.ensure_booted();
    uint64_t before = s.system().machine().time_ns;
    sim::ModeEntry mode = set_mode_text(ctx, args[0]);
    double ms = double(s.system().machine().time_ns - before) / 1e6;
    sim::DisplayState state = sim::decode_display(s.board());

    Result r{state_json(state, mode.index()), ""};
    r.json.set("mode", mode_name(mode)).set("device_time_ms", Json(ms, 3));
    r.text = format("Set row %u (%s) on board %d with IOCTL_VIDEO_SET_CURRENT_MODE;\nit took "
                    "%.2f ms of device time (stalls, and clearing all %u MiB of video memory).\n",
                    mode.index(), mode_name(mode).c_str(), s.selected(), ms,
                    s.board().memory_size() >> 20) +
             "What the board's registers and DAC now say (decoded, not copied from the mode "
             "table):\n" +
             state_text(state);
    return r;
}

Result cmd_state(Context& ctx, const Args& args)
{
    expect_args(args, 0, 0, "state");
    Session& s = ctx.session;
    s.ensure_booted();
    sim::DisplayState state = sim::decode_display(s.board());
    Result r{state_json(state), ""};
    r.text =
        format("Board %d, decoded from its registers and DAC:\n", s.selected()) + state_text(state);
    return r;
}

} // namespace ksim
