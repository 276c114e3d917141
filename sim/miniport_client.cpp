#include "miniport_client.h"

#include "miniport/private_ioctl.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace sim {

namespace {

constexpr uint32_t kCurrentRow = 0xFFFFFFFF;
constexpr uint32_t kLargeSurface = 0x400000; // surfaces above 4 MiB start further in
constexpr uint32_t kStartAlign = 128;
constexpr size_t kModeRecord = sizeof(VIDEO_MODE_INFORMATION);
constexpr size_t kStringOutput = 64;
constexpr size_t kValueNameBytes = 32;
constexpr size_t kCustomRefreshEntry = kValueNameBytes + 12;

void put32(std::vector<uint8_t>& v, uint32_t w)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(w >> (8 * i)));
}

void put16(std::vector<uint8_t>& v, uint32_t w)
{
    v.push_back(static_cast<uint8_t>(w));
    v.push_back(static_cast<uint8_t>(w >> 8));
}

uint32_t get32(const std::vector<uint8_t>& v, size_t at)
{
    uint32_t w = 0;
    if (at + 4 <= v.size())
        std::memcpy(&w, v.data() + at, 4);
    return w;
}

template <typename T> T* pointer_at(const std::vector<uint8_t>& v, size_t at)
{
    return reinterpret_cast<T*>(static_cast<uintptr_t>(get32(v, at)));
}

bool wrong_count(const RequestInfo& r, size_t have, size_t least, size_t most, std::string* error)
{
    if (have >= least && have <= most)
        return false;
    *error = std::string(r.name) + " takes " +
             (least == most ? std::to_string(least)
                            : std::to_string(least) + " to " + std::to_string(most)) +
             " argument" + (most == 1 ? "" : "s") + (*r.arguments ? ": " : "") + r.arguments;
    return true;
}

bool too_big(const RequestInfo& r, uint32_t value, uint32_t limit, std::string* error)
{
    if (value <= limit)
        return false;
    *error = std::string(r.name) + ": " + std::to_string(value) + " does not fit (at most " +
             std::to_string(limit) + ")";
    return true;
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

size_t least_arguments(RequestInput in)
{
    switch (in) {
    case RequestInput::Word:
    case RequestInput::Byte:
    case RequestInput::Gamma:
        return 1;
    case RequestInput::Clut:
        return 2;
    case RequestInput::Shorts:
    case RequestInput::Share:
        return 3;
    default:
        return 0;
    }
}

} // namespace

// ---- layouts and wanted modes ------------------------------------------

const char* layout_name(Layout l)
{
    switch (l) {
    case Layout::Single:
        return "single";
    case Layout::Wide:
        return "wide";
    case Layout::Tall:
        return "tall";
    case Layout::Both:
        return "both";
    }
    return "?";
}

std::optional<Layout> parse_layout(std::string_view name)
{
    for (Layout l : {Layout::Single, Layout::Wide, Layout::Tall, Layout::Both})
        if (name == layout_name(l))
            return l;
    return std::nullopt;
}

std::optional<WantedMode> parse_wanted_mode(std::string_view text, std::string* error)
{
    auto fail = [&](const std::string& why) -> std::optional<WantedMode> {
        *error = "bad mode '" + std::string(text) + "': " + why;
        return std::nullopt;
    };
    WantedMode want;
    std::string_view rest = text;
    if (size_t colon = rest.find(':'); colon != std::string_view::npos) {
        auto layout = parse_layout(rest.substr(colon + 1));
        if (!layout)
            return fail("the layout after ':' is single, wide, tall or both");
        want.layout = *layout;
        rest = rest.substr(0, colon);
    }
    if (size_t at = rest.find('@'); at != std::string_view::npos) {
        auto hz = parse_number(rest.substr(at + 1));
        if (!hz || *hz == 0)
            return fail("the refresh after '@' is a rate in Hz");
        want.frequency = *hz;
        rest = rest.substr(0, at);
    }
    uint32_t* fields[] = {&want.width, &want.height, &want.bpp};
    for (int i = 0; i < 3; ++i) {
        size_t x = i < 2 ? rest.find('x') : rest.size();
        if (x == std::string_view::npos)
            return fail("expected WIDTHxHEIGHTxBPP, e.g. 1024x768x16@75");
        auto v = parse_number(rest.substr(0, x));
        if (!v || *v == 0)
            return fail("expected WIDTHxHEIGHTxBPP, e.g. 1024x768x16@75");
        *fields[i] = *v;
        rest = i < 2 ? rest.substr(x + 1) : std::string_view{};
    }
    return want;
}

