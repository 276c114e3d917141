#include "loader/driver_stack.h"

#include "support/text_format.h"
#include "platform/videoport/video.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

namespace sim {

namespace {

constexpr uint32_t kGuardSize = 4096;
// Bytes of arguments copied from one stack to the other on every switch: more
// than any import or entry point of a miniport takes (the most is 8 words).
constexpr uint32_t kArgumentBytes = 64;
constexpr uint8_t kPaint = 0xCD;
constexpr size_t kGatePoolSize = 64 * 1024;

// A gate: a little code the caller calls, which pushes the gate's address and
// jumps to korvid_gate_common; the rest is read by korvid_gate_common, whose
// offsets below must match.
struct Gate {
    void* target;                       // +0
    uint32_t to_host;                   // +4: called by the driver, runs a host function
    uint32_t (*enter)(Gate*, uint32_t); // +8: the caller's frame -> the new stack's top
    uint32_t (*leave)(Gate*, uint32_t); // +12: esp after the target -> bytes it popped
    uint32_t* host_sp;                  // +16: where host code continues, or 0
    const char* name;                   // +20
    uint8_t code[12];                   // push imm32; jmp rel32
};
static_assert(offsetof(Gate, to_host) == 4 && offsetof(Gate, enter) == 8 &&
              offsetof(Gate, leave) == 12 && offsetof(Gate, host_sp) == 16);

struct Frame {
    Gate* gate;
    uint32_t top; // the stack the target ran on, above its copied arguments
    uint32_t saved_driver_sp, saved_host_sp;
    uint8_t* deepest; // the lowest byte touched during the call so far (driver calls)
};

struct State {
    uint8_t* low = nullptr; // the lowest byte of the stack, just above the guard page
    uint8_t* top = nullptr;
    uint32_t host_sp = 0;   // while the driver runs: where the host's stack continues
    uint32_t driver_sp = 0; // while the driver is calling out: where its stack continues
    std::vector<Frame> frames;
    std::vector<StackUse> use;
    std::set<std::string> names;
    std::map<std::pair<void*, std::string>, Gate*> gates;
    uint8_t* pool = nullptr;
    size_t pool_used = kGatePoolSize;
};

State& state()
{
    static State s;
    return s;
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "driver_stack: %s\n", what);
    std::abort();
}

void map_stack(State& s)
{
    void* p = mmap(nullptr, kGuardSize + kKernelStackSize, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED || mprotect(p, kGuardSize, PROT_NONE) != 0)
        fail("cannot map the kernel stack");
    s.low = static_cast<uint8_t*>(p) + kGuardSize;
    s.top = s.low + kKernelStackSize;
}

uint8_t* at(uint32_t address)
{
    return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(address));
}
uint32_t address_of(const void* p)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

// Room for a frame of korvid_gate_common (24 bytes below its ebp), rounded
// down to the 16-byte alignment the host's code expects.
uint32_t below_frame(uint32_t ebp)
{
    return (ebp - 32) & ~15u;
}

// Word by word to the first word that is not all paint, then byte by byte:
// this runs twice for every call into the driver.
uint8_t* deepest_touched(const State& s)
{
    constexpr uint64_t kPaintWord = 0x0101010101010101ull * kPaint;
    const uint8_t* p = s.low;
    for (uint64_t word; p + sizeof word <= s.top; p += sizeof word) {
        std::memcpy(&word, p, sizeof word);
        if (word != kPaintWord)
            break;
    }
    while (p < s.top && *p == kPaint)
        ++p;
    return const_cast<uint8_t*>(p);
}

// Every driver call still running saw whatever was touched since the last paint.
void fold_into_running(State& s, uint8_t* deepest)
{
    for (Frame& f : s.frames)
        if (!f.gate->to_host)
            f.deepest = std::min(f.deepest, deepest);
}

void record(State& s, const char* name, uint8_t* deepest)
{
    const uint32_t used = static_cast<uint32_t>(s.top - kArgumentBytes - deepest);
    auto it = std::find_if(s.use.begin(), s.use.end(),
                           [&](const StackUse& u) { return u.entry == name; });
    if (it == s.use.end())
        it = s.use.insert(s.use.end(), StackUse{name, 0, 0});
    ++it->calls;
    it->deepest = std::max(it->deepest, used);
}

