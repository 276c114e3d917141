#include "tools/korvid-sim/reply_format.h"

#include "tools/korvid-sim/describe.h"

#include "miniport/private_ioctl.h"

#include <cstring>

namespace ksim {

namespace {

using Out = sim::RequestOutput;

constexpr size_t kValueName = 32;

std::vector<sim::ModeEntry> modes_in(const sim::Reply& r)
{
    std::vector<sim::ModeEntry> list;
    for (size_t at = 0; at + sizeof(VIDEO_MODE_INFORMATION) <= r.output.size();
         at += sizeof(VIDEO_MODE_INFORMATION)) {
        sim::ModeEntry m;
        std::memcpy(&m.info, r.output.data() + at, sizeof m.info);
        list.push_back(m);
    }
    return list;
}

std::string value_name(const sim::Reply& r)
{
    std::string s(r.output.begin(), r.output.begin() + std::min(kValueName, r.output.size()));
    return s.substr(0, s.find('\0'));
}

// The output as words, with pointers named where the miniport gives them.
Json words_json(korvid_host::System& m, const sim::RequestInfo& q, const sim::Reply& r)
{
    switch (q.output) {
    case Out::NumModes:
        return Json::object().set("modes", r.word(0)).set("record_length", r.word(1));
    case Out::Memory:
        return Json::object()
            .set("video_ram_base", address_text(m, r.word(0)))
            .set("video_ram_length", r.word(1))
            .set("frame_buffer_base", address_text(m, r.word(2)))
            .set("frame_buffer_length", r.word(3));
    case Out::Share:
        return Json::object()
            .set("view_offset", r.word(0))
            .set("view_size", r.word(1))
            .set("address", address_text(m, r.word(2)));
    case Out::CustomRefresh:
        return Json::object()
            .set("value_name", value_name(r))
            .set("refresh_hz", r.word(8))
            .set("pixel_clock_hz", r.word(9))
            .set("pll", format("0x%04X", r.word(10)));
    case Out::PublicRanges: {
        Json list = Json::array();
        for (size_t i = 0; i < 8; ++i)
            list.push(Json::object()
                          .set("in_io_space", r.word(3 * i))
                          .set("mapped_in_io_space", r.word(3 * i + 1))
                          .set("address", address_text(m, r.word(3 * i + 2))));
        return list;
    }
    default: {
        Json list = Json::array();
        for (size_t i = 0; i < r.output.size() / 4; ++i)
            list.push(r.word(i));
        return list;
    }
    }
}

} // namespace

std::string address_text(korvid_host::System& m, uint32_t address)
{
    if (!address)
        return "null";
    auto* p = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(address));
    if (m.machine().rom().contains(p))
        return format("video BIOS +0x%05X", m.machine().rom().offset_of(p));
    sim::Location loc = m.machine().locate(p, 1);
    if (!loc.board)
        return format("0x%08X", address);
    return format("board %d %s +0x%06X", loc.board->index(), sim::aperture_name(loc.aperture),
                  loc.offset);
}

Json reply_json(korvid_host::System& m, const sim::RequestInfo& q, const sim::Reply& r)
{
    Json j = Json::object()
                 .set("request", std::string("IOCTL_") + q.name)
                 .set("code", format("0x%06lX", static_cast<unsigned long>(q.code)))
                 .set("status", static_cast<int64_t>(r.status))
                 .set("status_name", sim::status_name(r.status))
                 .set("information", r.information);
    if (!r.ok() || q.output == Out::None)
        return j;
    if (q.output == Out::String) {
        j.set("output", r.text());
    } else if (q.output == Out::Modes || q.output == Out::Mode) {
        Json list = Json::array();
        for (const sim::ModeEntry& mode : modes_in(r))
            list.push(mode_json(mode));
        j.set("output", q.output == Out::Mode && list.size() ? list.items()[0] : list);
    } else {
        j.set("output", words_json(m, q, r));
    }
    return j;
}

std::string reply_text(korvid_host::System& m, const sim::RequestInfo& q, const sim::Reply& r)
{
    std::string out = format("IOCTL_%s (0x%06lX): %s, information %lu\n", q.name,
                             static_cast<unsigned long>(q.code), sim::status_name(r.status).c_str(),
                             static_cast<unsigned long>(r.information));
    if (!r.ok() || q.output == Out::None)
        return out;
    switch (q.output) {
    case Out::String:
        return out + "  \"" + r.text() + "\"\n";
    case Out::Modes:
    case Out::Mode:
        for (const sim::ModeEntry& mode : modes_in(r))
            out += format("  row %3u  %ux%u %u bpp %u Hz, stride %u, bitmap height %u\n",
                          mode.index(), mode.width(), mode.height(), mode.bpp(), mode.frequency(),
                          unsigned(mode.info.ScreenStride),
                          unsigned(mode.info.VideoMemoryBitmapHeight));
        return out;
    case Out::Words:
        for (size_t i = 0; i < r.output.size() / 4; ++i)
            out += format("  word %zu: 0x%08X (%u)\n", i, r.word(i), r.word(i));
        if (q.code == IOCTL_PRIV_MAP_BIOS_ROM)
            out += "  the BIOS image is at " + address_text(m, r.word(0)) + "\n";
        if (q.code == IOCTL_PRIV_GET_TOTALS)
            out += format("  %u pixels a line, %u lines a frame\n", r.word(0) >> 16,
                          r.word(0) & 0xFFFF);
        return out;
    default:
        return out + "  " + words_json(m, q, r).dump(0) + "\n";
    }
}

} // namespace ksim
