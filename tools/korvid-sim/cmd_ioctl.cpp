// ioctl: any request by name, as a display driver would send it.
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/errors.h"
#include "tools/korvid-sim/reply_format.h"
#include "tools/korvid-sim/request_args.h"

#include "miniport/private_ioctl.h"

namespace ksim {

namespace {

constexpr const char* kUsage = "ioctl NAME [ARGS...] [in=BYTES] [out=BYTES]";

std::optional<uint32_t> length_setting(const std::string& word, const char* name)
{
    std::string value;
    if (!split_setting(word, name, &value))
        return std::nullopt;
    auto n = sim::parse_number(value);
    if (!n || *n > (1u << 20))
        throw UsageError(std::string("bad ") + name + "= length '" + value + "'");
    return n;
}

} // namespace

Result cmd_ioctl(Context& ctx, const Args& args)
{
    if (args.empty())
        throw UsageError(std::string("missing request name; usage: ") + kUsage);
    const sim::RequestInfo* request = sim::find_request(args[0]);
    if (!request)
        throw UsageError("unknown request '" + args[0] + "' (korvid-sim help lists them)");
    std::vector<uint32_t> words;
    std::optional<uint32_t> in, out;
    for (size_t i = 1; i < args.size(); ++i) {
        if (auto n = length_setting(args[i], "in")) {
            in = n;
        } else if (auto n = length_setting(args[i], "out")) {
            out = n;
        } else if (auto v = sim::parse_number(args[i])) {
            words.push_back(*v);
        } else {
            throw UsageError(
                "bad argument '" + args[i] + "' for IOCTL_" + request->name + ": give numbers" +
                (*request->arguments ? std::string(" (") + request->arguments + ")" : ""));
        }
    }
    Session& s = ctx.session;
    s.ensure_booted();
    std::string error;
    auto reply = send_with_args(s.client(), *request, words, &error, in, out);
    if (!reply)
        throw UsageError(error);
    Result r{reply_json(s.system(), *request, *reply), reply_text(s.system(), *request, *reply)};
    if (request->code == IOCTL_PRIV_SELECT_BOARD && reply->status == NO_ERROR) {
        // What follows goes where the miniport now sends it.
        int board = s.follow_selection(words.empty() ? 0 : words[0]);
        r.json.set("board", board);
        r.text += format("Requests now go to board %d.\n", board);
    }
    return r;
}

} // namespace ksim