uint32_t enter(Gate* gate, uint32_t ebp)
{
    State& s = state();
    Frame f{gate, 0, s.driver_sp, s.host_sp, nullptr};
    if (gate->to_host) {
        // The driver calls out; if it runs on the host's stack (called
        // directly, not through a gate) it simply continues there.
        if (s.host_sp) {
            f.top = s.host_sp;
            s.driver_sp = below_frame(ebp);
        } else {
            f.top = below_frame(ebp);
        }
    } else {
        if (!s.low)
            map_stack(s);
        // Below the deepest byte touched the stack still holds its paint.
        uint8_t* touched = deepest_touched(s);
        fold_into_running(s, touched);
        f.top = s.driver_sp ? s.driver_sp : address_of(s.top);
        if (touched < at(f.top - kArgumentBytes))
            std::memset(touched, kPaint, at(f.top - kArgumentBytes) - touched);
        f.deepest = at(f.top - kArgumentBytes);
        s.host_sp = below_frame(ebp);
    }
    s.frames.push_back(f);
    return f.top;
}

uint32_t leave(Gate* gate, uint32_t sp_after)
{
    State& s = state();
    if (s.frames.empty() || s.frames.back().gate != gate)
        fail("a gate was left that was not the last one entered");
    const Frame f = s.frames.back();
    s.frames.pop_back();
    if (!gate->to_host) {
        uint8_t* deepest = std::min(f.deepest, deepest_touched(s));
        record(s, gate->name, deepest);
        fold_into_running(s, deepest);
    }
    s.driver_sp = f.saved_driver_sp;
    s.host_sp = f.saved_host_sp;
    return sp_after - (f.top - kArgumentBytes);
}

} // namespace

// The switch itself, shared by every gate. Entered from a gate's code with
// [esp] = the gate, [esp+4] = the caller's return address, [esp+8] = its
// arguments. It runs the gate's enter on the host's stack, copies
// kArgumentBytes of arguments to the top of the stack the gate chose, calls
// the target there, switches back, asks leave how many bytes of arguments
// the target popped (stdcall pops them, cdecl does not) and returns to the
// caller popping as many, with the target's eax:edx.
// Its frame, on the caller's stack: ebp+12 arguments, ebp+8 return address,
// ebp+4 gate, ebp saved ebp, ebp-4..-12 saved ebx, esi, edi, ebp-16 the host
// stack the helpers run on, ebp-20 and -24 the target's eax and edx.
extern "C" void korvid_gate_common();
asm(R"(
    .pushsection .text
    .globl korvid_gate_common
    .type korvid_gate_common, @function
korvid_gate_common:
    .intel_syntax noprefix
    push ebp
    mov  ebp, esp
    push ebx
    push esi
    push edi
    sub  esp, 12
    mov  ebx, [ebp+4]              # the gate
    mov  eax, esp                  # host code calling in: it is on the host's stack
    cmp  dword ptr [ebx+4], 0
    je   1f
    mov  ecx, [ebx+16]             # the driver calling out: back to the host's stack
    mov  ecx, [ecx]
    test ecx, ecx
    jz   1f
    mov  eax, ecx
1:  and  eax, -16
    mov  [ebp-16], eax
    mov  esp, eax
    sub  esp, 8
    push ebp
    push ebx
    call dword ptr [ebx+8]         # enter(gate, ebp): eax = top of the target's stack
    lea  edi, [eax-64]
    lea  esi, [ebp+12]
    mov  ecx, 16
    cld
    rep  movsd                     # the arguments, to the target's stack
    lea  esp, [eax-64]
    call dword ptr [ebx]           # the target
    mov  [ebp-20], eax
    mov  [ebp-24], edx
    mov  eax, esp
    mov  esp, [ebp-16]
    sub  esp, 8
    push eax
    push ebx
    call dword ptr [ebx+12]        # leave(gate, esp after the target): bytes it popped
    mov  ecx, eax
    lea  esp, [ebp-24]             # back on the caller's stack
    pop  edx
    pop  eax
    add  esp, 4
    pop  edi
    pop  esi
    pop  ebx
    push dword ptr [ebp+8]         # the return address, moved up over the
    pop  dword ptr [ebp+ecx+8]     # arguments the target popped
    lea  ecx, [ebp+ecx+8]
    mov  ebp, [ebp]
    mov  esp, ecx
    ret
    .att_syntax prefix
    .size korvid_gate_common, .-korvid_gate_common
    .popsection
)");

