// The video port's call rules, checked like a driver verifier, on a small
// driver that breaks one rule at a time; and a device whose initialisation
// fails cannot be opened.
#include "miniport/korvid.h"
#include "platform/videoport/call_rules.h"
#include "platform/videoport/system.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

enum class Misdeed {
    None,
    LongStallInRequest,
    LongStallInInitialisation,
    BiosInReset,
    RegistryInReset,
    UnclaimedBase,
    BaseInRequest,
    RangesInRequest,
    MappingLeftOpen,
    StopInRequest,
    NestedRequest,
    InitialisationFails,
};

Misdeed g_misdeed = Misdeed::None;

struct Device {
    VIDEO_ACCESS_RANGE ranges[8];
};

PHYSICAL_ADDRESS at(const VIDEO_ACCESS_RANGE& r)
{
    return r.RangeStart;
}

VP_STATUS NTAPI find(PVOID ext, PVOID, PWSTR, PVIDEO_PORT_CONFIG_INFO, PUCHAR again)
{
    auto* d = static_cast<Device*>(ext);
    USHORT vendor = KORVID_PCI_VENDOR_ID, device = KORVID_PCI_DEVICE_ID;
    ULONG slot = 0;
    VP_STATUS s = VideoPortGetAccessRanges(ext, 0, nullptr, 8, d->ranges, &vendor, &device, &slot);
    if (s != NO_ERROR)
        return s;
    // The registers and a page past them: more than the device was given.
    ULONG length = g_misdeed == Misdeed::UnclaimedBase ? 0x11000 : 0x10000;
    VideoPortGetDeviceBase(ext, at(d->ranges[4]), length, 0);
    *again = FALSE;
    return NO_ERROR;
}

BOOLEAN NTAPI initialize(PVOID)
{
    if (g_misdeed == Misdeed::LongStallInInitialisation)
        VideoPortStallExecution(1000);
    return g_misdeed != Misdeed::InitialisationFails;
}

BOOLEAN NTAPI start_io(PVOID ext, PVIDEO_REQUEST_PACKET)
{
    auto* d = static_cast<Device*>(ext);
    switch (g_misdeed) {
    case Misdeed::LongStallInRequest:
        VideoPortStallExecution(51);
        break;
    case Misdeed::BaseInRequest:
        VideoPortGetDeviceBase(ext, at(d->ranges[4]), 0x100, 0);
        break;
    case Misdeed::RangesInRequest: {
        USHORT vendor = KORVID_PCI_VENDOR_ID, device = KORVID_PCI_DEVICE_ID;
        VIDEO_ACCESS_RANGE ranges[8];
        VideoPortGetAccessRanges(ext, 0, nullptr, 8, ranges, &vendor, &device, nullptr);
        break;
    }
    case Misdeed::MappingLeftOpen: {
        ULONG length = 0x1000, space = 0;
        PVOID va = nullptr;
        VideoPortMapMemory(ext, at(d->ranges[0]), &length, &space, &va);
        break;
    }
    case Misdeed::StopInRequest:
        korvid_host::System::current()->reset_display();
        break;
    case Misdeed::NestedRequest: {
        VIDEO_REQUEST_PACKET inner{};
        g_misdeed = Misdeed::None;
        korvid_host::System::current()->start_io(0, &inner);
        break;
    }
    default:
        break;
    }
    return TRUE;
}

VP_STATUS NTAPI ignore_value(PVOID, PVOID, PWSTR, PVOID, ULONG)
{
    return NO_ERROR;
}

BOOLEAN NTAPI reset(PVOID ext, ULONG, ULONG)
{
    if (g_misdeed == Misdeed::BiosInReset) {
        VIDEO_X86_BIOS_ARGUMENTS args{};
        args.Eax = 3;
        VideoPortInt10(ext, &args);
    }
    if (g_misdeed == Misdeed::RegistryInReset)
        VideoPortGetRegistryParameters(ext, const_cast<PWSTR>(u"DoubleWide"), FALSE, ignore_value,
                                       nullptr);
    return FALSE;
}

// The registration record as a test shapes it (size 0: the whole record).
ULONG g_init_size = 0;
bool g_without_start_io = false;

