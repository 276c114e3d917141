// What compare looks at of one driver on one machine: the boot with its
// device accesses and the registry values it writes, and on every board the
// mode list record by record, every row set with its device accesses and the
// state decoded from the board, and a fixed conversation of every request
// with buffers of the usual size, one byte short, empty and larger. On a
// machine of several boards every board's mode list is read first, as the
// display driver reads them at its start, and then each board in turn has
// its rows set and its conversation, reached by selecting it through device 0.
#include "tools/korvid-sim/audit.h"
#include "tools/korvid-sim/compare.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/reference.h"
#include "tools/korvid-sim/request_args.h"
#include "platform/freestanding/little_endian.h"

#include "hardware/board.h"
#include "hardware/decode.h"
#include "loader/host_driver.h"
#include "display/miniport_client.h"
#include "display/miniport_requests.h"

#include <map>

namespace ksim {

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

constexpr uint32_t kLargerOutput = 16; // bytes past the usual output buffer

// The board an observation is about, and how its observations are named: as
// they always were on a machine of one board, "board N: ..." on one of several.
struct BoardView {
    int index = -1; // in chain order; -1: the machine as a whole
    bool several = false;

    std::string where(const std::string& what) const
    {
        return several && index >= 0 ? format("board %d: ", index) + what : what;
    }
    Observation fields(Category c, const std::string& what, Fields f) const
    {
        Observation o;
        o.category = c;
        o.where = where(what);
        o.fields = std::move(f);
        o.board = several ? index : -1;
        return o;
    }
    Observation trace(Category c, const std::string& what,
                      const std::vector<sim::Event>& events) const
    {
        Observation o = fields(c, what, {});
        o.trace = events;
        o.is_trace = true;
        return o;
    }
};

const BoardView kWholeMachine{};

std::string hex(uint32_t v, int digits = 0)
{
    return format("0x%0*X", digits, v);
}

std::string utf8(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? char(c) : '?';
    return out;
}

std::string bytes_text(const std::vector<uint8_t>& bytes)
{
    std::string out;
    for (uint8_t b : bytes)
        out += format("%02X", b);
    return out.empty() ? "(none)" : out;
}

// ---- boot -------------------------------------------------------------

// Text the driver stores (UTF-16, NUL-terminated) is shown as text.
std::string registry_text(const korvid_host::RegistryValue& v)
{
    const std::vector<uint8_t>& d = v.data;
    bool text = d.size() >= 2 && d.size() % 2 == 0 && !d[d.size() - 1] && !d[d.size() - 2];
    std::string s;
    for (size_t i = 0; text && i + 2 < d.size(); i += 2) {
        text = !d[i + 1] && d[i] >= 0x20 && d[i] < 0x7F;
        s += char(d[i]);
    }
    return format("type %u, ", v.type) + (text ? "\"" + s + "\"" : bytes_text(d));
}

void observe_registry(Snapshot& s, korvid_host::System& m, const BoardView& v, int board)
{
    Fields values;
    for (const auto& [name, value] : m.registry(board))
        values.push_back({utf8(name), registry_text(value)});
    s.push_back(v.fields(Category::Registry, "registry values written", values));
}

// ---- modes ------------------------------------------------------------

Fields mode_fields(const sim::ModeEntry& e)
{
    const VIDEO_MODE_INFORMATION& i = e.info;
    return {{"Length", std::to_string(i.Length)},
            {"ModeIndex", std::to_string(i.ModeIndex)},
            {"VisScreenWidth", std::to_string(i.VisScreenWidth)},
            {"VisScreenHeight", std::to_string(i.VisScreenHeight)},
            {"ScreenStride", std::to_string(i.ScreenStride)},
            {"NumberOfPlanes", std::to_string(i.NumberOfPlanes)},
            {"BitsPerPlane", std::to_string(i.BitsPerPlane)},
            {"Frequency", std::to_string(i.Frequency)},
            {"XMillimeter", std::to_string(i.XMillimeter)},
            {"YMillimeter", std::to_string(i.YMillimeter)},
            {"NumberRedBits", std::to_string(i.NumberRedBits)},
            {"NumberGreenBits", std::to_string(i.NumberGreenBits)},
            {"NumberBlueBits", std::to_string(i.NumberBlueBits)},
            {"RedMask", hex(i.RedMask)},
            {"GreenMask", hex(i.GreenMask)},
            {"BlueMask", hex(i.BlueMask)},
            {"AttributeFlags", hex(i.AttributeFlags)},
            {"VideoMemoryBitmapWidth", std::to_string(i.VideoMemoryBitmapWidth)},
            {"VideoMemoryBitmapHeight", std::to_string(i.VideoMemoryBitmapHeight)},
            {"DriverSpecificAttributeFlags", hex(i.DriverSpecificAttributeFlags)},
            {"extra_width", std::to_string(e.extra_width)},
            {"extra_height", std::to_string(e.extra_height)}};
}

void observe_modes(Snapshot& s, korvid_host::System& m, const BoardView& v)
{
    sim::MiniportClient c(m, v.index);
    std::vector<sim::ModeEntry> list = c.list_modes();
    s.push_back(v.fields(Category::Modes, "mode list", {{"count", std::to_string(list.size())}}));
    for (size_t i = 0; i < list.size(); ++i) {
        s.push_back(
            v.fields(Category::Modes, format("mode list record %zu", i), mode_fields(list[i])));
        s.back().label = format("(%s)", mode_name(list[i]).c_str());
    }
}

// ---- rows -------------------------------------------------------------

Fields state_fields(const sim::DisplayState& d)
{
    return {{"native", d.native ? "yes" : "no"},
            {"text_mode", d.text_mode ? "yes" : "no"},
            {"memory_config", hex(d.memory_config, 8)},
            {"pixel_format", hex(d.pixel_format, 2)},
            {"bpp", std::to_string(d.bpp)},
            {"pixel_pll", hex(d.pixel_pll, 4)},
            {"pixel_clock_hz", format("%.0f", d.pixel_clock_hz)},
            {"memory_pll", hex(d.memory_pll, 4)},
            {"memory_clock_hz", format("%.0f", d.memory_clock_hz)},
            {"h_active", std::to_string(d.h_active)},
            {"h_blank", std::to_string(d.h_blank)},
            {"h_front_porch", std::to_string(d.h_front_porch)},
            {"h_sync", std::to_string(d.h_sync)},
            {"v_active", std::to_string(d.v_active)},
            {"v_blank", std::to_string(d.v_blank)},
            {"v_front_porch", std::to_string(d.v_front_porch)},
            {"v_sync", std::to_string(d.v_sync)},
            {"refresh_hz", format("%.3f", d.refresh_hz)},
            {"start", std::to_string(d.start)},
            {"pitch", std::to_string(d.pitch)},
            {"hsync", d.hsync_positive ? "+" : "-"},
            {"vsync", d.vsync_positive ? "+" : "-"},
            {"colour_path", sim::colour_path_name(d.path)},
            {"cursor", d.cursor_on ? "on" : "off"},
            {"pixel_mask", hex(d.pixel_mask, 2)}};
}

std::string row_name(bool sgram, uint32_t row)
{
    auto t = table_row(sgram, row);
    return format("row %u ", row) + (t ? t->name() : "beyond the table");
}

// On a machine of one board rows are named from the tables as loaded: a
// driver's requests change the test and custom slots of the host build's
// tables in this process. On a machine of several the boards share one table,
// the one of the memory type the miniport chose, so a row is named by its
// number and labelled with the mode the miniport says it set.
std::vector<std::string> row_names(const MachineCodes& machine)
{
    sim::host_miniport().reload();
    std::vector<std::string> names;
    for (uint32_t row = 0; row < kRowsTried; ++row)
        names.push_back(machine.size() > 1 ? format("row %u", row)
                                           : row_name(sim::is_sgram_code(machine[0]), row));
    return names;
}

void observe_rows(Snapshot& s, korvid_host::System& m, const BoardView& v,
                  const std::vector<std::string>& names)
{
    sim::MiniportClient c(m, v.index);
    m.machine().trace.set_enabled(true);
    for (uint32_t row = 0; row < kRowsTried; ++row) {
        m.machine().trace.clear();
        VP_STATUS status = c.set_mode(row);
        const std::string& where = names[row];
        s.push_back(v.fields(Category::Rows, where, {{"mode set", sim::status_name(status)}}));
        if (status != NO_ERROR)
            continue;
        std::vector<sim::Event> accesses = m.machine().trace.events();
        sim::DisplayState state = sim::decode_display(chain_board(m, v.index));
        std::string label;
        if (auto set = v.several ? c.current_mode() : std::nullopt)
            label = format("(%s)", mode_name(*set).c_str());
        s.push_back(v.trace(Category::Rows, where, accesses));
        s.back().label = label;
        s.push_back(v.fields(Category::Rows, where + ", decoded", state_fields(state)));
        s.back().label = label;
    }
    m.machine().trace.clear();
}

// ---- requests -----------------------------------------------------------

// Addresses in answers differ from machine to machine; where one lies in a
// mapping it is shown as the physical address it reaches.
std::string word_text(korvid_host::System& m, const uint8_t* p)
{
    uintptr_t a = load_le32(p);
    for (const korvid_host::Mapping& map : m.mappings()) {
        uintptr_t va = reinterpret_cast<uintptr_t>(map.va);
        if (a >= va && a < va + map.length)
            return format("<%s 0x%X>", sim::aperture_name(map.aperture),
                          uint32_t(map.phys + (a - va)));
    }
    return format("%02X%02X%02X%02X", p[0], p[1], p[2], p[3]);
}

std::string output_text(korvid_host::System& m, const std::vector<uint8_t>& out)
{
    std::string text;
    size_t i = 0;
    for (; i + 4 <= out.size(); i += 4) {
        if (!text.empty())
            text += ' ';
        text += word_text(m, &out[i]);
    }
    if (i < out.size()) {
        if (!text.empty())
            text += ' ';
        text += bytes_text(std::vector<uint8_t>(out.begin() + long(i), out.end()));
    }
    return text.empty() ? "(none)" : text;
}

// What each request is sent with: a plausible display driver's arguments.
const std::map<std::string, std::vector<uint32_t>> kArguments = {
    {"VIDEO_SET_COLOR_REGISTERS", {0, 0x102030, 0x405060}},
    {"VIDEO_MAP_VIDEO_MEMORY", {0}},
    {"VIDEO_SHARE_VIDEO_MEMORY", {1, 0, 0x100000}},
    {"VIDEO_UNSHARE_VIDEO_MEMORY", {1}},
    {"PRIV_SET_VIRTUALS_FLAG", {0}},
    {"PRIV_GET_EXTRA_HEIGHT", {0xFFFFFFFF}},
    {"PRIV_GET_EXTRA_WIDTH", {0xFFFFFFFF}},
    {"PRIV_SELECT_BOARD", {0}},
    {"PRIV_STALL", {7}},
    {"PRIV_NOP", {0}},
    {"PRIV_SET_MCLOCK_INDEX", {90}},
    {"PRIV_SET_ALL_VIRTUAL_MODES", {1}},
    {"PRIV_SET_CURSOR_COLOR", {0x12, 0xFF, 0x80}},
    {"PRIV_SET_DRIVER_OPTION", {2}},
    {"PRIV_SET_GAMMA_RAMP", {0, 0x00102030, 0x00405060}},
    {"PRIV_GAMMA_CONTROL", {4}},
    {"PRIV_SET_CUSTOM_REFRESH", {72, 77'000'000, 0x064B}},
    {"PRIV_TRY_REFRESH", {70, 31'500'000, 0x0705}},
    {"PRIV_QUERY_REFRESH", {60}},
    {"PRIV_SET_TEST_MODES", {0}},
};

struct Conversation {
    Snapshot& s;
    korvid_host::System& m;
    sim::MiniportClient& c;
    const BoardView& v;
    int sent = 0;

