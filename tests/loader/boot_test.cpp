// Boot on the simulated machine, run on both drivers: the host-built
// miniport and korvid.sys as the cross build produced it.
#include "board.h"
#include "drivers.h"
#include "sim/host_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using sim::Machine;

namespace {

std::vector<sim::BoardSpec> boards(int n) {
    const uint32_t codes[] = {0x11, 0x02, 0x15};
    std::vector<sim::BoardSpec> specs;
    for (int i = 0; i < n; ++i)
        specs.push_back(sim::BoardSpec{codes[i % 3]});
    return specs;
}

PBOARD_EXTENSION extension(Machine& m, size_t device) {
    return static_cast<PBOARD_EXTENSION>(m.devices.at(device));
}

// Every device found, in board order, decoding enabled and chained to the next.
void expect_booted(Machine& m) {
    ASSERT_EQ(m.devices.size(), m.num_boards());
    for (size_t i = 0; i < m.num_boards(); ++i) {
        EXPECT_EQ(m.board_of_extension(m.devices[i]), static_cast<int>(i));
        EXPECT_EQ(m.board(i).config_dword(0x04) & 0x3, 0x3u) << "board " << i;
        PBOARD_EXTENSION next = i + 1 < m.num_boards() ? extension(m, i + 1) : nullptr;
        EXPECT_EQ(extension(m, i)->pNextBoard, next) << "board " << i;
    }
}

// Names the first difference, which is what someone chasing it needs.
::testing::AssertionResult same_trace(const std::vector<sim::Event>& want,
                                      const std::vector<sim::Event>& got) {
    auto [w, g] = std::mismatch(want.begin(), want.end(), got.begin(), got.end());
    if (w == want.end() && g == got.end())
        return ::testing::AssertionSuccess();
    auto result = ::testing::AssertionFailure();
    result << "traces differ at event " << (w - want.begin()) << " of " << want.size() << "/"
           << got.size() << ": expected "
           << (w == want.end() ? std::string("(end)") : sim::describe(*w)) << ", got "
           << (g == got.end() ? std::string("(end)") : sim::describe(*g));
    return result;
}

std::vector<sim::Event> host_boot_trace(int num_boards) {
    Machine m(boards(num_boards));
    EXPECT_EQ(m.boot(sim::host_miniport()), 0u);
    return m.trace.events();
}

class Boot : public ::testing::TestWithParam<std::tuple<DriverFactory, int>> {
  protected:
    void SetUp() override {
        std::string why;
        auto made = std::get<0>(GetParam()).make(&why);
        if (!made)
            GTEST_SKIP() << why;
        driver = *made;
    }
    int num_boards() const { return std::get<1>(GetParam()); }

    sim::DriverImage driver;
};

TEST_P(Boot, FindsEveryBoardEnablesDecodingAndChainsThemInOrder) {
    Machine m(boards(num_boards()));
    EXPECT_EQ(m.boot(driver), 0u);
    expect_booted(m);
}

// A reboot is a fresh load: globals left over from the first run (the board
// count, the end of the chain) would show in the second.
TEST_P(Boot, RebootStartsAgainFromLoadTimeState) {
    Machine m(boards(num_boards()));
    ASSERT_EQ(m.boot(driver), 0u);
    const std::vector<sim::Event> first = m.trace.events();
    EXPECT_EQ(m.reboot(), 0u);
    expect_booted(m);
    EXPECT_TRUE(same_trace(first, m.trace.events()));
}

TEST_P(Boot, DeviceAccessesMatchTheHostBuild) {
    Machine m(boards(num_boards()));
    ASSERT_EQ(m.boot(driver), 0u);
    EXPECT_FALSE(m.trace.events().empty());
    EXPECT_TRUE(same_trace(host_boot_trace(num_boards()), m.trace.events()));
}

std::string boot_name(const ::testing::TestParamInfo<Boot::ParamType>& info) {
    return std::string(std::get<0>(info.param).name) + "_" +
           std::to_string(std::get<1>(info.param)) + "boards";
}

INSTANTIATE_TEST_SUITE_P(Drivers, Boot,
                         ::testing::Combine(::testing::ValuesIn(all_drivers()),
                                            ::testing::Values(1, 2, 3)),
                         boot_name);

// The suite runs the binary itself: a copy whose PCI vendor id is patched in
// the code no longer finds the boards, and the comparison with the host
// build notices.
TEST(SysImage, APatchedCopyIsCaughtByTheComparison) {
    std::string why;
    auto file = korvid_sys_bytes(&why);
    if (!file)
        GTEST_SKIP() << why;

    // The vendor id as a 32-bit immediate in the code.
    const std::string vendor("\x7C\x1A\x00\x00", 4), other("\x83\xE5\x00\x00", 4);
    int patched = 0;
    for (const image_file::Section& s : image_file::sections(*file))
        if (s.flags & image_file::kCodeSection)
            patched += image_file::replace(*file, s, vendor, other);
    ASSERT_GT(patched, 0) << "the vendor id is no longer an immediate in the code";

    auto changed = sim::PeImage::load(*file, &why);
    ASSERT_NE(changed, nullptr) << why;
    Machine m(boards(2));
    EXPECT_NE(m.boot(sim::sys_driver(changed)), 0u);
    EXPECT_TRUE(m.devices.empty());
    EXPECT_FALSE(same_trace(host_boot_trace(2), m.trace.events()));
}

} // namespace
