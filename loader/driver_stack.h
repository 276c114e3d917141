// The kernel stack a loaded driver image runs on. Windows NT 4.0 gives a
// thread 12 KiB of kernel stack, shared by the I/O manager, the video port,
// the display driver and the miniport, so the miniport's share must stay
// small. Every call the host makes into the image runs on a stack of that
// size with an inaccessible guard page below it (an overflow faults instead
// of corrupting memory), painted beforehand so that the deepest byte the
// call touched can be found afterwards.
//
// Only the driver's own use is counted: when the driver calls one of its
// imports (the video port stand-in), the call switches back to the host's
// stack, so the stand-in's frames, which say nothing about the real video
// port's, are not measured. The arguments and return address the driver
// pushes for such a call are its own and are counted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr uint32_t kKernelStackSize = 12 * 1024;

// A function the host can call (stdcall, any arguments up to 64 bytes) that
// runs `target`, an entry point of the driver image, on the driver stack;
// `entry` names it in the report. The same target and name give the same
// function.
void* driver_gate(void* target, const char* entry);

// A function the driver image can import in place of `target`, a host
// function (stdcall or cdecl): it runs `target` on the host's stack. Driver
// entry points that `target` is handed (the registration record of
// VideoPortInitialize, the callback of VideoPortGetRegistryParameters) run
// on the driver stack.
void* host_gate(const char* import, void* target);

struct StackUse {
    std::string entry;
    uint64_t calls = 0;
    // The most bytes of the stack in use at once during any of its calls,
    // counted from the top: the return address and every driver frame
    // below it, including those of the entry points it was called within.
    uint32_t deepest = 0;
};

// Per entry point, since the process started, in the order first called.
std::vector<StackUse> driver_stack_use();
std::string format_stack_use(const std::vector<StackUse>& use);

} // namespace sim