    void send(const sim::RequestInfo& r, const std::vector<uint32_t>& args,
              std::optional<uint32_t> in, std::optional<uint32_t> out)
    {
        std::string where = format("request %d %s", ++sent, r.name);
        if (in)
            where += format(", in %u", *in);
        if (out)
            where += format(", out %u", *out);
        std::string error;
        auto reply = send_with_args(c, r, args, &error, in, out);
        if (!reply) {
            s.push_back(v.fields(Category::Requests, where, {{"not sent", error}}));
            return;
        }
        s.push_back(v.fields(Category::Requests, where,
                             {{"status", sim::status_name(reply->status)},
                              {"Information", std::to_string(reply->information)},
                              {"output", output_text(m, reply->output)}}));
    }

    // The input one byte short and empty, the output one byte short, empty
    // and larger, then the usual buffers: last, so that a release finds what
    // the display driver kept before it lets go of it.
    void every_size(const sim::RequestInfo& r, uint32_t row)
    {
        auto it = kArguments.find(r.name);
        const std::vector<uint32_t> args = r.code == IOCTL_VIDEO_SET_CURRENT_MODE ? std::vector{row}
                                           : it == kArguments.end() ? std::vector<uint32_t>{}
                                                                    : it->second;
        if (r.input_length) {
            send(r, args, r.input_length - 1, {});
            send(r, args, 0, {});
        }
        if (r.output_length) {
            send(r, args, {}, r.output_length - 1);
            send(r, args, {}, 0);
            send(r, args, {}, r.output_length + kLargerOutput);
        }
        send(r, args, {}, {});
    }
};

// On the machine the rows were set on: a new machine, or the same one
// power-cycled, would cost as much again in fresh video memory.
void observe_requests(Snapshot& s, korvid_host::System& m, const BoardView& v)
{
    m.machine().trace.set_enabled(false);
    sim::MiniportClient c(m, v.index);
    Conversation talk{s, m, c, v};
    // A display driver counts the modes and sets one before anything else.
    const sim::RequestInfo* count = sim::find_request(IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES);
    const sim::RequestInfo* set = sim::find_request(IOCTL_VIDEO_SET_CURRENT_MODE);
    std::vector<sim::ModeEntry> list = c.list_modes();
    const uint32_t row = list.empty() ? 0 : list.front().index();
    talk.send(*count, {}, {}, {});
    talk.send(*set, {row}, {}, {});
    for (const sim::RequestInfo& r : sim::request_catalogue())
        talk.every_size(r, row);
}

} // namespace