ULONG NTAPI entry(PVOID c1, PVOID c2)
{
    VIDEO_HW_INITIALIZATION_DATA init{};
    init.HwInitDataSize = g_init_size ? g_init_size : sizeof init;
    init.AdapterInterfaceType = PCIBus;
    init.HwFindAdapter = find;
    init.HwInitialize = initialize;
    init.HwStartIO = start_io;
    init.HwResetHw = reset;
    init.HwDeviceExtensionSize = sizeof(Device);
    if (g_without_start_io)
        init.HwStartIO = nullptr;
    return VideoPortInitialize(c1, c2, &init, nullptr);
}

TEST(Verifier, ReportsEachBrokenCallRule)
{
    const struct {
        Misdeed misdeed;
        const char* want; // null: no violation
        int rule;         // the entry of kCallRules it breaks
    } cases[] = {
        {Misdeed::None, nullptr, -1},
        {Misdeed::LongStallInInitialisation, nullptr, -1},
        {Misdeed::LongStallInRequest, "a stall of 51 us in HwStartIO", 0},
        {Misdeed::BiosInReset, "VideoPortInt10 called from HwResetHw", 1},
        {Misdeed::RegistryInReset, "VideoPortGetRegistryParameters called from HwResetHw", 1},
        {Misdeed::UnclaimedBase,
         "VideoPortGetDeviceBase of memory range 0xF0000000 (+0x11000) "
         "that the device was not given",
         2},
        {Misdeed::BaseInRequest, "VideoPortGetDeviceBase called from HwStartIO", 3},
        {Misdeed::RangesInRequest, "VideoPortGetAccessRanges called outside HwFindAdapter", 4},
        {Misdeed::MappingLeftOpen,
         "display-driver model: device 0 closed with one of its mappings left behind", 6},
        {Misdeed::StopInRequest, nullptr, -1},
        {Misdeed::NestedRequest, "HwStartIO entered while HwStartIO runs", 5},
    };
    std::set<int> rules;
    for (const auto& c : cases) {
        rules.insert(c.rule);
        g_misdeed = c.misdeed;
        korvid_host::System m({sim::BoardSetup{}});
        m.verifier().collect();
        ASSERT_EQ(m.boot({entry, {}}), NO_ERROR);
        VIDEO_REQUEST_PACKET packet{};
        m.start_io(0, &packet);
        m.reset_hw(0);
        m.close(0);
        std::vector<std::string> want;
        if (c.want)
            want.push_back(c.want);
        EXPECT_EQ(m.verifier().violations(), want) << int(c.misdeed);
    }
    g_misdeed = Misdeed::None;
    for (int rule = 0; rule < int(std::size(korvid_host::kCallRules)); ++rule)
        EXPECT_TRUE(rules.count(rule)) << "no case breaks " << korvid_host::kCallRules[rule].rule;
}

TEST(VerifierDeathTest, BrokenRuleEndsTheRun)
{
    g_misdeed = Misdeed::LongStallInRequest;
    korvid_host::System m({sim::BoardSetup{}});
    ASSERT_EQ(m.boot({entry, {}}), NO_ERROR);
    VIDEO_REQUEST_PACKET packet{};
    EXPECT_DEATH(m.start_io(0, &packet), "verifier: a stall of 51 us");
    g_misdeed = Misdeed::None;
}

// What registry callbacks were handed, one entry a call.
using Values = std::vector<std::vector<uint8_t>>;
Values g_values;
VP_STATUS g_callback_status = NO_ERROR;

VP_STATUS NTAPI collect_value(PVOID, PVOID, PWSTR, PVOID data, ULONG length)
{
    g_values.emplace_back(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + length);
    return g_callback_status;
}

// UTF-16 bytes of a text whose NULs the literal spells out.
template <size_t N> std::vector<uint8_t> utf16(const char16_t (&text)[N])
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < N; ++i)
        bytes.insert(bytes.end(), {uint8_t(text[i]), uint8_t(text[i] >> 8)});
    return bytes;
}

