// The mode list, the mode set and the mappings of video memory, end to end
// on both drivers.
#include "tests/e2e/e2e.h"

#include <cstring>

namespace e2e {

namespace {

// Listed modes right after boot, when every virtual layout is listed, by
// configuration code: memory size and type decide which rows survive (each
// surface plus 64 KiB must fit, the pixel clock stay below 220 MHz and the
// pixel rate within what the memory sustains).
struct Count {
    uint32_t code;
    uint32_t modes;
};
constexpr Count kModeCounts[] = {
    {0x10, 181}, {0x11, 235}, {0x12, 238}, {0x13, 248}, {0x16, 248},
    {0x17, 248}, {0x00, 185}, {0x01, 252}, {0x03, 279}, {0x07, 282},
};

void count_modes_per_board(Session& s)
{
    for (const Count& c : kModeCounts) {
        ASSERT_EQ(s.boot({board(c.code)}), NO_ERROR);
        Reply r = s.send(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8);
        EXPECT_EQ(r.status, NO_ERROR);
        EXPECT_EQ(r.word(0), c.modes) << "configuration code 0x" << std::hex << c.code;
    }
}

TEST_P(EndToEnd, CountsModesPerBoardConfiguration)
{
    play(count_modes_per_board);
}

const VIDEO_MODE_INFORMATION& listed(const std::vector<VIDEO_MODE_INFORMATION>& modes, ULONG index)
{
    for (const VIDEO_MODE_INFORMATION& m : modes)
        if (m.ModeIndex == index)
            return m;
    ADD_FAILURE() << "mode " << index << " is not listed";
    return modes.front();
}

struct Depth {
    ULONG bpp;
    ULONG red_bits, green_bits, blue_bits;
    ULONG red_mask, green_mask, blue_mask;
    ULONG attributes;
};
// Palette modes are colour, graphics, palette driven and managed; direct
// colour modes colour and graphics.
constexpr Depth k8bpp = {8, 8, 8, 8, 0, 0, 0, 0xF};
constexpr Depth k16bpp = {16, 5, 6, 5, 0xF800, 0x07E0, 0x001F, 0x3};
constexpr Depth k32bpp = {32, 8, 8, 8, 0xFF0000, 0xFF00, 0xFF, 0x3};
constexpr ULONG kSgramAttribute = 0x10000;
constexpr ULONG kWramAttribute = 0x20000;

// The record as the display driver must receive it, every field stated.
VIDEO_MODE_INFORMATION record(ULONG index, ULONG width, ULONG height, ULONG stride, const Depth& d,
                              ULONG hz, ULONG memory_attribute, ULONG bitmap_height)
{
    return VIDEO_MODE_INFORMATION{.Length = 80,
                                  .ModeIndex = index,
                                  .VisScreenWidth = width,
                                  .VisScreenHeight = height,
                                  .ScreenStride = stride,
                                  .NumberOfPlanes = 1,
                                  .BitsPerPlane = d.bpp,
                                  .Frequency = hz,
                                  .XMillimeter = 320,
                                  .YMillimeter = 240,
                                  .NumberRedBits = d.red_bits,
                                  .NumberGreenBits = d.green_bits,
                                  .NumberBlueBits = d.blue_bits,
                                  .RedMask = d.red_mask,
                                  .GreenMask = d.green_mask,
                                  .BlueMask = d.blue_mask,
                                  .AttributeFlags = d.attributes | memory_attribute,
                                  .VideoMemoryBitmapWidth = width,
                                  .VideoMemoryBitmapHeight = bitmap_height,
                                  .DriverSpecificAttributeFlags = 0};
}

// Byte for byte, naming the fields that differ.
::testing::AssertionResult same_record(const VIDEO_MODE_INFORMATION& want,
                                       const VIDEO_MODE_INFORMATION& got)
{
    static const char* const kFields[] = {"Length",
                                          "ModeIndex",
                                          "VisScreenWidth",
                                          "VisScreenHeight",
                                          "ScreenStride",
                                          "NumberOfPlanes",
                                          "BitsPerPlane",
                                          "Frequency",
                                          "XMillimeter",
                                          "YMillimeter",
                                          "NumberRedBits",
                                          "NumberGreenBits",
                                          "NumberBlueBits",
                                          "RedMask",
                                          "GreenMask",
                                          "BlueMask",
                                          "AttributeFlags",
                                          "VideoMemoryBitmapWidth",
                                          "VideoMemoryBitmapHeight",
                                          "DriverSpecificAttributeFlags"};
    static_assert(sizeof kFields / sizeof kFields[0] * sizeof(ULONG) ==
                  sizeof(VIDEO_MODE_INFORMATION));
    constexpr size_t kCount = sizeof kFields / sizeof kFields[0];
    ULONG w[kCount], g[kCount];
    std::memcpy(w, &want, sizeof w);
    std::memcpy(g, &got, sizeof g);
    std::string differences;
    for (size_t i = 0; i < kCount; ++i)
        if (w[i] != g[i])
            differences += std::string(" ") + kFields[i] + " " + std::to_string(g[i]) + " (want " +
                           std::to_string(w[i]) + ")";
    if (differences.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "record of mode " << got.ModeIndex << ":" << differences;
}

void list_modes_byte_exact(Session& s)
{
    ASSERT_EQ(s.boot({board(0x11)}), NO_ERROR);
    std::vector<VIDEO_MODE_INFORMATION> modes = list_modes(s);
    ASSERT_EQ(modes.size(), 235u);
    for (size_t i = 1; i < modes.size(); ++i)
        EXPECT_LT(modes[i - 1].ModeIndex, modes[i].ModeIndex) << "listed in table order";
    // Rows 0 to 5 are the trial and custom slots, empty until given a rate.
    EXPECT_TRUE(
        same_record(record(6, 640, 480, 640, k8bpp, 60, kSgramAttribute, 13107), modes.front()));
    // Double wide: the bitmap is as tall as memory holds lines of twice the pitch.
    const ULONG wide = find_mode(s, 1024, 768, 16, 75, 1024, 0);
    EXPECT_EQ(wide, 166u);
    EXPECT_TRUE(same_record(record(166, 1024, 768, 2048, k16bpp, 75, kSgramAttribute, 2048),
                            listed(modes, wide)));

    ASSERT_EQ(s.boot({board(0x01)}), NO_ERROR);
    modes = list_modes(s);
    ASSERT_EQ(modes.size(), 252u);
    EXPECT_TRUE(
        same_record(record(6, 640, 480, 640, k8bpp, 60, kWramAttribute, 13107), modes.front()));
    // 5 MiB of surface: shown from 4 MiB mod pitch rounded up to 128 bytes,
    // which leaves (8 MiB - 1024) / 5120 lines.
    const ULONG big = find_mode(s, 1280, 1024, 32, 60);
    EXPECT_EQ(big, 80u);
    EXPECT_TRUE(same_record(record(80, 1280, 1024, 5120, k32bpp, 60, kWramAttribute, 1638),
                            listed(modes, big)));
}

TEST_P(EndToEnd, ListsModeRecordsByteForByte)
{
    play(list_modes_byte_exact);
}

struct Expected {
    uint32_t width, height, bpp, hz;
    uint16_t pll;
    double clock_mhz, refresh_hz;
    uint32_t h_total, v_total, pitch, start;
    bool positive_sync;
};

void expect_display(Session& s, int board, const Expected& e, sim::MemoryKind memory)
{
    sim::DisplayState d = s.display(board);
    SCOPED_TRACE(sim::describe(d));
    EXPECT_TRUE(d.native);
    EXPECT_FALSE(d.text_mode);
    EXPECT_EQ(d.memory, memory);
    EXPECT_EQ(d.h_active, e.width);
    EXPECT_EQ(d.v_active, e.height);
    EXPECT_EQ(d.bpp, e.bpp);
    EXPECT_EQ(d.pixel_pll, e.pll);
    EXPECT_NEAR(d.pixel_clock_hz / 1e6, e.clock_mhz, 0.001);
    EXPECT_NEAR(d.refresh_hz, e.refresh_hz, 0.01);
    EXPECT_EQ(d.h_total, e.h_total);
    EXPECT_EQ(d.v_total, e.v_total);
    EXPECT_EQ(d.pitch, e.pitch);
    EXPECT_EQ(d.start, e.start);
    EXPECT_EQ(d.hsync_positive, e.positive_sync);
    EXPECT_EQ(d.vsync_positive, e.positive_sync);
    EXPECT_EQ(d.path, e.bpp == 8 ? sim::ColourPath::Palette : sim::ColourPath::Direct);
    EXPECT_EQ(d.pixel_mask, 0xFF);
}

// The mode set clears all of video memory, once.
void expect_memory_cleared(const Reply& r, uint32_t size)
{
    int clears = 0;
    for (const sim::Event& e : r.events)
        if (e.op == sim::Op::ZeroMemory) {
            ++clears;
            EXPECT_EQ(e.offset, 0u);
            EXPECT_EQ(e.value, size);
        }
    EXPECT_EQ(clears, 1);
}

// Clocks from 25.175 MHz x (VF + 65) / (REF x 2^(3 - DF)) of the PLL word.
// Width, height, bpp, listed rate; PLL word, pixel clock in MHz, refresh in
// Hz; horizontal and vertical total; pitch and start in bytes; positive sync.
// clang-format off
const Expected k640x480x8at60    = {  640,  480,  8, 60, 0x0907,  25.175, 59.94,  800,  525,  640,    0, false};
const Expected k1024x768x16at75  = { 1024,  768, 16, 75, 0x064A,  78.672, 74.95, 1312,  800, 2048,    0, true};
const Expected k1024x768x32at60  = { 1024,  768, 32, 60, 0x0747,  64.736, 59.76, 1344,  806, 4096,    0, false};
const Expected k1280x1024x32at60 = { 1280, 1024, 32, 60, 0x0555, 108.253, 59.87, 1696, 1066, 5120, 1024, true};
const Expected k1600x1200x8at60  = { 1600, 1200,  8, 60, 0x0BC4, 157.916, 59.82, 2112, 1250, 1664,    0, true};
// clang-format on

void set_mode_and_check(Session& s, const Expected& e, sim::MemoryKind memory, uint32_t memory_size)
{
    const ULONG index = find_mode(s, e.width, e.height, e.bpp, e.hz);
    Reply r = set_mode(s, index);
    expect_memory_cleared(r, memory_size);
    expect_display(s, 0, e, memory);
    Reply current = s.send(IOCTL_VIDEO_QUERY_CURRENT_MODE, {}, 80);
    EXPECT_EQ(current.status, NO_ERROR);
    EXPECT_EQ(mode_record(current.output).ModeIndex, index);
}

TEST_P(EndToEnd, SetsModes)
{
    play(set_modes_scenario);
}

void map_video_memory(Session& s)
{
    ASSERT_EQ(s.boot({board(0x01)}), NO_ERROR);
    set_mode(s, find_mode(s, 1280, 1024, 32, 60));
    korvid_host::System& m = s.system();
    const size_t kernel_mappings = m.mappings().size();
    const uint32_t fb = static_cast<uint32_t>(
        reinterpret_cast<uintptr_t>(m.machine().board(0).frame_buffer().base()));
    uint32_t base = 0;
    for (Buffers buffers : {Buffers::Separate, Buffers::Shared}) {
        Reply map = s.send(IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 16, buffers);
        ASSERT_EQ(map.status, NO_ERROR);
        EXPECT_EQ(map.information, 16u);
        base = map.word(0);
        EXPECT_NE(base, fb) << "the display driver's own view";
        EXPECT_EQ(map.word(1), 0x800000u);
        EXPECT_EQ(map.word(2), base + 1024) << "the display starts 1024 bytes in";
        EXPECT_EQ(map.word(3), 0x800000u - 1024);
        ASSERT_EQ(m.mappings().size(), kernel_mappings + 1);
        EXPECT_EQ(m.mappings().back().length, 0x800000u);
        EXPECT_FALSE(m.mappings().back().kernel);
        EXPECT_EQ(s.send(IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, words({base})).status, NO_ERROR);
        EXPECT_EQ(m.mappings().size(), kernel_mappings);
    }
    EXPECT_NE(s.send(IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, words({base})).status, NO_ERROR)
        << "already unmapped";
    Reply small = s.send(IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 15);
    EXPECT_EQ(small.status, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small.information, 16u);

    // The public ranges: the XY window and the registers.
    Reply ranges = s.send(IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES, {}, 96);
    ASSERT_EQ(ranges.status, NO_ERROR);
    EXPECT_NE(
        ranges.word(3 * 2 + 2),
        reinterpret_cast<uintptr_t>(m.machine().board(0).region(sim::Aperture::XyWindow)->base()));
    EXPECT_NE(
        ranges.word(3 * 4 + 2),
        reinterpret_cast<uintptr_t>(m.machine().board(0).region(sim::Aperture::Registers)->base()));
    EXPECT_EQ(m.mappings().size(), kernel_mappings + 2);
    EXPECT_EQ(s.send(IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES, ranges.output).status, NO_ERROR);
    EXPECT_EQ(m.mappings().size(), kernel_mappings);

    // A view for another process stays inside video memory.
    Reply share = s.send(IOCTL_VIDEO_SHARE_VIDEO_MEMORY, words({0x77, 0x100000, 0x700000, 0}), 12);
    ASSERT_EQ(share.status, NO_ERROR);
    EXPECT_EQ(share.word(0), 0x100000u);
    EXPECT_EQ(share.word(1), 0x700000u);
    EXPECT_EQ(m.mappings().back().process, 0x77u);
    EXPECT_EQ(
        s.send(IOCTL_VIDEO_SHARE_VIDEO_MEMORY, words({0x77, 0x100000, 0x700001, 0}), 12).status,
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(s.send(IOCTL_VIDEO_UNSHARE_VIDEO_MEMORY, words({0x77, 0, 0, share.word(2)})).status,
              NO_ERROR);
    EXPECT_EQ(m.mappings().size(), kernel_mappings);

    // A failing map is passed on, with the answer completed all the same.
    m.faults().map_memory_status = ERROR_NOT_ENOUGH_MEMORY;
    Reply failed = s.send(IOCTL_VIDEO_MAP_VIDEO_MEMORY, words({0}), 16);
    EXPECT_EQ(failed.status, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(failed.word(1), 0x800000u);
    EXPECT_EQ(s.send(IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES, {}, 96).status,
              ERROR_NOT_ENOUGH_MEMORY);
}

TEST_P(EndToEnd, MapsAndUnmapsVideoMemory)
{
    play(map_video_memory);
}

} // namespace

void set_modes_scenario(Session& s)
{
    ASSERT_EQ(s.boot({board(0x11)}), NO_ERROR);
    for (const Expected& e : {k640x480x8at60, k1024x768x16at75, k1024x768x32at60})
        set_mode_and_check(s, e, sim::MemoryKind::Sgram, 0x800000);
    // Past the table, and the last row, which 8 MiB cannot hold: refused
    // without a device access, and the mode stays.
    for (ULONG index : {468u, 467u, 0xFFFFFFFFu}) {
        Reply r = s.send(IOCTL_VIDEO_SET_CURRENT_MODE, words({index}));
        EXPECT_EQ(r.status, ERROR_INVALID_PARAMETER) << index;
        EXPECT_TRUE(r.events.empty());
    }
    EXPECT_EQ(s.send(IOCTL_VIDEO_SET_CURRENT_MODE, {1, 0, 0}).status, ERROR_INSUFFICIENT_BUFFER);
    expect_display(s, 0, k1024x768x32at60, sim::MemoryKind::Sgram);

    ASSERT_EQ(s.boot({board(0x03)}), NO_ERROR);
    for (const Expected& e : {k1280x1024x32at60, k1600x1200x8at60})
        set_mode_and_check(s, e, sim::MemoryKind::Wram, 0x1400000);
}

} // namespace e2e