std::string to_string(const WantedMode& want)
{
    std::string s = std::to_string(want.width) + "x" + std::to_string(want.height) + "x" +
                    std::to_string(want.bpp);
    if (want.frequency)
        s += "@" + std::to_string(want.frequency);
    return s + ":" + layout_name(want.layout);
}

Layout ModeEntry::layout() const
{
    if (extra_width && extra_height)
        return Layout::Both;
    return extra_width ? Layout::Wide : extra_height ? Layout::Tall : Layout::Single;
}

uint32_t ModeEntry::pitch() const
{
    return info.ScreenStride + extra_width * bpp() / 8;
}

uint32_t ModeEntry::start_offset() const
{
    uint32_t p = pitch();
    if (!p || uint64_t(height() + extra_height) * p <= kLargeSurface)
        return 0;
    return (kLargeSurface % p + kStartAlign - 1) & ~(kStartAlign - 1);
}

bool ModeEntry::matches(const WantedMode& s) const
{
    return width() == s.width && height() == s.height && bpp() == s.bpp &&
           (s.frequency == 0 || frequency() == s.frequency) && layout() == s.layout;
}

WantedMode ModeEntry::as_wanted() const
{
    return {width(), height(), bpp(), frequency(), layout()};
}

uint32_t Reply::word(size_t i) const
{
    return get32(output, 4 * i);
}

std::string Reply::text() const
{
    auto nul = std::find(output.begin(), output.end(), 0);
    return std::string(output.begin(), nul);
}

// ---- requests ------------------------------------------------------------

MiniportClient::MiniportClient(Machine& machine, int device) : machine_(machine), device_(device) {}

Reply MiniportClient::send(ULONG code, const std::vector<uint8_t>& input, size_t output_length)
{
    std::vector<uint8_t> buffer(std::max(input.size(), output_length), 0);
    std::copy(input.begin(), input.end(), buffer.begin());
    STATUS_BLOCK status{};
    status.Status = static_cast<VP_STATUS>(-1);
    VIDEO_REQUEST_PACKET packet{};
    packet.IoControlCode = code;
    packet.StatusBlock = &status;
    packet.InputBuffer = buffer.empty() ? nullptr : buffer.data();
    packet.OutputBuffer = packet.InputBuffer;
    packet.InputBufferLength = static_cast<ULONG>(input.size());
    packet.OutputBufferLength = static_cast<ULONG>(output_length);
    machine_.make_current();
    machine_.start_io(device_, &packet);

    Reply r;
    r.status = status.Status;
    r.information = status.Information;
    r.output.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(output_length));
    if (const RequestInfo* info = find_request(code))
        remember(*info, r);
    return r;
}

void MiniportClient::remember(const RequestInfo& request, const Reply& r)
{
    if (!r.ok())
        return;
    switch (request.code) {
    case IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES:
        modes_counted_ = r.word(0);
        break;
    case IOCTL_VIDEO_MAP_VIDEO_MEMORY:
        last_mapping_ = r.word(0);
        break;
    case IOCTL_VIDEO_UNMAP_VIDEO_MEMORY:
        last_mapping_ = 0;
        break;
    case IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES:
        last_ranges_ = r.output;
        break;
    case IOCTL_VIDEO_SHARE_VIDEO_MEMORY:
        last_share_ = r.word(2);
        break;
    case IOCTL_PRIV_SET_CUSTOM_REFRESH:
        store_custom_refresh(r);
        break;
    default:
        break;
    }
}

