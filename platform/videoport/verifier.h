// The video port's driver verifier: which driver callback runs, and the call
// rules (call_rules.h) broken so far. A broken rule is reported on stderr and
// ends the program, unless a test collects them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvid_host {

// The driver callback the video port is running, for the call rules.
enum class Callback : uint8_t { None, FindAdapter, Initialize, StartIO, ResetHw };
const char* callback_name(Callback c);

class Verifier {
  public:
    // Broken rules are kept in violations() instead of ending the run.
    void collect() { collect_ = true; }
    const std::vector<std::string>& violations() const { return violations_; }
    void violation(const std::string& what);

    Callback running() const { return running_; }
    // A driver callback runs: the rules apply only to calls made from one.
    bool in_driver() const { return running_ != Callback::None; }
    bool initialising() const
    {
        return running_ == Callback::FindAdapter || running_ == Callback::Initialize;
    }

    // Runs a driver callback; entering one while another runs is a violation.
    template <typename F> auto in_callback(Callback c, F&& call)
    {
        struct Leave {
            Verifier& v;
            Callback outer;
            ~Leave() { v.running_ = outer; }
        } leave{*this, enter(c)};
        return call();
    }

    // A registry callback (HwVidQueryNamedValueCallback) runs while `call` does.
    template <typename F> void in_registry_callback(F&& call)
    {
        struct Leave {
            Verifier& v;
            bool outer;
            ~Leave() { v.in_registry_callback_ = outer; }
        } leave{*this, in_registry_callback_};
        in_registry_callback_ = true;
        call();
    }
    bool in_registry_callback() const { return in_registry_callback_; }

    // The driver is unloaded: no callback runs and nothing is broken yet.
    // Whether rules are collected stays as it was.
    void forget_driver();

  private:
    Callback enter(Callback c); // returns the callback that was running

    Callback running_ = Callback::None;
    bool in_registry_callback_ = false;
    bool collect_ = false;
    std::vector<std::string> violations_;
};

} // namespace korvid_host
