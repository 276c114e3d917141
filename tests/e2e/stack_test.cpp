// How much of the 12 KiB kernel stack korvid.sys uses: every call the loader
// makes into the image runs on a guarded, painted stack of that size (see
// loader/driver_stack.h). Each run of these tests prints the deepest use per
// entry point and fails when one exceeds the budget.
#include "tests/support/drivers.h"
#include "tests/e2e/e2e.h"
#include "loader/driver_stack.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <iostream>

namespace {

// The miniport's share of the kernel stack. Its deepest measured use is 580
// bytes (the registry callback, within HwInitialize within DriverEntry); the
// rest of the 12 KiB belongs to the I/O manager, the video port and the
// display driver above it.
constexpr uint32_t kStackBudget = 1024;

class StackReport : public ::testing::Environment {
  public:
    void TearDown() override
    {
        const auto use = sim::driver_stack_use();
        if (use.empty())
            return;
        std::cout << sim::format_stack_use(use);
        for (const sim::StackUse& u : use)
            EXPECT_LE(u.deepest, kStackBudget) << u.entry << " uses more of the kernel stack "
                                               << "than the miniport's budget";
    }
};
const auto* const kStackReport = ::testing::AddGlobalTestEnvironment(new StackReport);

using Blob = ULONG(NTAPI*)(ULONG);

// Hand-made driver code on the gated stack: takes `bytes` of stack, touches
// its lowest word and returns its argument (stdcall, one word).
Blob stack_taker(uint32_t bytes, const char* name)
{
    uint8_t code[] = {0x81, 0xEC, 0,    0, 0, 0,    // sub esp, bytes
                      0x89, 0x04, 0x24,             // mov [esp], eax
                      0x8B, 0x84, 0x24, 0, 0, 0, 0, // mov eax, [esp+bytes+4]
                      0x81, 0xC4, 0,    0, 0, 0,    // add esp, bytes
                      0xC2, 0x04, 0x00};            // ret 4
    const uint32_t argument = bytes + 4;
    std::memcpy(code + 2, &bytes, 4);
    std::memcpy(code + 12, &argument, 4);
    std::memcpy(code + 18, &bytes, 4);
    void* page =
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    std::memcpy(page, code, sizeof code);
    return reinterpret_cast<Blob>(sim::driver_gate(page, name));
}

uint32_t deepest_of(const char* name)
{
    for (const sim::StackUse& u : sim::driver_stack_use())
        if (u.entry == name)
            return u.deepest;
    return 0;
}

TEST(DriverStack, MeasuresTheDeepestByteAndFaultsBelowTheStack)
{
    // The return address and 0x300 bytes below it.
    Blob within = stack_taker(0x300, "test code");
    EXPECT_EQ(within(0x1234), 0x1234u);
    EXPECT_EQ(deepest_of("test code"), 0x304u);

    // An overflow hits the guard page below the 12 KiB.
    Blob overflow = stack_taker(sim::kKernelStackSize, "overflowing test code");
    EXPECT_DEATH(overflow(1), "");
}

// Every entry point the video port calls runs on the measured stack.
TEST_F(KorvidSysFile, EveryEntryPointRunsOnTheKernelStack)
{
    std::string why;
    auto driver = sys_driver_factory().make(&why);
    ASSERT_TRUE(driver) << why;
    e2e::Session s(*driver);
    s.power_on(e2e::boards({0x11})).set_registry_dword(0, u"IBMMCLOCK", 125);
    ASSERT_EQ(s.boot(), static_cast<ULONG>(NO_ERROR));
    s.send(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8);
    s.reset_hw();
    for (const char* entry : {"DriverEntry", "HwFindAdapter", "HwInitialize", "HwStartIO",
                              "HwResetHw", "registry callback"})
        EXPECT_GT(deepest_of(entry), 0u) << entry;
}

} // namespace