// The display driver keeps a committed custom rate where the miniport reads
// it at its next start: under the board's device key, by the name given.
void MiniportClient::store_custom_refresh(const Reply& r)
{
    if (r.output.size() < kCustomRefreshEntry)
        return;
    std::u16string name;
    for (size_t i = 0; i < kValueNameBytes && r.output[i]; ++i)
        name.push_back(static_cast<char16_t>(r.output[i]));
    std::vector<uint8_t> value(r.output.begin() + kValueNameBytes,
                               r.output.begin() + kCustomRefreshEntry);
    int board = machine_.board_of_extension(machine_.devices.at(size_t(device_)));
    machine_.set_registry_binary(board, name, value);
}

std::optional<std::vector<uint8_t>> MiniportClient::build_input(const RequestInfo& r,
                                                                const std::vector<uint32_t>& a,
                                                                std::string* error)
{
    std::vector<uint8_t> in;
    switch (r.input) {
    case RequestInput::None:
        if (wrong_count(r, a.size(), 0, 0, error))
            return std::nullopt;
        break;
    case RequestInput::Word:
        if (wrong_count(r, a.size(), 1, 1, error))
            return std::nullopt;
        put32(in, a[0]);
        break;
    case RequestInput::Byte:
        if (wrong_count(r, a.size(), 1, 1, error) || too_big(r, a[0], 0xFF, error))
            return std::nullopt;
        in.push_back(static_cast<uint8_t>(a[0]));
        break;
    case RequestInput::Shorts:
        if (wrong_count(r, a.size(), 3, 3, error))
            return std::nullopt;
        for (uint32_t v : a) {
            if (too_big(r, v, 0xFFFF, error))
                return std::nullopt;
            put16(in, v);
        }
        break;
    case RequestInput::Words:
        if (wrong_count(r, a.size(), 0, r.input_length / 4, error))
            return std::nullopt;
        for (uint32_t v : a)
            put32(in, v);
        in.resize(r.input_length, 0);
        break;
    case RequestInput::Clut:
        if (wrong_count(r, a.size(), 2, 257, error) || too_big(r, a[0], 0xFFFF, error))
            return std::nullopt;
        put16(in, static_cast<uint32_t>(a.size() - 1));
        put16(in, a[0]);
        for (size_t i = 1; i < a.size(); ++i) {
            if (too_big(r, a[i], 0xFFFFFF, error))
                return std::nullopt;
            in.insert(in.end(), {uint8_t(a[i] >> 16), uint8_t(a[i] >> 8), uint8_t(a[i]), 0});
        }
        break;
    case RequestInput::Gamma:
        if (wrong_count(r, a.size(), 1, 257, error) || too_big(r, a[0], 0xFFFF, error))
            return std::nullopt;
        put32(in, a[0] | static_cast<uint32_t>(a.size() - 1) << 16);
        for (size_t i = 1; i < a.size(); ++i)
            put32(in, a[i]);
        break;
    case RequestInput::MapAddress:
    case RequestInput::Mapping:
        if (wrong_count(r, a.size(), 0, 1, error))
            return std::nullopt;
        if (r.input == RequestInput::Mapping && a.empty() && !last_mapping_) {
            *error = std::string(r.name) + ": no video memory is mapped";
            return std::nullopt;
        }
        put32(in, a.empty()
                      ? static_cast<uint32_t>(r.input == RequestInput::Mapping ? last_mapping_ : 0)
                      : a[0]);
        break;
    case RequestInput::Ranges:
        if (wrong_count(r, a.size(), 0, 0, error))
            return std::nullopt;
        if (last_ranges_.empty()) {
            *error = std::string(r.name) + ": no public access ranges were queried";
            return std::nullopt;
        }
        in = last_ranges_;
        break;
    case RequestInput::Share:
        if (wrong_count(r, a.size(), 3, 3, error))
            return std::nullopt;
        for (uint32_t v : {a[0], a[1], a[2], 0u})
            put32(in, v);
        break;
    case RequestInput::Unshare:
        if (wrong_count(r, a.size(), 0, 1, error))
            return std::nullopt;
        if (!last_share_) {
            *error = std::string(r.name) + ": no video memory is shared";
            return std::nullopt;
        }
        for (uint32_t v : {a.empty() ? 0u : a[0], 0u, 0u, static_cast<uint32_t>(last_share_)})
            put32(in, v);
        break;
    }
    return in;
}

