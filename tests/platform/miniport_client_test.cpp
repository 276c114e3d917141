// The display driver's request sender: choosing modes by text and layout,
// drawing on the surface it maps, keeping what a display driver keeps, and
// sending any request by name.
#include "tests/support/build_paths.h"
#include "tests/support/machines.h"
#include "tools/korvid-sim/draw.h"
#include "tools/korvid-sim/request_args.h"

#include "hardware/scanout.h"
#include "support/le_words.h"

#include "miniport/private_ioctl.h"

#include <gtest/gtest.h>

namespace {

using testing_support::Booted;
using testing_support::temp_path;

using sim::Layout;
using sim::WantedMode;

constexpr size_t kCommitAnswer = 44; // value name and value
constexpr uint32_t kShareSize = 0x100000;

std::optional<sim::Reply> by_name(Booted& b, const char* name, const std::vector<uint32_t>& args,
                                  std::string* why)
{
    const sim::RequestInfo* request = sim::find_request(name);
    EXPECT_TRUE(request) << name;
    return request ? ksim::send_with_args(b.client, *request, args, why) : std::nullopt;
}

TEST(ModeText, ReadsResolutionDepthRefreshAndLayout)
{
    std::string why;
    struct Case {
        const char* text;
        WantedMode want;
    } cases[] = {
        {"1024x768x16@75", {1024, 768, 16, 75, Layout::Single}},
        {"640x480x8", {640, 480, 8, 0, Layout::Single}},
        {"1600x1200x16@60:both", {1600, 1200, 16, 60, Layout::Both}},
        {"800x600x32:tall", {800, 600, 32, 0, Layout::Tall}},
    };
    for (const Case& c : cases) {
        auto want = sim::parse_wanted_mode(c.text, &why);
        ASSERT_TRUE(want) << c.text << ": " << why;
        EXPECT_EQ(want->width, c.want.width) << c.text;
        EXPECT_EQ(want->height, c.want.height) << c.text;
        EXPECT_EQ(want->bpp, c.want.bpp) << c.text;
        EXPECT_EQ(want->frequency, c.want.frequency) << c.text;
        EXPECT_EQ(want->layout, c.want.layout) << c.text;
    }
    for (const char* bad :
         {"", "1024", "1024x768", "1024x768x", "x768x16", "1024x768x16@", "1024x768x16@0",
          "1024x768x16:diagonal", "1024x768x16x2", "axbxc", "1024x768x16@75:"}) {
        why.clear();
        EXPECT_FALSE(sim::parse_wanted_mode(bad, &why)) << bad;
        EXPECT_NE(why.find("bad mode"), std::string::npos) << bad;
    }
}

TEST(ModeChoice, ARateLeftOutTakesTheLowestListed)
{
    Booted b(0x11);
    sim::ModeEntry m = b.set("1024x768x16");
    EXPECT_EQ(m.frequency(), 60u);
    auto current = b.client.current_mode();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->index(), m.index());
}

TEST(ModeChoice, VirtualLayoutsAreFoundWhileOnlyTheCurrentLayoutIsListed)
{
    Booted b(0x11);
    b.set("1024x768x16@75");
    ASSERT_EQ(b.client.query_word(IOCTL_PRIV_GET_ALL_VIRTUAL_MODES), 0u);
    std::string why;
    auto wide = b.client.find_mode({1024, 768, 16, 75, Layout::Wide}, &why);
    ASSERT_TRUE(wide) << why;
    EXPECT_EQ(wide->extra_width, 1024u);
    EXPECT_EQ(wide->extra_height, 0u);
    EXPECT_EQ(wide->pitch(), 4096u);
    EXPECT_EQ(b.client.query_word(IOCTL_PRIV_GET_ALL_VIRTUAL_MODES), 0u)
        << "the list filter is put back";
}

TEST(ModeChoice, ALayoutChangeKeepsResolutionDepthAndRefresh)
{
    Booted b(0x11);
    b.set("1024x768x16@75");
    std::string why;
    for (Layout l : {Layout::Tall, Layout::Both, Layout::Single}) {
        auto m = b.client.change_layout(l, &why);
        ASSERT_TRUE(m) << why;
        auto current = b.client.current_mode();
        ASSERT_TRUE(current);
        EXPECT_EQ(current->layout(), l);
        EXPECT_EQ(current->width(), 1024u);
        EXPECT_EQ(current->bpp(), 16u);
        EXPECT_EQ(current->frequency(), 75u);
        EXPECT_EQ(sim::decode_display(b.board()).pitch, current->pitch());
    }
}

