// Modules loaded from resource scripts: one per script, kept across resets,
// addressed by the instance handle the applet is given.
#include "platform/win32/state.h"

#include <stdexcept>

namespace win32_host {

HINSTANCE load_module(const std::string& resource_script)
{
    State& s = state();
    for (auto& m : s.modules)
        if (m->script == resource_script)
            return reinterpret_cast<HINSTANCE>(m.get());
    s.modules.push_back(std::make_unique<Module>(parse_resource_script(resource_script)));
    return reinterpret_cast<HINSTANCE>(s.modules.back().get());
}

const Module& module(HINSTANCE instance)
{
    for (auto& m : state().modules)
        if (reinterpret_cast<HINSTANCE>(m.get()) == instance)
            return *m;
    throw std::runtime_error("no module loaded at this instance handle");
}

} // namespace win32_host