std::optional<Reply> MiniportClient::send(const RequestInfo& request,
                                          const std::vector<uint32_t>& args, std::string* error,
                                          std::optional<uint32_t> input_length,
                                          std::optional<uint32_t> output_length)
{
    // With the input length given, missing arguments are zeros: the point
    // is then the buffer, not its contents.
    std::vector<uint32_t> padded(args);
    if (input_length)
        padded.resize(std::max(padded.size(), least_arguments(request.input)), 0);
    auto input = build_input(request, padded, error);
    if (!input)
        return std::nullopt;
    if (input_length)
        input->resize(*input_length, 0);
    size_t out = request.output_length;
    if (request.output == RequestOutput::Modes)
        out = size_t(modes_counted_) * request.output_length;
    return send(request.code, *input, output_length ? *output_length : out);
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
    std::vector<uint8_t> in;
    put32(in, input);
    Reply r = send(code, in, 4);
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
    std::vector<uint8_t> in;
    put32(in, row);
    return send(IOCTL_VIDEO_SET_CURRENT_MODE, in, 0).status;
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

// ---- memory, palette, drawing ------------------------------------------

std::optional<VideoMemory> MiniportClient::map_video_memory(VP_STATUS* status)
{
    std::vector<uint8_t> in;
    put32(in, 0); // anywhere
    Reply r = send(IOCTL_VIDEO_MAP_VIDEO_MEMORY, in, sizeof(VIDEO_MEMORY_INFORMATION));
    if (status)
        *status = r.status;
    if (!r.ok())
        return std::nullopt;
    return VideoMemory{pointer_at<uint8_t>(r.output, 0), r.word(1),
                       pointer_at<uint8_t>(r.output, 8), r.word(3)};
}

VP_STATUS MiniportClient::unmap_video_memory(const VideoMemory& memory)
{
    std::vector<uint8_t> in;
    put32(in, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(memory.ram_base)));
    return send(IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, in, 0).status;
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

bool MiniportClient::draw(const Image& picture, std::string* why)
{
    auto mode = current_mode();
    if (!mode) {
        *why = "the miniport does not report the current mode";
        return false;
    }
    unsigned bpp = mode->bpp();
    if (bpp != 8 && bpp != 16 && bpp != 32) {
        *why = "the current mode has " + std::to_string(bpp) + " bits per pixel";
        return false;
    }
    VP_STATUS status = NO_ERROR;
    auto memory = map_video_memory(&status);
    if (!memory) {
        *why = "mapping video memory failed: " + status_name(status);
        return false;
    }
    if (bpp == 8) {
        auto palette = pattern_palette();
        load_palette(0, palette);
    }
    bool fits =
        write_picture(picture, bpp, memory->frame_buffer, mode->pitch(), memory->frame_length);
    unmap_video_memory(*memory);
    if (!fits)
        *why = "the picture runs past the end of the frame buffer";
    return fits;
}

bool MiniportClient::draw_pattern(Pattern pattern, const std::string& caption, std::string* why)
{
    auto mode = current_mode();
    if (!mode) {
        *why = "the miniport does not report the current mode";
        return false;
    }
    return draw(render_pattern(pattern, mode->width(), mode->height(), caption), why);
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
    std::vector<uint8_t> in;
    put32(in, value);
    return send(code, in, 0).status;
}

VP_STATUS MiniportClient::send_switch(ULONG code, bool on)
{
    return send(code, {uint8_t(on ? 1 : 0)}, 0).status;
}

} // namespace sim
