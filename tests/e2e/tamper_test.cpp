// The suite runs the binary itself: copies of korvid.sys with one value
// changed behave differently, and the scenarios notice.
#include "tests/e2e/e2e.h"

#include "loader/host_driver.h"

#include <cstring>

namespace e2e {

namespace {

using namespace testing_support;

class ChangedImage : public KorvidSysFile {
  protected:
    // Replaces the byte pattern in the sections of one kind; returns how
    // many times it was found.
    int patch(const Bytes& from, const Bytes& to, bool in_code)
    {
        int found = 0;
        for (const pe::Section& s : pe::PeFile(file).sections())
            if (bool(s.flags & pe::kSectionCode) == in_code)
                found += replace(file, s, std::string(from.begin(), from.end()),
                                 std::string(to.begin(), to.end()));
        return found;
    }
    korvid_host::DriverImage load()
    {
        std::string why;
        pe::update_checksum(file); // as any tool that changes an image must
        auto image = sim::PeImage::load(file, &why);
        EXPECT_NE(image, nullptr) << why;
        return image ? sim::sys_driver(image) : korvid_host::DriverImage{};
    }
};

Bytes halves(std::initializer_list<uint16_t> list)
{
    Bytes v;
    for (uint16_t h : list)
        v.insert(v.end(), {uint8_t(h), uint8_t(h >> 8)});
    return v;
}

// The 640 x 480 at 60 Hz timing record as it lies in the image: slot flags,
// sync control, memory configuration word, the two pixel-PLL words; pixels
// per character, horizontal and vertical timing, reserved; the two clocks.
Bytes timing_640x480at60(uint32_t pll)
{
    Bytes record = words({0, 0x70, 0x00040100, pll, 0x0907});
    const Bytes timing = halves({8, 80, 20, 2, 12, 480, 45, 10, 2, 0});
    const Bytes clocks = words({25'175'000, 25'174'998});
    record.insert(record.end(), timing.begin(), timing.end());
    record.insert(record.end(), clocks.begin(), clocks.end());
    return record;
}

constexpr uint16_t kBuiltInPll = 0x0907; // 25.175 MHz
constexpr uint16_t kPatchedPll = 0x0908; // 25.525 MHz

uint16_t pll_after_640x480at60(const korvid_host::DriverImage& driver)
{
    Session s(driver);
    EXPECT_EQ(s.boot({board(0x11)}), NO_ERROR);
    set_mode(s, find_mode(s, 640, 480, 8, 60));
    return s.display(0).pixel_pll;
}

TEST_F(ChangedImage, APatchedTimingRecordChangesThePixelClock)
{
    ASSERT_EQ(patch(timing_640x480at60(kBuiltInPll), timing_640x480at60(kPatchedPll), false), 1)
        << "the 640 x 480 at 60 Hz record is not in the image's data as expected";
    korvid_host::DriverImage changed = load();
    ASSERT_TRUE(changed.entry);

    EXPECT_EQ(pll_after_640x480at60(sim::host_miniport()), kBuiltInPll);
    EXPECT_EQ(pll_after_640x480at60(changed), kPatchedPll);

    // The mode-set scenario fails on the changed image, at the pixel clock,
    // and its device accesses part from the host build's.
    QuietRun run = play_quietly(set_modes_scenario, changed);
    ASSERT_FALSE(run.failures.empty());
    EXPECT_NE(run.failures.front().find("pixel_pll"), std::string::npos) << run.failures.front();
    EXPECT_NE(run.failures.front().find("2312"), std::string::npos) << "0x0908";
    QuietRun host = play_quietly(set_modes_scenario, sim::host_miniport());
    EXPECT_TRUE(host.failures.empty());
    ::testing::AssertionResult same = same_transcript(host.transcript, run.transcript);
    ASSERT_FALSE(same);
    EXPECT_NE(std::string(same.message()).find("reg+0x0018 = 0x08"), std::string::npos)
        << "the first difference is the VCO byte written to the DAC: " << same.message();
}

// A copy whose PCI vendor id is patched in the code no longer finds the boards.
TEST_F(ChangedImage, APatchedVendorIdFindsNoBoard)
{
    const Bytes vendor = words({sim::kVendorId}), other = words({0xE583});
    ASSERT_GT(patch(vendor, other, true), 0) << "the vendor id is no longer an immediate";
    korvid_host::DriverImage changed = load();
    ASSERT_TRUE(changed.entry);
    Session s(changed);
    EXPECT_EQ(s.boot(boards({0x11, 0x02})), static_cast<ULONG>(STATUS_UNSUCCESSFUL));
    EXPECT_TRUE(s.system().devices().empty());
}

} // namespace

} // namespace e2e
