#include "tools/korvid-sim/cli.h"

#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/errors.h"

#include <algorithm>

namespace ksim {

namespace {

// Errors are one line, whatever a message carries.
std::string one_line(std::string s)
{
    std::replace(s.begin(), s.end(), '\n', ' ');
    return s;
}

} // namespace

int run_cli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool interactive)
{
    try {
        Options options = parse_options(args);
        if (!options.words.empty() && options.words[0] == "help") {
            std::string text = help_text();
            std::fputs(options.json ? (Json::object().set("help", text).dump() + "\n").c_str()
                                    : text.c_str(),
                       out);
            return kExitOk;
        }
        Session session(options.codes, load_driver(options.driver_path), options.buses);
        Context ctx{session, options, interactive};
        Result r = options.words.empty() ? cmd_overview(ctx, {}) : run_command(ctx, options.words);
        std::string text = options.json ? r.json.dump() + "\n" : r.text;
        std::fputs(text.c_str(), out);
        std::fflush(out);
        return r.failed ? kExitFailure : kExitOk;
    } catch (const UsageError& e) {
        std::fprintf(err, "korvid-sim: %s\n", one_line(e.what()).c_str());
        return kExitUsage;
    } catch (const Failure& e) {
        std::fprintf(err, "korvid-sim: %s\n", one_line(e.what()).c_str());
        return kExitFailure;
    }
}

} // namespace ksim
