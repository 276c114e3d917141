// script: one command a line on one machine, to replay a display driver's
// conversation ("reboot" keeps the registry, "ioctl NAME ARGS" sends any
// request, "#" starts a comment).
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/errors.h"

#include <fstream>
#include <sstream>

namespace ksim {

namespace {

Args split_words(const std::string& line)
{
    std::istringstream in(line.substr(0, line.find('#')));
    Args words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

std::string where(const std::string& file, size_t line)
{
    return file + ":" + std::to_string(line);
}

} // namespace

Result cmd_script(Context& ctx, const Args& args)
{
    expect_args(args, 1, 1, "script FILE");
    const std::string& file = args[0];
    std::ifstream in(file);
    if (!in)
        throw UsageError("cannot read script " + file);
    Result r{Json::object(), ""};
    Json steps = Json::array();
    size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        Args words = split_words(line);
        if (words.empty())
            continue;
        const Command* c = find_command(words[0]);
        if (!c)
            throw UsageError(where(file, number) + ": unknown command '" + words[0] + "'");
        if (!c->in_script)
            throw UsageError(where(file, number) + ": '" + words[0] +
                             "' cannot run inside a script");
        Result step;
        try {
            step = c->run(ctx, Args(words.begin() + 1, words.end()));
        } catch (const UsageError& e) {
            throw UsageError(where(file, number) + ": " + e.what());
        } catch (const Failure& e) {
            throw Failure(where(file, number) + ": " + e.what());
        }
        std::string command = line.substr(0, line.find('#'));
        command.erase(command.find_last_not_of(" \t\r") + 1);
        command.erase(0, command.find_first_not_of(" \t"));
        steps.push(
            Json::object().set("line", number).set("command", command).set("result", step.json));
        r.text += "> " + command + "\n" + step.text;
        r.failed |= step.failed;
    }
    r.json.set("file", file).set("steps", steps);
    return r;
}

} // namespace ksim
