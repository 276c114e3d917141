// The driver verifier: which callback runs, and the reporting of broken
// call rules.
#include "platform/videoport/verifier.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

namespace korvid_host {

const char* callback_name(Callback c)
{
    switch (c) {
    case Callback::None:
        return "no callback";
    case Callback::FindAdapter:
        return "HwFindAdapter";
    case Callback::Initialize:
        return "HwInitialize";
    case Callback::StartIO:
        return "HwStartIO";
    case Callback::ResetHw:
        return "HwResetHw";
    }
    return "?";
}

void Verifier::violation(const std::string& what)
{
    violations_.push_back(what);
    if (collect_)
        return;
    std::fprintf(stderr, "videoport verifier: %s\n", what.c_str());
    std::abort();
}

Callback Verifier::enter(Callback c)
{
    // Only the reset may come while a callback runs: the system can stop in
    // the middle of anything.
    if (running_ != Callback::None && c != Callback::ResetHw)
        violation(std::string(callback_name(c)) + " entered while " + callback_name(running_) +
                  " runs");
    return std::exchange(running_, c);
}

void Verifier::forget_driver()
{
    running_ = Callback::None;
    in_registry_callback_ = false;
    violations_.clear();
}

} // namespace korvid_host
