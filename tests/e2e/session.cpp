#include "tests/e2e/session.h"

#include "miniport/private_ioctl.h"
#include "support/le_words.h"
#include "hardware/trace.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <set>

namespace e2e {

using testing_support::format_code;

namespace {

// Request records are read in words; the public access ranges come as
// this many records.
constexpr size_t kWordBytes = 4;
constexpr size_t kPublicRanges = 8;

// Transcript lines longer than this are cut in failure messages.
constexpr size_t kShownChars = 240;
constexpr size_t kContextLines = 3;

std::string hex(const Bytes& bytes)
{
    std::string out;
    char buf[4];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

// Word positions that may hold host addresses, which differ from run to run
// and are named by what they point at instead.
std::vector<size_t> output_address_words(ULONG code)
{
    switch (code) {
    case IOCTL_VIDEO_MAP_VIDEO_MEMORY:
        return {offsetof(VIDEO_MEMORY_INFORMATION, VideoRamBase) / kWordBytes,
                offsetof(VIDEO_MEMORY_INFORMATION, FrameBufferBase) / kWordBytes};
    case IOCTL_VIDEO_SHARE_VIDEO_MEMORY:
        return {offsetof(VIDEO_SHARE_MEMORY_INFORMATION, VirtualAddress) / kWordBytes};
    case IOCTL_PRIV_MAP_BIOS_ROM:
        return {0};
    case IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES: {
        std::vector<size_t> at;
        for (size_t k = 0; k < kPublicRanges; ++k)
            at.push_back((k * sizeof(VIDEO_PUBLIC_ACCESS_RANGES) +
                          offsetof(VIDEO_PUBLIC_ACCESS_RANGES, VirtualAddress)) /
                         kWordBytes);
        return at;
    }
    default:
        return {};
    }
}

std::vector<size_t> input_address_words(ULONG code)
{
    switch (code) {
    case IOCTL_VIDEO_MAP_VIDEO_MEMORY:
    case IOCTL_VIDEO_UNMAP_VIDEO_MEMORY:
        return {0};
    case IOCTL_VIDEO_UNSHARE_VIDEO_MEMORY:
        return {offsetof(VIDEO_SHARE_MEMORY, RequestedVirtualAddress) / kWordBytes};
    case IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES:
        return output_address_words(IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES);
    default:
        return {};
    }
}

std::string narrow(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::string cut(const std::string& line)
{
    return line.size() <= kShownChars ? line : line.substr(0, kShownChars) + "...";
}

} // namespace

Session::Session(korvid_host::DriverImage driver) : driver_(std::move(driver)) {}
Session::~Session() = default;

korvid_host::System& Session::power_on(const std::vector<sim::BoardSetup>& boards)
{
    system_ = std::make_unique<korvid_host::System>(boards);
    traced_ = 0;
    handed_out_.clear();
    std::string line = "power on:";
    for (const sim::BoardSetup& b : boards)
        line += " " + format_code(b.config_code) + (b.vga_compatible ? "" : "(not VGA)");
    note(line);
    return *system_;
}

ULONG Session::boot()
{
    ULONG status = system_->boot(driver_);
    flush_trace();
    note("boot -> " + std::to_string(status));
    return status;
}

ULONG Session::boot(const std::vector<sim::BoardSetup>& boards)
{
    power_on(boards);
    return boot();
}

ULONG Session::reboot()
{
    flush_trace();
    ULONG status = system_->reboot();
    traced_ = 0;
    flush_trace();
    note("reboot -> " + std::to_string(status));
    return status;
}

void Session::flush_trace()
{
    const std::vector<sim::Event>& events = system_->machine().trace.events();
    if (traced_ > events.size())
        traced_ = 0; // cleared behind our back: start over
    for (; traced_ < events.size(); ++traced_)
        note("  " + sim::describe(events[traced_]));
}

Reply Session::send(ULONG code, const Bytes& input, size_t output_length, Buffers buffers,
                    int device)
{
    flush_trace();
    const size_t first_event = system_->machine().trace.size();
    const size_t mapped_before = system_->mappings().size();
    Reply r;
    static_cast<testing_support::Reply&>(r) =
        testing_support::send(*system_, code, input, output_length, buffers, device);
    const auto& events = system_->machine().trace.events();
    r.events.assign(events.begin() + std::min(first_event, events.size()), events.end());

    // Mappings are appended; a request that made some made nothing else.
    std::vector<korvid_host::Mapping> made;
    if (system_->mappings().size() > mapped_before)
        made.assign(system_->mappings().begin() + mapped_before, system_->mappings().end());
    // The BIOS image request answers with the mapping made while the boards were found.
    if (code == IOCTL_PRIV_MAP_BIOS_ROM)
        for (const korvid_host::Mapping& map : system_->mappings())
            if (map.kernel && map.aperture == sim::Aperture::Rom)
                made.push_back(map);
    flush_trace();
    note(describe_reply(device, code, input, output_length, buffers, r, made));
    return r;
}

BOOLEAN Session::reset_hw(int device)
{
    flush_trace();
    BOOLEAN result = system_->reset_hw(device);
    flush_trace();
    note("reset_hw dev" + std::to_string(device) + " -> " + std::to_string(result));
    return result;
}

sim::DisplayState Session::display(int board) const
{
    return sim::decode_display(system_->machine().board(board));
}

std::string Session::address_name(uint32_t address) const
{
    if (address == 0)
        return "null";
    const void* p = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
    char buf[48];
    sim::Location at = system_->machine().locate(p, 1);
    if (at.board) {
        std::snprintf(buf, sizeof buf, "<b%d.%s+0x%X>", at.board->index(),
                      sim::aperture_name(at.aperture), at.offset);
        return buf;
    }
    // The display driver's views, by the physical range they show.
    for (const korvid_host::Mapping& map : system_->mappings()) {
        auto* va = static_cast<const uint8_t*>(map.va);
        // A view of no bytes still has its address.
        if (!map.kernel && p >= va &&
            size_t(static_cast<const uint8_t*>(p) - va) < std::max<size_t>(map.length, 1)) {
            std::snprintf(buf, sizeof buf, "<view of 0x%X+0x%X>", map.phys,
                          unsigned(static_cast<const uint8_t*>(p) - va));
            return buf;
        }
    }
    for (sim::Region* r : {&system_->machine().rom(), &system_->machine().vga_ports()})
        if (r->contains(p)) {
            std::snprintf(buf, sizeof buf, "<%s+0x%X>",
                          r == &system_->machine().rom() ? "rom" : "vga", r->offset_of(p));
            return buf;
        }
    std::snprintf(buf, sizeof buf, "<unknown 0x%08X>", address);
    return buf;
}

std::string Session::pointer_name(uint32_t value, const std::vector<korvid_host::Mapping>& made)
{
    if (value == 0)
        return "null";
    if (auto known = handed_out_.find(value); known != handed_out_.end())
        return known->second;
    for (const korvid_host::Mapping& map : made)
        if (value - static_cast<uint32_t>(reinterpret_cast<uintptr_t>(map.va)) <
            std::max<uint32_t>(map.length, 1))
            return handed_out_[value] = address_name(value);
    return hex(words({value}));
}

std::string Session::describe_reply(int device, ULONG code, const Bytes& input,
                                    size_t output_length, Buffers buffers, const Reply& r,
                                    const std::vector<korvid_host::Mapping>& made)
{
    // Hex words, with the pointers among them named.
    auto show = [&](const Bytes& bytes, const std::vector<size_t>& pointers,
                    const std::vector<korvid_host::Mapping>& mappings) {
        std::string out = hex(bytes);
        std::set<size_t> at(pointers.begin(), pointers.end());
        for (auto it = at.rbegin(); it != at.rend(); ++it) {
            if ((*it + 1) * kWordBytes > bytes.size())
                continue;
            const uint32_t v = sim::le::get32(bytes, *it * kWordBytes);
            out.replace(*it * kWordBytes * 2, kWordBytes * 2, pointer_name(v, mappings));
        }
        return out;
    };
    std::string line = "dev" + std::to_string(device) + " request " + format_code(code);
    line +=
        " in[" + std::to_string(input.size()) + "]=" + show(input, input_address_words(code), {});
    line += " out[" + std::to_string(output_length) + "]";
    if (buffers == Buffers::Shared)
        line += " shared";
    line += " -> handled " + std::to_string(r.handled) + " status " + std::to_string(r.status) +
            " information " + std::to_string(r.information);
    line += " output=" + show(r.output, output_address_words(code), made);
    return line;
}

void Session::describe_end_state()
{
    korvid_host::System& m = *system_;
    char buf[96];
    for (size_t b = 0; b < m.machine().num_boards(); ++b) {
        const sim::Board& board = m.machine().board(static_cast<int>(b));
        const std::string who = "board " + std::to_string(b);
        note(who + " display: " + sim::describe(display(static_cast<int>(b))));
        std::snprintf(buf, sizeof buf, " text mode %d, PCI command 0x%08X", board.text_mode(),
                      board.config_dword(0x04));
        note(who + buf);
        std::string regs = who + " registers:";
        for (uint32_t at = 0; at < sim::kRegisterApertureSize; at += kWordBytes)
            if (board.reg(at)) {
                std::snprintf(buf, sizeof buf, " %X=%X", at, board.reg(at));
                regs += buf;
            }
        for (uint32_t at = 0; at < sim::kIoBlockSize; at += kWordBytes)
            if (board.io(at)) {
                std::snprintf(buf, sizeof buf, " io%X=%X", at, board.io(at));
                regs += buf;
            }
        note(regs);
        Bytes dac, palette;
        for (uint32_t i = 0; i <= 0xFFFF; ++i)
            dac.push_back(board.dac().reg(static_cast<uint16_t>(i)));
        for (int i = 0; i < 256; ++i) {
            const sim::Rgb& c = board.dac().palette(i);
            palette.insert(palette.end(), {c.r, c.g, c.b});
        }
        note(who + " DAC registers: " + hex(dac));
        note(who + " palette: " + hex(palette));
        for (const auto& [name, value] : m.registry(static_cast<int>(b)))
            note(who + " registry " + narrow(name) + " type " + std::to_string(value.type) + " " +
                 hex(value.data));
    }
    for (const korvid_host::Mapping& map : m.mappings()) {
        std::snprintf(buf, sizeof buf, "mapping board %d %s phys 0x%X length 0x%X process 0x%X%s",
                      map.board, sim::aperture_name(map.aperture), map.phys, map.length,
                      map.process, map.kernel ? " kernel" : "");
        note(buf +
             (" at " + address_name(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(map.va)))));
    }
    std::string found = "discovery:";
    for (VP_STATUS s : m.find_adapter_status())
        found += " " + std::to_string(s);
    note(found);
    note("device time " + std::to_string(m.machine().time_ns) + " ns");
}

std::vector<std::string> Session::transcript()
{
    if (!system_)
        return lines_;
    flush_trace();
    const size_t mark = lines_.size();
    describe_end_state();
    std::vector<std::string> all = lines_;
    lines_.resize(mark); // the end state is a view, not part of the run
    return all;
}

::testing::AssertionResult same_transcript(const std::vector<std::string>& want,
                                           const std::vector<std::string>& got)
{
    auto [w, g] = std::mismatch(want.begin(), want.end(), got.begin(), got.end());
    if (w == want.end() && g == got.end())
        return ::testing::AssertionSuccess();
    const size_t at = static_cast<size_t>(w - want.begin());
    auto result = ::testing::AssertionFailure();
    result << "transcripts part at line " << at << " of " << want.size() << "/" << got.size()
           << "\n";
    for (size_t i = at > kContextLines ? at - kContextLines : 0; i < at; ++i)
        result << "    " << cut(want[i]) << "\n";
    std::string wl = w == want.end() ? "(end)" : *w, gl = g == got.end() ? "(end)" : *g;
    const size_t column = static_cast<size_t>(
        std::mismatch(wl.begin(), wl.end(), gl.begin(), gl.end()).first - wl.begin());
    if (column > kShownChars / 2) {
        wl = "..." + wl.substr(column - kShownChars / 4);
        gl = "..." + gl.substr(column - kShownChars / 4);
    }
    result << "  want " << cut(wl) << "\n  got  " << cut(gl);
    return result;
}

} // namespace e2e
