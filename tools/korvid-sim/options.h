// The command line: global options, anywhere on the line, and the command
// with its arguments in order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ksim {

constexpr uint32_t kDefaultConfigCode = 0x11; // 8 MiB SGRAM
constexpr uint32_t kMaxConfigCode = 31;

struct Options {
    std::vector<uint32_t> codes; // one board per code, in the order given
    // The bus of each board of `codes` (--board CODE@BUS); sim::kBusOfItsKind
    // where none was given: AGP boards behind the AGP bridge, PCI boards on bus 0.
    std::vector<int> buses;
    bool json = false;
    std::string driver_path;        // empty: the host-built miniport
    std::vector<std::string> words; // the command and its arguments; empty: the overview
};

// Throws UsageError for an unknown option, a missing value or a bad code.
Options parse_options(const std::vector<std::string>& args);
uint32_t parse_config_code(std::string_view text);
// "CODE" or "CODE@BUS": the code, and the bus (sim::kBusOfItsKind without one).
std::pair<uint32_t, int> parse_board(std::string_view text);

// A command's arguments must number between `least` and `most`; throws
// UsageError with the command's usage otherwise.
void expect_args(const std::vector<std::string>& args, size_t least, size_t most,
                 const char* usage);

// Splits "name=value" words out of a command's arguments, e.g. "in=6".
bool split_setting(std::string_view word, std::string_view name, std::string* value);

} // namespace ksim
