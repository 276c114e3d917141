// printf-style formatting into a std::string, for messages and reports.
#pragma once

#include <string>

namespace sim {

// Cut at 511 characters.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

} // namespace sim
