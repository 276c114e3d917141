// printf-style formatting into a std::string, for messages and reports.
#pragma once

#include <string>
#include <string_view>

namespace sim {

// Cut at 511 characters.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The text in capitals (ASCII), for names compared without regard to case.
std::string upper(std::string_view text);

} // namespace sim
