#include "tests/e2e/e2e.h"

#include "loader/host_driver.h"

#include <gtest/gtest-spi.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace e2e {

namespace {
constexpr size_t kModeRecordBytes = sizeof(VIDEO_MODE_INFORMATION);
constexpr size_t kNumModesBytes = sizeof(VIDEO_NUM_MODES);
constexpr size_t kWordBytes = 4;
// With KORVID_TRANSCRIPTS set to a folder, every scenario's transcript is
// written there (one file per test and driver), so that two builds of the
// tree can be compared line for line.
void keep_transcript(const std::vector<std::string>& lines)
{
    const char* folder = std::getenv("KORVID_TRANSCRIPTS");
    if (!folder)
        return;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name)
        if (c == '/')
            c = '-';
    std::ofstream out(std::string(folder) + "/" + name + ".txt");
    for (const std::string& line : lines)
        out << line << "\n";
}
} // namespace

QuietRun play_quietly(Scenario scenario, const korvid_host::DriverImage& driver)
{
    QuietRun run;
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter quiet(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        Session s(driver);
        scenario(s);
        run.transcript = s.transcript();
    }
    for (int i = 0; i < results.size(); ++i)
        if (results.GetTestPartResult(i).failed())
            run.failures.push_back(results.GetTestPartResult(i).message());
    return run;
}

void EndToEnd::play(Scenario scenario)
{
    Session s(driver);
    scenario(s);
    const std::vector<std::string> got = s.transcript();
    keep_transcript(got);
    if (std::string(GetParam().name) == host_driver_factory().name)
        return;
    // The host build is the reference; its own failures are reported by its
    // own instance of the test.
    QuietRun host = play_quietly(scenario, sim::host_miniport());
    EXPECT_TRUE(host.failures.empty())
        << "the host build fails this scenario as well; its first failure:\n"
        << host.failures.front();
    EXPECT_TRUE(same_transcript(host.transcript, got)) << "korvid.sys and the host build differ";
}

sim::BoardSetup board(uint32_t code, bool vga_compatible)
{
    sim::BoardSetup b(code);
    b.vga_compatible = vga_compatible;
    return b;
}

VIDEO_MODE_INFORMATION mode_record(const Bytes& bytes, size_t index)
{
    VIDEO_MODE_INFORMATION info{};
    if (bytes.size() >= (index + 1) * kModeRecordBytes)
        std::memcpy(&info, bytes.data() + index * kModeRecordBytes, kModeRecordBytes);
    else
        ADD_FAILURE() << "no mode record " << index << " in " << bytes.size() << " bytes";
    return info;
}

std::vector<VIDEO_MODE_INFORMATION> list_modes(Session& s, int device)
{
    Reply count =
        s.send(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, kNumModesBytes, Buffers::Separate, device);
    EXPECT_EQ(count.status, NO_ERROR);
    EXPECT_EQ(count.word(1), kModeRecordBytes);
    const size_t n = count.word(0);
    Reply list =
        s.send(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, n * kModeRecordBytes, Buffers::Separate, device);
    EXPECT_EQ(list.status, NO_ERROR);
    EXPECT_EQ(list.information, n * kModeRecordBytes);
    std::vector<VIDEO_MODE_INFORMATION> modes;
    for (size_t i = 0; i < n; ++i)
        modes.push_back(mode_record(list.output, i));
    return modes;
}

ULONG find_mode(Session& s, ULONG width, ULONG height, ULONG bpp, ULONG hz, ULONG extra_width,
                ULONG extra_height)
{
    for (const VIDEO_MODE_INFORMATION& m : list_modes(s)) {
        if (m.VisScreenWidth != width || m.VisScreenHeight != height || m.BitsPerPlane != bpp ||
            m.Frequency != hz)
            continue;
        const Bytes row = words({m.ModeIndex});
        if (s.send(IOCTL_PRIV_GET_EXTRA_WIDTH, row, kWordBytes).word() == extra_width &&
            s.send(IOCTL_PRIV_GET_EXTRA_HEIGHT, row, kWordBytes).word() == extra_height)
            return m.ModeIndex;
    }
    ADD_FAILURE() << "no mode " << width << "x" << height << "x" << bpp << "@" << hz << " + "
                  << extra_width << "x" << extra_height << " is listed";
    return 0;
}

Reply set_mode(Session& s, ULONG index, int device)
{
    Reply r = s.send(IOCTL_VIDEO_SET_CURRENT_MODE, words({index}), 0, Buffers::Separate, device);
    EXPECT_EQ(r.status, NO_ERROR) << "mode " << index;
    return r;
}

Reply select_board(Session& s, ULONG number)
{
    Reply r = s.send(IOCTL_PRIV_SELECT_BOARD, words({number}));
    EXPECT_EQ(r.status, NO_ERROR);
    return r;
}

std::string driver_name(const ::testing::TestParamInfo<DriverFactory>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Drivers, EndToEnd, ::testing::ValuesIn(all_drivers()), driver_name);

} // namespace e2e