namespace {

Gate* make_gate(void* target, const char* name, bool to_host)
{
    State& s = state();
    auto key = std::make_pair(target, std::string(name) + (to_host ? "<" : ">"));
    if (auto it = s.gates.find(key); it != s.gates.end())
        return it->second;
    if (s.pool_used + sizeof(Gate) > kGatePoolSize) {
        void* p = mmap(nullptr, kGatePoolSize, PROT_READ | PROT_WRITE | PROT_EXEC,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            fail("cannot map memory for gates");
        s.pool = static_cast<uint8_t*>(p);
        s.pool_used = 0;
    }
    Gate* g = reinterpret_cast<Gate*>(s.pool + s.pool_used);
    s.pool_used += (sizeof(Gate) + 15) & ~size_t{15};
    *g = Gate{target, to_host, enter, leave, &s.host_sp, s.names.insert(name).first->c_str(), {}};
    const uint32_t self = address_of(g);
    const uint32_t jump = address_of(reinterpret_cast<void*>(&korvid_gate_common)) -
                          address_of(g->code + sizeof g->code - 2);
    g->code[0] = 0x68; // push imm32
    std::memcpy(g->code + 1, &self, 4);
    g->code[5] = 0xE9; // jmp rel32
    std::memcpy(g->code + 6, &jump, 4);
    g->code[10] = g->code[11] = 0xCC;
    s.gates[key] = g;
    return g;
}

template <typename F> void gate_entry(F*& entry, const char* name)
{
    if (entry)
        entry = reinterpret_cast<F*>(driver_gate(reinterpret_cast<void*>(entry), name));
}

// Imports that hand the video port entry points of the driver: the port calls
// them through gates, so they run on the driver stack as well.
decltype(&VideoPortInitialize) g_initialize;
decltype(&VideoPortGetRegistryParameters) g_get_registry;

ULONG NTAPI initialize_gated(PVOID a, PVOID b, PVIDEO_HW_INITIALIZATION_DATA data, PVOID context)
{
    if (!data)
        return g_initialize(a, b, data, context);
    VIDEO_HW_INITIALIZATION_DATA gated;
    std::memcpy(&gated, data, sizeof gated);
    gate_entry(gated.HwFindAdapter, "HwFindAdapter");
    gate_entry(gated.HwInitialize, "HwInitialize");
    gate_entry(gated.HwInterrupt, "HwInterrupt");
    gate_entry(gated.HwStartIO, "HwStartIO");
    gate_entry(gated.HwResetHw, "HwResetHw");
    gate_entry(gated.HwTimer, "HwTimer");
    return g_initialize(a, b, &gated, context);
}

VP_STATUS NTAPI get_registry_gated(PVOID ext, PWSTR name, UCHAR is_file,
                                   PMINIPORT_GET_REGISTRY_ROUTINE callback, PVOID context)
{
    gate_entry(callback, "registry callback");
    return g_get_registry(ext, name, is_file, callback, context);
}

} // namespace

void* driver_gate(void* target, const char* entry)
{
    return make_gate(target, entry, false)->code;
}

void* host_gate(const char* import, void* target)
{
    if (std::strcmp(import, "VideoPortInitialize") == 0) {
        g_initialize = reinterpret_cast<decltype(g_initialize)>(target);
        target = reinterpret_cast<void*>(&initialize_gated);
    } else if (std::strcmp(import, "VideoPortGetRegistryParameters") == 0) {
        g_get_registry = reinterpret_cast<decltype(g_get_registry)>(target);
        target = reinterpret_cast<void*>(&get_registry_gated);
    }
    return make_gate(target, import, true)->code;
}

std::vector<StackUse> driver_stack_use()
{
    return state().use;
}

std::string format_stack_use(const std::vector<StackUse>& use)
{
    std::string out = format(
        "Deepest use of the %u-byte kernel stack by the driver's own frames:\n", kKernelStackSize);
    for (const StackUse& u : use)
        out += format("  %-20s %6u bytes (%llu calls)\n", u.entry.c_str(), u.deepest,
                      static_cast<unsigned long long>(u.calls));
    return out;
}

} // namespace sim