// Registry parameters reach the callback as the query routine gets them:
// expanded, one string of a multi-string at a time, a file's contents for
// a file name; the answer is the query's, not the callback's.
TEST(VideoPortRegistry, ValuesReachTheCallbackAsTheQueryRoutineGetsThem)
{
    korvid_host::System m({sim::BoardSetup{}});
    ASSERT_EQ(m.boot({entry, {}}), NO_ERROR);
    auto query = [&](const char16_t* name, UCHAR is_file_name = FALSE) {
        g_values.clear();
        return VideoPortGetRegistryParameters(m.device_extension(0), const_cast<PWSTR>(name),
                                              is_file_name, collect_value, nullptr);
    };
    m.set_registry_binary(0, u"Multi", utf16(u"one\0two\0\0"), korvid_host::kRegMultiSz);
    EXPECT_EQ(query(u"Multi"), NO_ERROR);
    EXPECT_EQ(g_values, (Values{utf16(u"one\0"), utf16(u"two\0")}));
    m.set_registry_binary(0, u"Cut", utf16(u"one"), korvid_host::kRegMultiSz);
    EXPECT_EQ(query(u"Cut"), NO_ERROR);
    EXPECT_EQ(g_values, Values{utf16(u"one\0")});
    m.set_registry_binary(0, u"Table", utf16(u"%SystemRoot%\\%X%\0"), korvid_host::kRegExpandSz);
    EXPECT_EQ(query(u"Table"), NO_ERROR);
    EXPECT_EQ(g_values, Values{utf16(u"C:\\WINNT\\%X%\0")});
    m.add_file(u"C:\\WINNT\\%X%", {1, 2, 3});
    EXPECT_EQ(query(u"Table", TRUE), NO_ERROR);
    EXPECT_EQ(g_values, (Values{{1, 2, 3}}));
    m.set_registry_binary(0, u"Nowhere", utf16(u"C:\\none\0"), korvid_host::kRegSz);
    EXPECT_EQ(query(u"Nowhere", TRUE), ERROR_INVALID_PARAMETER);
    g_callback_status = ERROR_INVALID_PARAMETER;
    m.set_registry_dword(0, u"Number", 5);
    EXPECT_EQ(query(u"Number"), NO_ERROR);
    g_callback_status = NO_ERROR;
    EXPECT_EQ(query(u"Absent"), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(g_values.empty());
}

// The port reads the registration record as far as it knows it: a larger
// one is a newer revision, one without its callbacks is refused, a shorter
// one lacks the fields past its end; the answer is an NTSTATUS.
TEST(Registration, IsCheckedAndAnsweredWithAnNtStatus)
{
    // The status, and whether the port took a HwResetHw.
    auto boot = [](ULONG size, bool without_start_io, size_t boards) {
        g_init_size = size;
        g_without_start_io = without_start_io;
        korvid_host::System m{std::vector<sim::BoardSetup>(boards)};
        const LONG status = LONG(m.boot({entry, {}}));
        return std::pair{status, m.registration().HwResetHw != nullptr};
    };
    const ULONG short_record = offsetof(VIDEO_HW_INITIALIZATION_DATA, HwResetHw);
    EXPECT_EQ(boot(sizeof(VIDEO_HW_INITIALIZATION_DATA) + 4, false, 1).first,
              STATUS_REVISION_MISMATCH);
    EXPECT_EQ(boot(0, true, 1).first, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(boot(short_record, false, 1), std::pair(STATUS_SUCCESS, false));
    EXPECT_EQ(boot(0, false, 0), std::pair(STATUS_UNSUCCESSFUL, true)) << "no device found";
}

// The video port opens a device only when HwInitialize succeeds; requests
// never reach a device that failed to open, nor does the reset.
TEST(DeviceOpen, FailsWhenInitialisationFails)
{
    g_misdeed = Misdeed::InitialisationFails;
    korvid_host::System m({sim::BoardSetup{}});
    ASSERT_EQ(m.boot({entry, {}}), NO_ERROR);
    EXPECT_FALSE(m.is_open(0));
    EXPECT_FALSE(m.open(0));
    VIDEO_REQUEST_PACKET packet{};
    EXPECT_EQ(m.start_io(0, &packet), FALSE);
    g_misdeed = Misdeed::None;
}

} // namespace
