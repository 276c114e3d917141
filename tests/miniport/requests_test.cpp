// The request dispatcher, the standard requests and the private requests,
// on separate and on shared buffers.
#include "miniport/custom_refresh.h"
#include "miniport/hardware.h"
#include "miniport/korvid.h"
#include "miniport/private_ioctl.h"
#include "miniport/registry.h"
#include "miniport/requests.h"
#include "display/miniport_requests.h"
#include "hardware/decode.h"
#include "loader/host_driver.h"
#include "tests/support/machines.h"
#include "tests/support/requests.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace sim;
using namespace korvid_host;
using namespace testing_support;

namespace {

using testing_support::Reply;

ULONG row_of(ULONG w, ULONG h, ULONG bpp, ULONG hz, ULONG extra_w = 0, ULONG extra_h = 0)
{
    for (ULONG i = 0; i < num_display_modes; ++i) {
        const DISPLAY_MODE& d = display_mode[i];
        const VIDEO_MODE_INFORMATION& mi = d.ModeInformation;
        if (mi.VisScreenWidth == w && mi.VisScreenHeight == h && mi.BitsPerPlane == bpp &&
            mi.Frequency == hz && d.ulExtraWidth == extra_w && d.ulExtraHeight == extra_h)
            return i;
    }
    ADD_FAILURE() << "no row " << w << "x" << h << "x" << bpp << "@" << hz;
    return 0;
}

class Requests : public ::testing::Test {
  protected:
    explicit Requests(std::vector<uint32_t> codes = {0x11})
    {
        m = std::make_unique<System>(boards(codes));
        m->boot(host_miniport());
    }
    Reply call(ULONG code, const std::vector<uint8_t>& in = {}, size_t out = 0, bool shared = false)
    {
        return send(*m, code, in, out, shared ? Buffers::Shared : Buffers::Separate);
    }
    void set_mode(ULONG row)
    {
        Reply r = call(IOCTL_VIDEO_SET_CURRENT_MODE, words({row}));
        ASSERT_EQ(r.status, NO_ERROR);
    }
    std::unique_ptr<System> m;
};

TEST_F(Requests, UnknownCodesAreRefusedButHandled)
{
    const ULONG codes[] = {0,
                           0x230000 + 4 * 0xEBA,
                           0x230000 + 4 * 0xEC7,
                           0x230000 + 4 * 0xEF3,
                           IOCTL_VIDEO_QUERY_AVAIL_MODES + 1,
                           0x23044C};
    for (ULONG code : codes) {
        Reply r = call(code, words({1, 2, 3}), 16);
        EXPECT_EQ(r.handled, TRUE);
        EXPECT_EQ(r.status, ERROR_INVALID_FUNCTION) << std::hex << code;
        EXPECT_EQ(r.information, kUntouchedInformation);
    }
}

// The catalogue that the display driver's side sends from names exactly the
// codes the dispatch tables answer, among all the video device's codes.
TEST(RequestCatalogue, NamesEveryCodeTheMiniportDispatches)
{
    constexpr ULONG kVideoCodes = CTL_CODE(FILE_DEVICE_VIDEO, 0, 0, 0);
    constexpr ULONG kCodesPerDevice = 0x10000;
    for (ULONG code = kVideoCodes; code < kVideoCodes + kCodesPerDevice; ++code) {
        bool dispatched = find_standard_request(code) || find_private_request(code);
        EXPECT_EQ(dispatched, sim::find_request(code) != nullptr) << std::hex << code;
    }
}

class TwoBoards : public Requests {
  protected:
    TwoBoards() : Requests({0x11, 0x13}) {}
};

TEST_F(TwoBoards, BoardNumberPastTheChainSelectsTheLastBoard)
{
    EXPECT_EQ(call(IOCTL_PRIV_GET_BOARD_CONFIG, {}, 4).word(), 0x11u);
    EXPECT_EQ(call(IOCTL_PRIV_SELECT_BOARD, words({5})).status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_PRIV_GET_BOARD_CONFIG, {}, 4).word(), 0x13u);
    EXPECT_EQ(call(IOCTL_PRIV_GET_MEMORY_SIZE_MB, {}, 4).word(), 20u);
    EXPECT_EQ(call(IOCTL_PRIV_GET_NUM_BOARDS, {}, 4).word(), 2u);
    EXPECT_EQ(call(IOCTL_PRIV_SELECT_BOARD, words({0})).status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_PRIV_GET_BOARD_CONFIG, {}, 4).word(), 0x11u);
}