Snapshot observe(const MachineCodes& machine, const korvid_host::DriverImage& driver)
{
    Snapshot s;
    const std::vector<std::string> names = row_names(machine);
    auto m = fresh_machine(machine);
    m->machine().trace.set_enabled(true);
    ULONG status = m->boot(driver);
    s.push_back(kWholeMachine.fields(Category::Boot, "boot",
                                     {{"status", sim::status_name(VP_STATUS(status))},
                                      {"devices", std::to_string(m->device_count())}}));
    s.push_back(kWholeMachine.trace(Category::Boot, "boot", m->machine().trace.events()));
    std::vector<BoardView> boards;
    for (size_t b = 0; b < m->device_count(); ++b)
        boards.push_back({int(b), machine.size() > 1});
    if (machine.size() == 1)
        observe_registry(s, *m, {0, false}, 0);
    else
        for (const BoardView& v : boards)
            observe_registry(s, *m, v, m->board_of_device(v.index));
    if (status != NO_ERROR || m->devices().empty())
        return s;
    m->machine().trace.set_enabled(false);
    for (const BoardView& v : boards)
        observe_modes(s, *m, v);
    for (const BoardView& v : boards) {
        observe_rows(s, *m, v, names);
        observe_requests(s, *m, v);
    }
    return s;
}

} // namespace ksim
