// How korvid-sim fails: bad input from the user (exit status 2, one line) or
// a simulation that could not do what was asked (exit status 1).
#pragma once

#include <stdexcept>
#include <string>

namespace ksim {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

} // namespace ksim
