#include "tools/korvid-sim/options.h"

#include "tools/korvid-sim/errors.h"
#include "display/miniport_requests.h"
#include "hardware/board.h"

namespace ksim {

namespace {

// "--name VALUE" or "--name=VALUE"; advances i past the value.
bool take_value(const std::vector<std::string>& args, size_t& i, std::string_view name,
                std::string* value)
{
    const std::string& a = args[i];
    if (a == name) {
        if (i + 1 >= args.size())
            throw UsageError(std::string(name) + " needs a value");
        *value = args[++i];
        return true;
    }
    if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
        *value = a.substr(name.size() + 1);
        return true;
    }
    return false;
}

} // namespace

uint32_t parse_config_code(std::string_view text)
{
    auto code = sim::parse_number(text);
    if (!code)
        throw UsageError("bad configuration code '" + std::string(text) +
                         "': give a number, e.g. 0x11 or 17");
    if (*code > kMaxConfigCode)
        throw UsageError("configuration code " + std::string(text) +
                         " is out of range: the family has codes 0 to 31 (0x00 to 0x1F)");
    return *code;
}

std::pair<uint32_t, int> parse_board(std::string_view text)
{
    const size_t at = text.find('@');
    if (at == std::string_view::npos)
        return {parse_config_code(text), sim::kBusOfItsKind};
    auto bus = sim::parse_number(text.substr(at + 1));
    if (!bus || *bus >= uint32_t(sim::kNumBuses))
        throw UsageError("bad bus in '" + std::string(text) +
                         "': the machine has bus 0 (host bridge) and bus 1 (AGP bridge)");
    return {parse_config_code(text.substr(0, at)), int(*bus)};
}

bool split_setting(std::string_view word, std::string_view name, std::string* value)
{
    if (word.size() <= name.size() || word.compare(0, name.size(), name) != 0 ||
        word[name.size()] != '=')
        return false;
    *value = std::string(word.substr(name.size() + 1));
    return true;
}

Options parse_options(const std::vector<std::string>& args)
{
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        const std::string& a = args[i];
        if (a == "--json") {
            o.json = true;
        } else if (take_value(args, i, "--board", &value)) {
            auto [code, bus] = parse_board(value);
            o.codes.push_back(code);
            o.buses.push_back(bus);
        } else if (take_value(args, i, "--driver", &value)) {
            if (value.empty())
                throw UsageError("--driver needs the path of a korvid.sys");
            o.driver_path = value;
        } else if ((a == "--help" || a == "-h") && o.words.empty()) {
            o.words.push_back("help");
        } else if (a.size() > 1 && a[0] == '-' && o.words.empty()) {
            throw UsageError("unknown option '" + a + "' (see: korvid-sim help)");
        } else {
            o.words.push_back(a);
        }
    }
    if (o.codes.empty()) {
        o.codes.push_back(kDefaultConfigCode);
        o.buses.push_back(sim::kBusOfItsKind);
    }
    return o;
}

void expect_args(const std::vector<std::string>& args, size_t least, size_t most, const char* usage)
{
    if (args.size() < least || args.size() > most)
        throw UsageError(std::string(args.size() < least ? "missing" : "too many") +
                         " arguments; usage: " + usage);
}

} // namespace ksim