TEST(ModeChoice, AMissingModeSaysWhatTheListOffers)
{
    Booted b(0x10); // 4 MiB SGRAM
    std::string why;
    EXPECT_FALSE(b.client.set_mode(WantedMode{1280, 1024, 32, 0, Layout::Single}, &why));
    EXPECT_NE(why.find("1280x1024 is listed at 8 bpp"), std::string::npos) << why;
    EXPECT_FALSE(b.client.set_mode(WantedMode{1280, 960, 8, 0, Layout::Single}, &why));
    EXPECT_NE(why.find("listed: 640x480"), std::string::npos) << why;
}

TEST(Drawing, UsesTheSurfacePitchAndReleasesItsMapping)
{
    Booted b(0x11);
    b.set("640x480x8:wide"); // 1280 bytes a line for 640 visible pixels
    std::string why;
    sim::Image drawn = sim::render_pattern(sim::Pattern::Grid, 640, 480);
    ASSERT_TRUE(ksim::draw(b.client, drawn, &why)) << why;
    auto shown = sim::scan_out(b.board(), &why);
    ASSERT_TRUE(shown) << why;
    EXPECT_FALSE(sim::compare_images(drawn, *shown));
    for (const korvid_host::Mapping& m : b.system.mappings())
        EXPECT_TRUE(m.kernel) << "a display-driver mapping was left behind";
}

TEST(Drawing, APictureLargerThanTheFrameBufferIsCutAtItsEnd)
{
    Booted b(0x10); // 4 MiB
    b.set("1024x768x32");
    std::string why;
    EXPECT_FALSE(ksim::draw(b.client, sim::Image(1024, 2048), &why));
    EXPECT_NE(why.find("past the end"), std::string::npos);
}

TEST(CustomRefresh, ACommittedRateIsStoredAndListedAfterARestart)
{
    Booted b(0x11);
    b.set("1024x768x16@60");
    std::string why;
    auto reply = by_name(b, "SET_CUSTOM_REFRESH", {66, 71'000'000, 0x0747}, &why);
    ASSERT_TRUE(reply) << why;
    ASSERT_TRUE(reply->ok());
    std::string name = reply->text();
    EXPECT_EQ(b.system.registry(0).count(std::u16string(name.begin(), name.end())), 1u);
    // A commit whose input the caller built is kept the same way.
    b.set("800x600x16@60");
    sim::Reply raw = b.client.send(IOCTL_PRIV_SET_CUSTOM_REFRESH,
                                   sim::le::words({67, 40'000'000, 0x0747}), kCommitAnswer);
    ASSERT_TRUE(raw.ok());
    EXPECT_EQ(b.system.registry(0).count(u"VrelCustomRefresh.03200258"), 1u);

    ASSERT_EQ(b.system.reboot(), 0u);
    sim::MiniportClient after(b.system, 0);
    EXPECT_TRUE(after.find_mode({1024, 768, 16, 66, Layout::Single}, &why)) << why;
    EXPECT_TRUE(after.find_mode({800, 600, 16, 67, Layout::Single}, &why)) << why;
}

TEST(RequestsByName, NamesCodesAndPrefixesFindTheSameRequest)
{
    const sim::RequestInfo* r = sim::find_request("IOCTL_PRIV_GET_CHIP_NAME");
    ASSERT_TRUE(r);
    for (const char* n : {"priv_get_chip_name", "GET_CHIP_NAME", "0x233B74", "233B74h"})
        EXPECT_EQ(sim::find_request(n), r) << n;
    EXPECT_EQ(sim::find_request("QUERY_NUM_AVAIL_MODES")->code,
              ULONG(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES));
    EXPECT_FALSE(sim::find_request("GET_CHIP"));
    EXPECT_FALSE(sim::find_request("0x230001"));
}

