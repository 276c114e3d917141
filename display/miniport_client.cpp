#include "display/miniport_client.h"

#include "support/le_words.h"

#include "miniport/private_ioctl.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace sim {

using le::get32;
using le::pointer_at;
using le::put16;
using le::put32;

namespace {

constexpr uint32_t kCurrentRow = 0xFFFFFFFF;
constexpr size_t kModeRecord = sizeof(VIDEO_MODE_INFORMATION);
constexpr size_t kStringOutput = 64;

// One 32-bit word, as a request's input.
std::vector<uint8_t> one_word(uint32_t w)
{
    std::vector<uint8_t> v;
    put32(v, w);
    return v;
}

std::string depth_list(const std::vector<ModeEntry>& list, uint32_t w, uint32_t h)
{
    std::map<uint32_t, std::set<uint32_t>> rates; // bpp -> refresh rates
    for (const ModeEntry& m : list)
        if (m.width() == w && m.height() == h)
            rates[m.bpp()].insert(m.frequency());
    std::string out;
    for (auto& [bpp, hz] : rates) {
        out += out.empty() ? "" : ", ";
        out += std::to_string(bpp) + " bpp at";
        for (uint32_t f : hz) {
            out += ' ';
            out += std::to_string(f);
        }
        out += " Hz";
    }
    return out;
}

} // namespace

// ---- requests ------------------------------------------------------------

MiniportClient::MiniportClient(korvid_host::System& machine, int board)
    : machine_(machine), board_(board)
{
}

void MiniportClient::select_board(uint32_t board)
{
    send_on_device(IOCTL_PRIV_SELECT_BOARD, one_word(board), 0);
}

Reply MiniportClient::send(ULONG code, const std::vector<uint8_t>& input, size_t output_length)
{
    if (board_ == 0)
        return send_on_device(code, input, output_length);
    select_board(static_cast<uint32_t>(board_));
    Reply r = send_on_device(code, input, output_length);
    select_board(0);
    return r;
}

Reply MiniportClient::send_on_device(ULONG code, const std::vector<uint8_t>& input,
                                     size_t output_length)
{
    std::vector<uint8_t> buffer(std::max(input.size(), output_length), 0);
    std::copy(input.begin(), input.end(), buffer.begin());
    uint8_t* shared = buffer.empty() ? nullptr : buffer.data();
    machine_.make_current();
    Reply r =
        start_request(machine_, kDisplayDevice, code, shared, input.size(), shared, output_length);
    r.output.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(output_length));
    remember(code, r);
    return r;
}

// ---- modes ---------------------------------------------------------------

std::optional<uint32_t> MiniportClient::count_modes()
{
    Reply r = send(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, sizeof(VIDEO_NUM_MODES));
    if (!r.ok())
        return std::nullopt;
    return r.word(0);
}

uint32_t MiniportClient::extra_width(uint32_t row)
{
    return query_word_with(IOCTL_PRIV_GET_EXTRA_WIDTH, row);
}

uint32_t MiniportClient::extra_height(uint32_t row)
{
    return query_word_with(IOCTL_PRIV_GET_EXTRA_HEIGHT, row);
}

uint32_t MiniportClient::query_word_with(ULONG code, uint32_t input)
{
    Reply r = send(code, one_word(input), 4);
    return r.ok() ? r.word(0) : 0;
}

std::vector<ModeEntry> MiniportClient::list_modes()
{
    std::vector<ModeEntry> list;
    auto count = count_modes();
    if (!count)
        return list;
    Reply r = send(IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, size_t(*count) * kModeRecord);
    if (!r.ok())
        return list;
    for (size_t at = 0; at + kModeRecord <= r.output.size(); at += kModeRecord) {
        ModeEntry m;
        std::memcpy(&m.info, r.output.data() + at, kModeRecord);
        m.extra_width = extra_width(m.index());
        m.extra_height = extra_height(m.index());
        list.push_back(m);
    }
    return list;
}

std::optional<ModeEntry> MiniportClient::current_mode()
{
    Reply r = send(IOCTL_VIDEO_QUERY_CURRENT_MODE, {}, kModeRecord);
    if (!r.ok())
        return std::nullopt;
    ModeEntry m;
    std::memcpy(&m.info, r.output.data(), kModeRecord);
    m.extra_width = extra_width(kCurrentRow);
    m.extra_height = extra_height(kCurrentRow);
    return m;
}

VP_STATUS MiniportClient::set_mode(uint32_t row)
{
    return send_word(IOCTL_VIDEO_SET_CURRENT_MODE, row);
}

