// The video port's call rules, checked like a driver verifier, on a small
// driver that breaks one rule at a time; and a device whose initialisation
// fails cannot be opened.
#include "korvid.h"
#include "videoport/system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum class Misdeed {
    None,
    LongStallInRequest,
    LongStallInInitialisation,
    BiosInReset,
    RegistryInReset,
    UnclaimedBase,
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

ULONG NTAPI entry(PVOID c1, PVOID c2)
{
    VIDEO_HW_INITIALIZATION_DATA init{};
    init.HwInitDataSize = sizeof init;
    init.AdapterInterfaceType = PCIBus;
    init.HwFindAdapter = find;
    init.HwInitialize = initialize;
    init.HwStartIO = start_io;
    init.HwResetHw = reset;
    init.HwDeviceExtensionSize = sizeof(Device);
    return VideoPortInitialize(c1, c2, &init, nullptr);
}

TEST(Verifier, ReportsEachBrokenCallRule)
{
    const struct {
        Misdeed misdeed;
        const char* want; // null: no violation
    } cases[] = {
        {Misdeed::None, nullptr},
        {Misdeed::LongStallInInitialisation, nullptr},
        {Misdeed::LongStallInRequest, "a stall of 51 us in HwStartIO"},
        {Misdeed::BiosInReset, "VideoPortInt10 called from HwResetHw"},
        {Misdeed::RegistryInReset, "VideoPortGetRegistryParameters called from HwResetHw"},
        {Misdeed::UnclaimedBase, "VideoPortGetDeviceBase of memory range 0xF0000000 (+0x11000) "
                                 "that the device was not given"},
        {Misdeed::RangesInRequest, "VideoPortGetAccessRanges called outside HwFindAdapter"},
        {Misdeed::MappingLeftOpen,
         "device 0 closed with a mapping of the display driver left behind"},
        {Misdeed::StopInRequest, nullptr},
        {Misdeed::NestedRequest, "HwStartIO entered while HwStartIO runs"},
    };
    for (const auto& c : cases) {
        g_misdeed = c.misdeed;
        korvid_host::System m({sim::BoardSetup{}});
        m.collect_violations = true;
        ASSERT_EQ(m.boot({entry, {}}), NO_ERROR);
        VIDEO_REQUEST_PACKET packet{};
        m.start_io(0, &packet);
        m.reset_hw(0);
        m.close(0);
        std::vector<std::string> want;
        if (c.want)
            want.push_back(c.want);
        EXPECT_EQ(m.violations, want) << int(c.misdeed);
    }
    g_misdeed = Misdeed::None;
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
