// Plain-language and JSON renderings of what the simulation shows: the
// decoded display state of a board and the modes of a mode list.
#pragma once

#include "tools/korvid-sim/json.h"
#include "hardware/decode.h"
#include "display/miniport_client.h"
#include "support/text_format.h"

#include <optional>
#include <string>
#include <vector>

namespace ksim {

std::string pixel_format_name(const sim::DisplayState& s);
std::string sync_text(const sim::DisplayState& s);
using sim::format;
std::string mhz(double hz);

// The decoded state, as `set` reports it; `row` is the row that was set.
Json state_json(const sim::DisplayState& s, std::optional<uint32_t> row = {});
// A few labelled lines, each saying what the registers mean.
std::string state_text(const sim::DisplayState& s, const std::string& indent = "  ");

// "1024x768x16@75:single"
std::string mode_name(const sim::ModeEntry& m);
Json mode_json(const sim::ModeEntry& m);
std::string mode_table(const std::vector<sim::ModeEntry>& modes);
// One line per resolution: depths, rates and layouts.
std::string mode_summary(const std::vector<sim::ModeEntry>& modes, const std::string& indent);
Json mode_summary_json(const std::vector<sim::ModeEntry>& modes);

} // namespace ksim