TEST_F(Requests, ModeListIsCountedThenFilled)
{
    Reply small = call(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 7);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 8u);
    Reply count = call(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8);
    ASSERT_EQ(count.status, NO_ERROR);
    EXPECT_EQ(count.word(0), 235u) << "8 MiB SGRAM, every layout";
    EXPECT_EQ(count.word(1), 80u);
    Reply shortlist = call(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, 235 * 80 - 1);
    EXPECT_EQ(shortlist.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(shortlist.information, 235u * 80);
    Reply list = call(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, 235 * 80);
    ASSERT_EQ(list.status, NO_ERROR);
    EXPECT_EQ(list.information, 235u * 80);
    VIDEO_MODE_INFORMATION first;
    std::memcpy(&first, list.output.data(), 80);
    VIDEO_MODE_INFORMATION want;
    FillModeInformation(device(*m), first.ModeIndex, &want);
    EXPECT_EQ(std::memcmp(&first, &want, 80), 0);
}

TEST_F(Requests, ModeListThatGrewSinceTheCountIsNotWrittenPastTheBuffer)
{
    set_mode(row_of(1024, 768, 8, 60));
    Reply count = call(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8);
    ULONG n = count.word(0);
    EXPECT_EQ(n, 62u);
    // The display driver switches every layout back on before filling.
    ASSERT_EQ(call(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, {1}).status, NO_ERROR);
    Reply list = call(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, n * 80);
    EXPECT_EQ(list.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(list.information, 235u * 80) << "the room the list needs now";
    for (uint8_t b : list.output)
        ASSERT_EQ(b, 0xCC) << "nothing written";
    Reply again = call(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, 235 * 80);
    EXPECT_EQ(again.status, NO_ERROR);
}

TEST_F(Requests, ModeListWithoutAPrecedingCountAsksForRoom)
{
    Reply list = call(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, 0);
    EXPECT_EQ(list.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(list.information, 235u * 80);
}

TEST_F(Requests, SetCurrentModeRefusesWhatIsNotAValidRow)
{
    EXPECT_EQ(call(IOCTL_VIDEO_SET_CURRENT_MODE, {1, 0, 0}).status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(call(IOCTL_VIDEO_SET_CURRENT_MODE, words({num_display_modes})).status,
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(call(IOCTL_VIDEO_SET_CURRENT_MODE, words({0xFFFFFFFF})).status,
              ERROR_INVALID_PARAMETER);
    ULONG invalid = row_of(1920, 1080, 32, 60, 1920, 1080);
    ASSERT_EQ(display_mode[invalid].fValid, 0);
    m->machine().trace.clear();
    EXPECT_EQ(call(IOCTL_VIDEO_SET_CURRENT_MODE, words({invalid})).status, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(m->machine().trace.size(), 0u);
    EXPECT_EQ(device(*m)->ulCurrentMode, 0u);
}

TEST_F(Requests, SetCurrentModeClearsTheListFiltersAndKeepsGamma)
{
    ULONG row16 = row_of(1024, 768, 16, 75);
    set_mode(row16);
    PBOARD_EXTENSION ext = device(*m);
    EXPECT_EQ(ext->ulCurrentMode, row16);
    EXPECT_EQ(ext->ulFlags & (FLAG_ALL_VIRTUAL_MODES | FLAG_TEST_MODES), 0u);
    EXPECT_EQ(m->machine().board(0).reg(chip::DisplayPitch), 2048u);

    // Gamma off: the mode set does not touch the gamma path.
    m->machine().trace.clear();
    set_mode(row16);
    EXPECT_EQ(m->machine().board(0).dac().reg(dac_reg::Control16), 0xC7);

    ASSERT_EQ(call(IOCTL_PRIV_GAMMA_CONTROL, words({GAMMA_CONTROL_ENABLE}), 4).word(), 1u);
    std::vector<uint8_t> ramp = words({0x00010000u | 5, 0x30201000});
    ASSERT_EQ(call(IOCTL_PRIV_SET_GAMMA_RAMP, ramp).status, NO_ERROR);
    ASSERT_EQ(call(IOCTL_PRIV_SET_TEST_MODES, {1}).status, NO_ERROR);
    set_mode(row_of(800, 600, 32, 60));
    EXPECT_EQ(ext->ulFlags, FLAG_GAMMA_ENABLED | FLAG_INITIALIZED);
    EXPECT_EQ(m->machine().board(0).dac().reg(dac_reg::Control16), 0x02)
        << "gamma path back on after the mode set";
    EXPECT_EQ(m->machine().board(0).dac().palette(5), (Rgb{0x10, 0x20, 0x30}))
        << "the ramp is reloaded";
}

class WramBoard : public Requests {
  protected:
    WramBoard() : Requests({0x01}) {}
};

TEST_F(WramBoard, CurrentModeIsReportedInFull)
{
    ULONG row = row_of(1280, 1024, 32, 60);
    set_mode(row);
    Reply small = call(IOCTL_VIDEO_QUERY_CURRENT_MODE, {}, 79);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 80u);
    Reply r = call(IOCTL_VIDEO_QUERY_CURRENT_MODE, {}, 80);
    ASSERT_EQ(r.status, NO_ERROR);
    VIDEO_MODE_INFORMATION mi;
    std::memcpy(&mi, r.output.data(), 80);
    EXPECT_EQ(mi.ModeIndex, row);
    EXPECT_EQ(mi.VideoMemoryBitmapHeight, 1638u);
    EXPECT_EQ(mi.AttributeFlags, 0x3u | MODE_ATTR_WRAM);
}

TEST_F(Requests, ColorRegistersCheckTheirRange)
{
    auto clut = [](uint16_t count, uint16_t first, size_t entries) {
        std::vector<uint8_t> v = {uint8_t(count), uint8_t(count >> 8), uint8_t(first),
                                  uint8_t(first >> 8)};
        for (size_t i = 0; i < entries; ++i)
            v.insert(v.end(), {uint8_t(i + 1), uint8_t(i + 2), uint8_t(i + 3), 0});
        return v;
    };
    EXPECT_EQ(call(IOCTL_VIDEO_SET_COLOR_REGISTERS, clut(1, 255, 1)).status, NO_ERROR);
    EXPECT_EQ(m->machine().board(0).dac().palette(255), (Rgb{1, 2, 3}));
    EXPECT_EQ(call(IOCTL_VIDEO_SET_COLOR_REGISTERS, clut(2, 255, 2)).status,
              ERROR_INVALID_PARAMETER);
    std::vector<uint8_t> three = clut(3, 0, 3);
    three.resize(15);
    EXPECT_EQ(call(IOCTL_VIDEO_SET_COLOR_REGISTERS, three).status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(call(IOCTL_VIDEO_SET_COLOR_REGISTERS, clut(0, 0, 0)).status, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(call(IOCTL_VIDEO_SET_COLOR_REGISTERS, clut(1, 256, 1)).status,
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(call(IOCTL_VIDEO_SET_COLOR_REGISTERS, {1, 0, 0}).status, ERROR_INSUFFICIENT_BUFFER);
    m->machine().trace.clear();
    EXPECT_EQ(call(IOCTL_VIDEO_SET_COLOR_REGISTERS, clut(3, 10, 3)).status, NO_ERROR);
    EXPECT_EQ(m->machine().trace.accesses().size(), 12u)
        << "an address and three colours per entry";
}

TEST_F(WramBoard, VideoMemoryIsMappedAtTheModesStart)
{
    set_mode(row_of(1280, 1024, 32, 60));
    Reply small = call(IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 15);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 16u);
    Reply noinput = call(IOCTL_VIDEO_MAP_VIDEO_MEMORY, {0, 0, 0}, 16);
    EXPECT_EQ(noinput.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(noinput.information, 16u);
    for (bool shared : {false, true}) {
        Reply r = call(IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 16, shared);
        ASSERT_EQ(r.status, NO_ERROR);
        EXPECT_TRUE(m->mappings().back().write_combined);
        uint32_t base = r.word(0);
        // The display driver's own view of the memory, not the kernel's.
        uint8_t* kernel = m->machine().board(0).frame_buffer().base();
        EXPECT_NE(base, reinterpret_cast<uintptr_t>(kernel));
        reinterpret_cast<uint8_t*>(base)[0x7FFFFF] = 0x5A;
        EXPECT_EQ(kernel[0x7FFFFF], 0x5A);
        EXPECT_EQ(r.word(1), 0x800000u);
        EXPECT_EQ(r.word(2), base + 1024);
        EXPECT_EQ(r.word(3), 0x800000u - 1024);
        EXPECT_EQ(call(IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, words({base})).status, NO_ERROR);
    }
    EXPECT_TRUE(std::none_of(m->mappings().begin(), m->mappings().end(),
                             [](const Mapping& mp) { return !mp.kernel; }));
    EXPECT_EQ(call(IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, {1, 2}).status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_NE(call(IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, words({0x1234})).status, NO_ERROR);
    m->faults().map_memory_status = 8;
    EXPECT_EQ(call(IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 16).status, 8);
}

TEST_F(Requests, PublicRangesAreMappedAndFreed)
{
    Reply small = call(IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES, {}, 95);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 96u);
    size_t kernel = m->mappings().size();
    Reply r = call(IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES, {}, 96);
    ASSERT_EQ(r.status, NO_ERROR);
    for (int k = 0; k < 8; ++k) {
        uint32_t va = r.word(3 * k + 2);
        if (k == 2 || k == 4) {
            EXPECT_NE(va, 0u) << k;
            EXPECT_EQ(r.word(3 * k), 0u);
        } else {
            EXPECT_EQ(va, 0u) << k;
        }
    }
    EXPECT_NE(r.word(3 * 2 + 2), reinterpret_cast<uintptr_t>(
                                     m->machine().board(0).region(Aperture::XyWindow)->base()));
    EXPECT_NE(r.word(3 * 4 + 2), reinterpret_cast<uintptr_t>(
                                     m->machine().board(0).region(Aperture::Registers)->base()));
    EXPECT_EQ(m->mappings().size(), kernel + 2);
    EXPECT_FALSE(m->mappings().back().write_combined) << "registers are not write-combined";
    EXPECT_EQ(m->mappings().back().length, 0x10000u);
    EXPECT_EQ(m->mappings()[kernel].length, 0x2000u);

    // Only the whole entries of a short input are read.
    std::vector<uint8_t> three(r.output.begin(), r.output.begin() + 40);
    EXPECT_EQ(call(IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES, three).status, NO_ERROR);
    EXPECT_EQ(m->mappings().size(), kernel + 1);
    // Entry 0 is freed like any other.
    std::vector<uint8_t> first(r.output.begin() + 48, r.output.begin() + 60);
    first.resize(36);
    EXPECT_EQ(call(IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES, first).status, NO_ERROR);
    EXPECT_EQ(m->mappings().size(), kernel);
    EXPECT_EQ(call(IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES,
                   std::vector<uint8_t>(r.output.begin(), r.output.begin() + 31))
                  .status,
              ERROR_INSUFFICIENT_BUFFER);
    VP_STATUS again = call(IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES, r.output).status;
    EXPECT_NE(again, NO_ERROR) << "entries 2 and 4 were freed already";
    EXPECT_EQ(m->mappings().size(), kernel);
    EXPECT_EQ(m->refused_unmaps().size(), 2u) << "each second unmap is reported";
}

TEST_F(Requests, SharedViewsStayInsideVideoMemory)
{
    auto share = [&](uint32_t offset, uint32_t size, size_t in_len = 16) {
        std::vector<uint8_t> in = words({0x77, offset, size, 0});
        in.resize(in_len);
        return call(IOCTL_VIDEO_SHARE_VIDEO_MEMORY, in, 12);
    };
    Reply ok = share(0x100000, 0x700000);
    ASSERT_EQ(ok.status, NO_ERROR);
    EXPECT_EQ(ok.information, 12u);
    EXPECT_EQ(ok.word(0), 0x100000u);
    EXPECT_EQ(ok.word(1), 0x700000u);
    EXPECT_EQ(m->mappings().back().process, 0x77u);
    EXPECT_EQ(share(0x100000, 0x700001).status, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(share(0x800001, 0).status, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(share(0x100000, 0xFFF00001).status, ERROR_INVALID_PARAMETER) << "wraps around";
    EXPECT_EQ(share(0, 0x100, 11).status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(share(0, 0x100, 12).status, NO_ERROR);
    Reply unshare = call(IOCTL_VIDEO_UNSHARE_VIDEO_MEMORY, words({0x77, 0, 0, ok.word(2)}));
    EXPECT_EQ(unshare.status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_VIDEO_UNSHARE_VIDEO_MEMORY, words({0x77, 0, 0})).status,
              ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(Requests, ResetCallsTheBiosOnlyOnAVgaBoard)
{
    EXPECT_EQ(call(IOCTL_VIDEO_RESET_DEVICE).status, NO_ERROR);
    ASSERT_EQ(m->int10_calls().size(), 1u);
    EXPECT_EQ(m->int10_calls()[0].Eax, 3u);
    BoardSetup other;
    other.vga_compatible = false;
    System second({other});
    second.boot(host_miniport());
    EXPECT_EQ(send(second, IOCTL_VIDEO_RESET_DEVICE, {}, 0).status, NO_ERROR);
    EXPECT_TRUE(second.int10_calls().empty());
}

TEST_F(Requests, StringsAreCutToTheBuffer)
{
    Reply r = call(IOCTL_PRIV_GET_BOARD_NAME, {}, 64);
    EXPECT_EQ(r.status, NO_ERROR);
    EXPECT_EQ(r.information, 15u);
    EXPECT_STREQ(reinterpret_cast<const char*>(r.output.data()), "Halcyra(tm) 3D");
    for (size_t i = 14; i < 64; ++i)
        EXPECT_EQ(r.output[i], 0);
    Reply cut = call(IOCTL_PRIV_GET_CHIP_NAME, {}, 4);
    EXPECT_EQ(cut.information, 4u);
    EXPECT_EQ(std::string(cut.output.begin(), cut.output.end()), std::string("Orv\0", 4));
    Reply none = call(IOCTL_PRIV_GET_BUS_NAME, {}, 0);
    EXPECT_EQ(none.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(none.information, 4u);
    EXPECT_STREQ(reinterpret_cast<const char*>(call(IOCTL_PRIV_GET_DAC_NAME, {}, 32).output.data()),
                 "IBM RGB 526");
    device(*m)->ulDacType = 2;
    EXPECT_STREQ(reinterpret_cast<const char*>(call(IOCTL_PRIV_GET_DAC_NAME, {}, 32).output.data()),
                 "IBM RGB 526");
    device(*m)->ulDacType = 1;
    EXPECT_STREQ(reinterpret_cast<const char*>(call(IOCTL_PRIV_GET_DAC_NAME, {}, 32).output.data()),
                 "IBM RGB 528");
    device(*m)->ulDacType = 7;
    EXPECT_STREQ(reinterpret_cast<const char*>(call(IOCTL_PRIV_GET_DAC_NAME, {}, 32).output.data()),
                 "UNKOWN");
    EXPECT_STREQ(
        reinterpret_cast<const char*>(call(IOCTL_PRIV_GET_MEMORY_TYPE_NAME, {}, 32).output.data()),
        "SGRAM");
}

TEST_F(Requests, WordAnswersAndSetters)
{
    EXPECT_EQ(call(IOCTL_PRIV_GET_BUS_TYPE, {}, 4).word(), 5u);
    EXPECT_EQ(call(IOCTL_PRIV_GET_CONSTANT_128, {}, 4).word(), 128u);
    EXPECT_EQ(call(IOCTL_PRIV_GET_CONSTANT_592, {}, 4).word(), 592u);
    Reply small = call(IOCTL_PRIV_GET_CONSTANT_592, {}, 3);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 4u);
    EXPECT_EQ(call(IOCTL_PRIV_NOP, words({0})).status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_PRIV_NOP, {0}).status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(call(IOCTL_PRIV_SET_DRIVER_OPTION, words({0xFE})).status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_PRIV_GET_DRIVER_OPTION, {}, 4).word(), 2u);
    EXPECT_EQ(call(IOCTL_PRIV_SET_VIRTUALS_FLAG, words({2})).status, NO_ERROR);
    EXPECT_EQ(gVirtualsFlag, 2u);
    EXPECT_EQ(call(IOCTL_PRIV_GET_ALL_VIRTUAL_MODES, {}, 4).word(), 1u);
    EXPECT_EQ(call(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, {}).status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(call(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, {0}).status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_PRIV_GET_ALL_VIRTUAL_MODES, {}, 4).word(), 0u);
    EXPECT_EQ(call(IOCTL_PRIV_SET_MCLOCK_INDEX, words({90})).status, NO_ERROR);
    EXPECT_EQ(device(*m)->ulMclockIndex, 90u);
    set_mode(row_of(640, 480, 8, 60));
    EXPECT_EQ(call(IOCTL_PRIV_GET_TOTALS, {}, 4).word(), (800u << 16) | 525u);
}

TEST(WramRequests, MemoryClockIndexIsIgnored)
{
    System m({BoardSetup{0x01}});
    m.boot(host_miniport());
    EXPECT_EQ(send(m, IOCTL_PRIV_SET_MCLOCK_INDEX, words({90}), 0).status, NO_ERROR);
    EXPECT_EQ(device(m)->ulMclockIndex, 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(
                     send(m, IOCTL_PRIV_GET_MEMORY_TYPE_NAME, {}, 8).output.data()),
                 "WRAM");
}

TEST_F(Requests, StallIsCappedAt50Microseconds)
{
    for (auto [in, want] :
         {std::pair<uint32_t, uint64_t>{0, 0}, {1, 1}, {1000, 50}, {0xFFFFFFFF, 50}, {7, 7}}) {
        m->machine().trace.clear();
        EXPECT_EQ(call(IOCTL_PRIV_STALL, words({in})).status, NO_ERROR);
        EXPECT_EQ(m->machine().trace.stall_us(), want) << in;
    }
}

TEST_F(Requests, CursorColourWordsUseTheirLowBytes)
{
    std::vector<uint8_t> in = {0x34, 0x12, 0xFF, 0x00, 0x80, 0xAB};
    EXPECT_EQ(call(IOCTL_PRIV_SET_CURSOR_COLOR, {1, 2, 3, 4, 5}).status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(call(IOCTL_PRIV_SET_CURSOR_COLOR, in).status, NO_ERROR);
    EXPECT_EQ(device(*m)->ulCursorColor, 0x34FF80u);
    const Dac& dac = m->machine().board(0).dac();
    const uint16_t colour2 = dac_reg::CursorColour2;
    EXPECT_EQ(dac.reg(colour2), 0x34);
    EXPECT_EQ(dac.reg(colour2 + 1), 0xFF);
    EXPECT_EQ(dac.reg(colour2 + 2), 0x80);
    m->machine().board(0).dac().set_reg(colour2, 0);
    EXPECT_EQ(call(IOCTL_PRIV_APPLY_CURSOR_COLOR).status, NO_ERROR);
    EXPECT_EQ(dac.reg(colour2), 0x34);
}

TEST_F(Requests, GammaControlFollowsTheDepth)
{
    EXPECT_EQ(call(IOCTL_PRIV_GAMMA_CONTROL, words({GAMMA_CONTROL_QUERY}), 4).word(), 0u);
    EXPECT_EQ(call(IOCTL_PRIV_UPDATE_GAMMA).status, ERROR_INVALID_PARAMETER);
    Reply small = call(IOCTL_PRIV_GAMMA_CONTROL, words({4}), 3);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 4u);
    EXPECT_EQ(call(IOCTL_PRIV_GAMMA_CONTROL, {4}, 4).status, ERROR_INSUFFICIENT_BUFFER);
    set_mode(row_of(1024, 768, 16, 60));
    for (bool shared : {false, true}) {
        EXPECT_EQ(call(IOCTL_PRIV_GAMMA_CONTROL, words({GAMMA_CONTROL_QUERY}), 4, shared).word(),
                  1u);
        EXPECT_EQ(call(IOCTL_PRIV_GAMMA_CONTROL, words({GAMMA_CONTROL_ENABLE}), 4, shared).word(),
                  1u);
        EXPECT_EQ(m->machine().board(0).dac().reg(dac_reg::Control16), 0x02);
        EXPECT_EQ(call(IOCTL_PRIV_GAMMA_CONTROL, words({GAMMA_CONTROL_DISABLE}), 4, shared).word(),
                  1u);
        EXPECT_EQ(m->machine().board(0).dac().reg(dac_reg::Control24), 0x01);
        EXPECT_EQ(call(IOCTL_PRIV_GAMMA_CONTROL, words({9}), 4, shared).word(), 0u);
    }
    EXPECT_EQ(call(IOCTL_PRIV_UPDATE_GAMMA).status, NO_ERROR);
}

TEST_F(Requests, GammaRampRefusals)
{
    set_mode(row_of(1024, 768, 32, 60));
    EXPECT_EQ(call(IOCTL_PRIV_SET_GAMMA_RAMP, words({0x00010000})).status,
              ERROR_INSUFFICIENT_BUFFER);
    std::vector<uint8_t> ramp = words({(256u << 16) | 1});
    ramp.resize(1028, 0x40);
    m->machine().trace.clear();
    EXPECT_EQ(call(IOCTL_PRIV_SET_GAMMA_RAMP, ramp).status, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(m->machine().trace.size(), 0u);
    std::vector<uint8_t> full = words({256u << 16});
    full.resize(1024, 0x40);
    EXPECT_EQ(call(IOCTL_PRIV_SET_GAMMA_RAMP, full).status, ERROR_INVALID_PARAMETER)
        << "1020 bytes of words for 256 entries";
    full.resize(1028, 0x40);
    EXPECT_EQ(call(IOCTL_PRIV_SET_GAMMA_RAMP, full).status, NO_ERROR);
    EXPECT_EQ(device(*m)->GammaTable[255][0], 0x40);
}

TEST_F(Requests, ExtraExtentsNeverReadPastTheTable)
{
    set_mode(row_of(1024, 768, 16, 60, 1024, 0));
    EXPECT_EQ(call(IOCTL_PRIV_GET_EXTRA_WIDTH, words({0xFFFFFFFF}), 4).word(), 1024u);
    EXPECT_EQ(call(IOCTL_PRIV_GET_EXTRA_HEIGHT, words({0xFFFFFFFF}), 4).word(), 0u);
    ULONG both = row_of(640, 480, 8, 60, 640, 480);
    EXPECT_EQ(call(IOCTL_PRIV_GET_EXTRA_HEIGHT, words({both}), 4, true).word(), 480u);
    const ULONG rows[] = {num_display_modes, 0x7FFFFFFF, 0xFFFFFFFE};
    for (ULONG row : rows) {
        Reply r = call(IOCTL_PRIV_GET_EXTRA_WIDTH, words({row}), 4);
        EXPECT_EQ(r.status, ERROR_INVALID_PARAMETER) << row;
        EXPECT_EQ(r.word(), 0xCCCCCCCCu);
    }
    EXPECT_EQ(call(IOCTL_PRIV_GET_EXTRA_WIDTH, {1, 2, 3}, 4).status, ERROR_INSUFFICIENT_BUFFER);
    Reply small = call(IOCTL_PRIV_GET_EXTRA_WIDTH, words({0}), 2);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 4u);
}

// A board's current row is checked against the active table at every
// look-up: an index past it names no mode, and nothing is read or mapped.
TEST_F(Requests, ACurrentRowOutsideTheTableNamesNoMode)
{
    device(*m)->ulCurrentMode = num_display_modes;
    const size_t mappings = m->mappings().size();
    const struct {
        ULONG code;
        std::vector<uint8_t> in;
        size_t out;
    } requests[] = {
        {IOCTL_VIDEO_QUERY_CURRENT_MODE, {}, sizeof(VIDEO_MODE_INFORMATION)},
        {IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), sizeof(VIDEO_MEMORY_INFORMATION)},
        {IOCTL_PRIV_GET_TOTALS, {}, 4},
        {IOCTL_PRIV_GET_EXTRA_WIDTH, words({0xFFFFFFFF}), 4},
        {IOCTL_PRIV_GET_EXTRA_HEIGHT, words({0xFFFFFFFF}), 4},
    };
    for (const auto& r : requests)
        EXPECT_EQ(call(r.code, r.in, r.out).status, ERROR_INVALID_PARAMETER) << std::hex << r.code;
    EXPECT_EQ(m->mappings().size(), mappings);
}

TEST_F(Requests, CustomRefreshCommitNamesTheRegistryValue)
{
    set_mode(row_of(1024, 768, 16, 60, 1024, 0));
    Reply eleven = call(IOCTL_PRIV_SET_CUSTOM_REFRESH, std::vector<uint8_t>(11), 44);
    EXPECT_EQ(eleven.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(eleven.information, kUntouchedInformation);
    Reply small = call(IOCTL_PRIV_SET_CUSTOM_REFRESH, words({72, 77'000'000, 0x064B}), 43);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 44u);
    for (bool shared : {false, true}) {
        Reply r = call(IOCTL_PRIV_SET_CUSTOM_REFRESH, words({72, 77'000'000, 0x064B}), 44, shared);
        ASSERT_EQ(r.status, NO_ERROR);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.output.data()), 32),
                  std::string("VrelCustomRefresh.04000300\0\0\0\0\0\0", 32));
        EXPECT_EQ(r.word(8), 72u);
        EXPECT_EQ(r.word(9), 77'000'000u);
        EXPECT_EQ(r.word(10), 0x064Bu);
    }
    ULONG rows = 0, valid = 0;
    for (ULONG i = 0; i < num_display_modes; ++i)
        if ((display_mode[i].pTiming->ulTimingFlags & TIMING_CUSTOM_SLOT) &&
            display_mode[i].ModeInformation.VisScreenWidth == 1024) {
            ++rows;
            valid += display_mode[i].fValid;
            EXPECT_EQ(display_mode[i].ModeInformation.Frequency, 72u);
        }
    EXPECT_EQ(rows, 12u);
    EXPECT_EQ(valid, 11u) << "both extents at 32 bpp do not fit in 8 MiB";
    ASSERT_EQ(call(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, {1}).status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8).word(), 235u + valid)
        << "the valid custom rows of 1024 x 768 join the list";
}

TEST_F(Requests, TrialRateIsListedOnlyWithTestModes)
{
    set_mode(row_of(640, 480, 8, 60));
    ASSERT_EQ(call(IOCTL_PRIV_SET_TEST_MODES, {1}).status, NO_ERROR);
    Reply r = call(IOCTL_PRIV_TRY_REFRESH, words({70, 30'000'000, 0x0705}), 4);
    ASSERT_EQ(r.status, NO_ERROR);
    EXPECT_EQ(r.word(), 1u);
    EXPECT_EQ(display_mode[0].ModeInformation.Frequency, 70u);
    ASSERT_EQ(call(IOCTL_PRIV_SET_TEST_MODES, {0}).status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_PRIV_TRY_REFRESH, words({70, 30'000'000, 0x0705}), 4, true).word(), 0u);
    EXPECT_EQ(call(IOCTL_PRIV_TRY_REFRESH, std::vector<uint8_t>(11), 4).status,
              ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(call(IOCTL_PRIV_QUERY_REFRESH, words({70}), 4).word(), 0u)
        << "test slots don't count";
    EXPECT_EQ(call(IOCTL_PRIV_QUERY_REFRESH, words({75}), 4).word(), 1u);
    EXPECT_EQ(call(IOCTL_PRIV_QUERY_REFRESH, words({74}), 4, true).word(), 0u);
}

TEST_F(Requests, BiosImageIsMappedOnceAndFailuresAreReported)
{
    size_t kernel = m->mappings().size();
    Reply a = call(IOCTL_PRIV_MAP_BIOS_ROM, {}, 4);
    Reply b = call(IOCTL_PRIV_MAP_BIOS_ROM, {}, 4);
    ASSERT_EQ(a.status, NO_ERROR);
    EXPECT_EQ(a.word(), reinterpret_cast<uintptr_t>(m->machine().rom().base()));
    EXPECT_EQ(b.word(), a.word());
    EXPECT_EQ(m->mappings().size(), kernel) << "mapped while the board was found";
    System failing({BoardSetup{}});
    failing.faults().fail_rom_mapping = true;
    failing.boot(host_miniport());
    Reply f = send(failing, IOCTL_PRIV_MAP_BIOS_ROM, {}, 4);
    EXPECT_EQ(f.status, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(f.word(), 0xCCCCCCCCu);
}

TEST_F(Requests, DisplayDriverConversationLeavesNoMappingBehind)
{
    size_t kernel = m->mappings().size();
    ULONG n = call(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8).word();
    Reply list = call(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, n * 80);
    ASSERT_EQ(list.status, NO_ERROR);
    set_mode(row_of(1024, 768, 8, 75));
    Reply map = call(IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 16);
    ASSERT_EQ(map.status, NO_ERROR);
    std::vector<uint8_t> clut = {0, 1, 0, 0};
    for (int i = 0; i < 256; ++i)
        clut.insert(clut.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0});
    ASSERT_EQ(call(IOCTL_VIDEO_SET_COLOR_REGISTERS, clut).status, NO_ERROR);
    EXPECT_EQ(m->machine().board(0).dac().palette(200), (Rgb{200, 55, 100}));
    Reply ranges = call(IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES, {}, 96);
    ASSERT_EQ(ranges.status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES, ranges.output).status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, words({map.word(0)})).status, NO_ERROR);
    EXPECT_EQ(call(IOCTL_VIDEO_RESET_DEVICE).status, NO_ERROR);
    EXPECT_EQ(m->mappings().size(), kernel);
    EXPECT_EQ(m->machine().board(0).reg(chip::MemoryConfig), 0x20000000u)
        << "memory configuration back to VGA";
}

} // namespace
