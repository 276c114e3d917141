// The stand-in's one state record, the call log, and the reset to a fresh
// machine.
#include "platform/win32/state.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace win32_host {

State& state()
{
    static State s;
    return s;
}

void record_call(const std::string& line)
{
    state().calls.push_back(line);
}

void poison(void* out, size_t bytes)
{
    if (out)
        std::memset(out, kPoisonByte, bytes);
}

void reset()
{
    State& s = state();
    std::vector<std::unique_ptr<Module>> modules = std::move(s.modules);
    for (void* p : s.allocations)
        std::free(p);
    s = State();
    s.modules = std::move(modules);
}

} // namespace win32_host