TEST(RequestsByName, ArgumentsBuildTheInputAndLengthsOverrideTheBuffers)
{
    Booted b(0x11);
    std::string why;
    const sim::RequestInfo* cursor = sim::find_request("SET_CURSOR_COLOR");
    ASSERT_TRUE(cursor);
    EXPECT_FALSE(ksim::send_with_args(b.client, *cursor, {1, 2}, &why));
    EXPECT_NE(why.find("takes 3 arguments"), std::string::npos) << why;
    EXPECT_FALSE(ksim::send_with_args(b.client, *cursor, {1, 2, 0x10000}, &why));

    auto ok = ksim::send_with_args(b.client, *cursor, {0x1234, 0x00FF, 0xAB80}, &why);
    ASSERT_TRUE(ok) << why;
    EXPECT_TRUE(ok->ok());
    auto colours = sim::decode_display(b.board()).cursor_colour2;
    EXPECT_EQ(colours, (sim::Rgb{0x34, 0xFF, 0x80}));

    auto short_input = ksim::send_with_args(b.client, *cursor, {}, &why, 5);
    ASSERT_TRUE(short_input) << why;
    EXPECT_EQ(short_input->status, ERROR_INSUFFICIENT_BUFFER);
    auto totals = ksim::send_with_args(b.client, *sim::find_request("GET_TOTALS"), {}, &why, {}, 3);
    ASSERT_TRUE(totals) << why;
    EXPECT_EQ(totals->status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(totals->information, 4u);
}

TEST(RequestsByName, ReleasesAndTheListUseWhatTheClientKeptWhoeverAsked)
{
    Booted b(0x11);
    std::string why;
    EXPECT_FALSE(by_name(b, "UNMAP_VIDEO_MEMORY", {}, &why)) << "nothing mapped yet";
    ASSERT_TRUE(by_name(b, "MAP_VIDEO_MEMORY", {}, &why)->ok());
    auto unmap = by_name(b, "UNMAP_VIDEO_MEMORY", {}, &why);
    ASSERT_TRUE(unmap) << why;
    EXPECT_TRUE(unmap->ok());

    ASSERT_TRUE(by_name(b, "QUERY_PUBLIC_ACCESS_RANGES", {}, &why)->ok());
    auto free = by_name(b, "FREE_PUBLIC_ACCESS_RANGES", {}, &why);
    ASSERT_TRUE(free) << why;
    EXPECT_TRUE(free->ok());

    // Answers to requests the client or its caller built are kept as well.
    ASSERT_TRUE(b.client.map_video_memory());
    auto typed_unmap = by_name(b, "UNMAP_VIDEO_MEMORY", {}, &why);
    ASSERT_TRUE(typed_unmap) << why;
    EXPECT_TRUE(typed_unmap->ok());
    ASSERT_TRUE(b.client
                    .send(IOCTL_VIDEO_SHARE_VIDEO_MEMORY, sim::le::words({1, 0, kShareSize, 0}),
                          sizeof(VIDEO_SHARE_MEMORY_INFORMATION))
                    .ok());
    auto unshare = by_name(b, "UNSHARE_VIDEO_MEMORY", {1}, &why);
    ASSERT_TRUE(unshare) << why;
    EXPECT_TRUE(unshare->ok());
    for (const korvid_host::Mapping& m : b.system.mappings())
        EXPECT_TRUE(m.kernel);

    ASSERT_TRUE(b.client.count_modes());
    auto list = by_name(b, "QUERY_AVAIL_MODES", {}, &why);
    ASSERT_TRUE(list) << why;
    EXPECT_TRUE(list->ok()) << "the list is as long as the client's own count said";
}

TEST(Numbers, DecimalHexAndTrailingH)
{
    EXPECT_EQ(sim::parse_number("17"), 17u);
    EXPECT_EQ(sim::parse_number("0x11"), 17u);
    EXPECT_EQ(sim::parse_number("11h"), 17u);
    EXPECT_EQ(sim::parse_number("0xFFFFFFFF"), 0xFFFFFFFFu);
    for (const char* bad : {"", "0x", "h", "-1", "4294967296", "12a", " 1"})
        EXPECT_FALSE(sim::parse_number(bad)) << bad;
}

} // namespace
