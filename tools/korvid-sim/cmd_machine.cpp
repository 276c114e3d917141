// reboot, board and registry: the machine around the driver, for scripts
// that replay a display driver's conversation across restarts.
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/errors.h"
#include "platform/freestanding/little_endian.h"

namespace ksim {

namespace {

std::string narrow(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

int selected_board(Session& s)
{
    s.ensure_booted();
    return s.system().board_of_device(s.selected());
}

std::string value_text(const korvid_host::RegistryValue& v)
{
    if (v.data.size() == 4) {
        uint32_t w = load_le32(v.data.data());
        return format("0x%08X (%u)", w, w);
    }
    // A wide string with its terminator, as the miniport writes its descriptions.
    size_t n = v.data.size();
    bool wide_text = n >= 4 && n % 2 == 0 && v.data[n - 1] == 0 && v.data[n - 2] == 0;
    std::string text;
    for (size_t i = 0; wide_text && i + 2 < n; i += 2) {
        const char16_t c = load_le16(&v.data[i]);
        wide_text = c >= 0x20 && c < 0x7F;
        text.push_back(static_cast<char>(c));
    }
    if (wide_text)
        return "\"" + text + "\"";
    std::string hex;
    for (uint8_t b : v.data)
        hex += format("%02X", b);
    return "bytes " + hex;
}

} // namespace

Result cmd_reboot(Context& ctx, const Args& args)
{
    expect_args(args, 0, 0, "reboot");
    Session& s = ctx.session;
    s.reboot();
    size_t values = s.system().registry(selected_board(s)).size();
    Result r{Json::object()
                 .set("boot_status", static_cast<int64_t>(s.boot_status()))
                 .set("registry_values", values),
             ""};
    r.text = "Rebooted: boards power-cycled, the driver unloaded and loaded again (" +
             sim::status_name(static_cast<VP_STATUS>(s.boot_status())) +
             format("); board 0's device key keeps its %zu registry values.\n", values);
    return r;
}

Result cmd_board(Context& ctx, const Args& args)
{
    expect_args(args, 1, 1, "board N");
    auto n = sim::parse_number(args[0]);
    if (!n)
        throw UsageError("bad board number '" + args[0] + "'");
    ctx.session.select(static_cast<int>(*n));
    return Result{Json::object().set("board", *n), format("Requests now go to board %u.\n", *n)};
}

Result cmd_registry(Context& ctx, const Args& args)
{
    if (args.size() != 0 && args.size() != 2)
        throw UsageError("usage: registry [NAME NUMBER]");
    Session& s = ctx.session;
    int board = selected_board(s);
    Result r{Json::object(), ""};
    if (args.size() == 2) {
        auto v = sim::parse_number(args[1]);
        if (!v)
            throw UsageError("bad registry number '" + args[1] + "'");
        s.system().set_registry_dword(board, std::u16string(args[0].begin(), args[0].end()), *v);
        r.text = format("Board %d: %s = %u; the miniport reads it at its next start (reboot).\n",
                        board, args[0].c_str(), *v);
    }
    Json values = Json::object();
    r.text += format("Registry values under board %d's device key:\n", board);
    for (auto& [name, value] : s.system().registry(board)) {
        values.set(narrow(name), value_text(value));
        r.text += "  " + narrow(name) + " = " + value_text(value) + "\n";
    }
    r.json.set("board", board).set("values", values);
    return r;
}

} // namespace ksim
