// Faults in the board's device key: values of the wrong length or type, a
// memory-clock index that names no table entry, stored rates with wild clock
// words, and a registry that refuses every write. None of them may stop a
// board, and none may be taken for a setting it is not.
#include "tests/miniport/fault_machine.h"

#include "miniport/custom_refresh.h"
#include "tests/miniport/mode_rows.h"
#include "miniport/hardware.h"
#include "miniport/registry.h"
#include "hardware/decode.h"

#include <cstring>

using namespace sim;
using namespace korvid_host;
using namespace miniport_tests;

namespace {

constexpr uint16_t kSgramDefaultClock = 0x0647;
constexpr char16_t kLayoutValues[][11] = {u"DoubleWide", u"TwoTall"};

// A wide string with its terminator, as a REG_SZ value holds it.
std::vector<uint8_t> wide(const char* s)
{
    std::vector<uint8_t> out;
    for (; *s; ++s)
        out.insert(out.end(), {static_cast<uint8_t>(*s), 0});
    out.insert(out.end(), {0, 0});
    return out;
}

// Values that are not a 32-bit number: every other length (each starting
// with the bytes of 1), and a number written as text.
std::vector<RegistryValue> malformed_numbers()
{
    std::vector<RegistryValue> values;
    for (size_t length : {0, 1, 2, 3, 5, 6, 7, 8, 12, 16, 64}) {
        std::vector<uint8_t> data(length, 0);
        if (length)
            data[0] = 1;
        values.push_back({kRegDword, data});
        values.push_back({kRegBinary, data});
    }
    values.push_back({kRegSz, wide("95")});
    return values;
}

TEST(RegistryFaults, LayoutAndClockValuesThatAreNotNumbersAreIgnored)
{
    for (const RegistryValue& value : malformed_numbers()) {
        SCOPED_TRACE(::testing::Message() << value.data.size() << " bytes of type " << value.type);
        System m(boards({0x11}));
        for (const char16_t* name : kLayoutValues)
            m.registry(0)[name] = value;
        m.registry(0)[u"IBMMCLOCK"] = value;
        ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
        EXPECT_EQ(gVirtualsFlag, VIRTUALS_NONE);
        EXPECT_EQ(device(m)->ulMclockIndex, 0u);
        EXPECT_EQ(memory_pll_word(m.machine().board(0)), kSgramDefaultClock);
        EXPECT_TRUE(serves_requests(m));
    }
    // The text "1" is four bytes long, but not the number 1. (The video port
    // hands over no value type, so length and content are all there is.)
    System m(boards({0x11}));
    for (const char16_t* name : kLayoutValues)
        m.registry(0)[name] = RegistryValue{kRegSz, wide("1")};
    ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
    EXPECT_EQ(gVirtualsFlag, VIRTUALS_NONE);
}

TEST(RegistryFaults, ClockIndexNamingNoTableEntryRunsTheDefaultClock)
{
    struct Case {
        uint32_t index;
        uint16_t word;
    } cases[] = {{5, kSgramDefaultClock},
                 {125, 0x0676},
                 {126, kSgramDefaultClock},
                 {4096, kSgramDefaultClock},
                 {0xFFFFFFFF, kSgramDefaultClock}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        System m(boards({0x13}));
        m.set_registry_dword(0, u"IBMMCLOCK", c.index);
        ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
        EXPECT_EQ(device(m)->ulMclockIndex, c.index);
        EXPECT_EQ(memory_pll_word(m.machine().board(0)), c.word);
        EXPECT_TRUE(serves_requests(m));
        // The mode set in serves_requests loaded the clock again, then the
        // return to VGA its VGA clock; a mode set now shows the choice again.
        ASSERT_EQ(call(m, IOCTL_VIDEO_SET_CURRENT_MODE, testing_support::words({0})).status,
                  NO_ERROR);
        EXPECT_EQ(memory_pll_word(m.machine().board(0)), c.word);
    }
}

TEST(RegistryFaults, CustomRatesOfAnyOtherLengthLeaveTheSlotsBuiltIn)
{
    System clean(boards({0x11}));
    clean.boot(host_miniport());
    ULONG modes = call(clean, IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8).word();
    for (size_t length : {0, 4, 8, 11, 13, 16, 44}) {
        SCOPED_TRACE(::testing::Message() << length << " bytes");
        System m(boards({0x11}));
        std::vector<uint8_t> data(length, 0x11);
        if (length >= 4)
            std::memcpy(data.data(), "\x48\0\0\0", 4); // 72 Hz
        m.set_registry_binary(0, u"VrelCustomRefresh.04000300", data);
        ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
        for (ULONG row : custom_rows(1024, 768)) {
            EXPECT_EQ(display_mode[row].ModeInformation.Frequency, FREQUENCY_CUSTOM_SLOT);
            EXPECT_EQ(display_mode[row].pTiming->ulPll526, 0x0747u);
        }
        EXPECT_EQ(call(m, IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8).word(), modes);
        EXPECT_TRUE(serves_requests(m));
    }
}

TEST(RegistryFaults, StoredRateWithWildClockWordsCanStillBeEntered)
{
    System m(boards({0x11}));
    m.set_registry_binary(0, u"VrelCustomRefresh.04000300",
                          testing_support::words({61, 0xFFFFFFFF, 0xFFFFFFFF}));
    ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
    ULONG row = custom_rows(1024, 768).at(0);
    EXPECT_EQ(display_mode[row].ModeInformation.Frequency, 61u);
    ASSERT_EQ(call(m, IOCTL_VIDEO_SET_CURRENT_MODE, testing_support::words({row})).status,
              NO_ERROR);
    DisplayState shown = decode_display(m.machine().board(0));
    EXPECT_EQ(shown.h_active, 1024u);
    EXPECT_EQ(shown.pixel_pll, 0xFFFF) << "the PLL registers take the word's two bytes";
    EXPECT_TRUE(serves_requests(m));
}

TEST(RegistryFaults, RegistryThatRefusesWritesDoesNotStopInitialisation)
{
    System m(boards({0x11, 0x04}));
    m.faults().set_registry_status = ERROR_INVALID_PARAMETER;
    m.set_registry_dword(1, u"DoubleWide", 1);
    ASSERT_EQ(m.boot(host_miniport()), NO_ERROR);
    EXPECT_EQ(m.registry(0).count(u"HardwareInformation.ChipType"), 0u);
    EXPECT_EQ(gVirtualsFlag, VIRTUALS_DOUBLE_WIDE) << "values are still read";
    EXPECT_EQ(device(m, 1)->ulFlags, FLAG_ALL_VIRTUAL_MODES | FLAG_INITIALIZED);
    EXPECT_TRUE(serves_requests(m, 0));
    EXPECT_TRUE(serves_requests(m, 1));
}

} // namespace