std::optional<ModeEntry> MiniportClient::find_mode(const WantedMode& want, std::string* why)
{
    auto pick = [&](const std::vector<ModeEntry>& list) -> std::optional<ModeEntry> {
        std::optional<ModeEntry> best;
        for (const ModeEntry& m : list)
            if (m.matches(want) && (!best || m.frequency() < best->frequency()))
                best = m;
        return best;
    };
    std::vector<ModeEntry> list = list_modes();
    if (auto m = pick(list))
        return m;
    if (want.layout != Layout::Single && query_word(IOCTL_PRIV_GET_ALL_VIRTUAL_MODES) == 0u) {
        // Only the current layout is listed: list them all for a moment.
        send_switch(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, true);
        list = list_modes();
        send_switch(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, false);
        if (auto m = pick(list))
            return m;
    }
    *why = missing_mode(want, list);
    return std::nullopt;
}

std::string MiniportClient::missing_mode(const WantedMode& want, const std::vector<ModeEntry>& list)
{
    std::string res = std::to_string(want.width) + "x" + std::to_string(want.height);
    std::string depths = depth_list(list, want.width, want.height);
    if (depths.empty()) {
        std::set<std::pair<uint32_t, uint32_t>> sizes;
        for (const ModeEntry& m : list)
            sizes.insert({m.width(), m.height()});
        std::string all;
        for (auto [w, h] : sizes)
            all += (all.empty() ? "" : ", ") + std::to_string(w) + "x" + std::to_string(h);
        return "no " + res + " mode in the list; listed: " + (all.empty() ? "nothing" : all);
    }
    return "no mode " + to_string(want) + " in the list; " + res + " is listed at " + depths;
}

std::optional<ModeEntry> MiniportClient::set_mode(const WantedMode& want, std::string* why)
{
    auto mode = find_mode(want, why);
    if (!mode)
        return std::nullopt;
    VP_STATUS status = set_mode(mode->index());
    if (status != NO_ERROR) {
        *why = "the miniport refused row " + std::to_string(mode->index()) + ": " +
               status_name(status);
        return std::nullopt;
    }
    return mode;
}

std::optional<ModeEntry> MiniportClient::change_layout(Layout layout, std::string* why)
{
    auto current = current_mode();
    if (!current) {
        *why = "the miniport does not report the current mode";
        return std::nullopt;
    }
    WantedMode want = current->as_wanted();
    want.layout = layout;
    return set_mode(want, why);
}

// ---- memory, palette ------------------------------------------------------

std::optional<VideoMemory> MiniportClient::map_video_memory(VP_STATUS* status)
{
    // Address 0: anywhere.
    Reply r = send(IOCTL_VIDEO_MAP_VIDEO_MEMORY, one_word(0), sizeof(VIDEO_MEMORY_INFORMATION));
    if (status)
        *status = r.status;
    if (!r.ok())
        return std::nullopt;
    return VideoMemory{pointer_at<uint8_t>(r.output, 0), r.word(1),
                       pointer_at<uint8_t>(r.output, 8), r.word(3)};
}

VP_STATUS MiniportClient::unmap_video_memory(const VideoMemory& memory)
{
    return send_word(IOCTL_VIDEO_UNMAP_VIDEO_MEMORY,
                     static_cast<uint32_t>(reinterpret_cast<uintptr_t>(memory.ram_base)));
}

VP_STATUS MiniportClient::load_palette(uint32_t first, std::span<const Rgb> colours)
{
    std::vector<uint8_t> in;
    put16(in, static_cast<uint32_t>(colours.size()));
    put16(in, first);
    for (const Rgb& c : colours)
        in.insert(in.end(), {c.r, c.g, c.b, 0});
    return send(IOCTL_VIDEO_SET_COLOR_REGISTERS, in, 0).status;
}

VP_STATUS MiniportClient::reset_device()
{
    return send(IOCTL_VIDEO_RESET_DEVICE, {}, 0).status;
}

// ---- private requests ------------------------------------------------------

std::optional<uint32_t> MiniportClient::query_word(ULONG code)
{
    Reply r = send(code, {}, 4);
    if (!r.ok())
        return std::nullopt;
    return r.word(0);
}

std::string MiniportClient::query_string(ULONG code)
{
    Reply r = send(code, {}, kStringOutput);
    return r.ok() ? r.text() : std::string();
}

VP_STATUS MiniportClient::send_word(ULONG code, uint32_t value)
{
    return send(code, one_word(value), 0).status;
}

VP_STATUS MiniportClient::send_switch(ULONG code, bool on)
{
    return send(code, {uint8_t(on ? 1 : 0)}, 0).status;
}

} // namespace sim
