#include "tests/fuzz/request_script.h"

#include "display/miniport_requests.h"

#include <algorithm>

namespace fuzz_tests {

namespace {

constexpr uint32_t kUnknownConfigFirst = 0xF8; // selector bytes naming codes 32 to 39
constexpr uint32_t kConfigMask = 0x1F;
constexpr uint32_t kUnknownConfigBase = 32;
constexpr uint32_t kStrapDeclock = 0x08; // I/O +0x18 bits 0-2 clear
constexpr uint32_t kStrapTable = 0x01;
constexpr uint32_t kConfigWramBit = 0x4;
constexpr uint8_t kDeviceMask = 0x0F;

} // namespace

const std::vector<ULONG>& known_codes()
{
    static const std::vector<ULONG> codes = sim::request_codes();
    return codes;
}

bool is_known_code(ULONG code)
{
    const std::vector<ULONG>& codes = known_codes();
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// A buffer length: one byte below the escape, else two more bytes, capped.
ULONG read_length(ByteReader& in)
{
    uint8_t b = in.byte();
    return b < kLengthEscape ? b : std::min<ULONG>(in.half(), kMaxBufferLength);
}

namespace {

BoardChoice read_board(ByteReader& in)
{
    BoardChoice b;
    uint8_t code = in.byte();
    b.setup.config_code =
        code < kUnknownConfigFirst ? code & kConfigMask : kUnknownConfigBase + (code & 7);
    uint8_t options = in.byte();
    b.setup.vga_compatible = !(options & kOptNotVga);
    b.setup.memory_clock_strap = (options & kOptDeclock) ? kStrapDeclock : kStrapTable;
    b.setup.io_config_read_as_zero = (options & kOptWramBitRefused) ? kConfigWramBit : 0;
    b.setup.busy_polls = (options >> kOptBusyShift) & kOptBusyMask;
    b.setup.never_idle = (options & kOptNeverIdle) == kOptNeverIdle;
    b.registry = in.byte();
    b.mclock = in.byte();
    return b;
}

} // namespace

MachineChoice read_machine(ByteReader& in)
{
    MachineChoice m;
    uint8_t header = in.byte();
    int boards = std::min((header & 3) + 1, kMaxBoards);
    m.display_only = header & kHeaderDisplayOnly;
    m.fault = header >> kHeaderFaultShift;
    for (int i = 0; i < boards; ++i)
        m.boards.push_back(read_board(in));
    return m;
}

bool read_request(ByteReader& in, RequestChoice* out)
{
    if (in.empty())
        return false;
    const std::vector<ULONG>& codes = known_codes();
    uint8_t select = in.byte();
    if (select < kSelectNeighbour)
        out->code = codes[select % codes.size()];
    else if (select < kSelectRaw)
        out->code = codes[in.byte() % codes.size()] ^ (1u << (in.byte() & 31));
    else
        out->code = in.word();
    uint8_t device = in.byte();
    out->device = device & kDeviceMask;
    out->flags = device & ~kDeviceMask;
    out->input.resize(read_length(in));
    out->output_length = read_length(in);
    in.fill(out->input.data(), out->input.size());
    return true;
}

ScriptWriter::ScriptWriter(const MachineChoice& machine)
{
    bytes_.push_back(static_cast<uint8_t>((machine.boards.size() - 1) |
                                          (machine.display_only ? kHeaderDisplayOnly : 0) |
                                          (machine.fault << kHeaderFaultShift)));
    for (const BoardChoice& b : machine.boards) {
        uint8_t options = 0;
        if (!b.setup.vga_compatible)
            options |= kOptNotVga;
        if ((b.setup.memory_clock_strap & 7) == 0)
            options |= kOptDeclock;
        if (b.setup.io_config_read_as_zero & kConfigWramBit)
            options |= kOptWramBitRefused;
        options |= (std::min<uint32_t>(b.setup.busy_polls, kOptBusyMask)) << kOptBusyShift;
        if (b.setup.never_idle)
            options |= kOptNeverIdle;
        uint32_t code = b.setup.config_code;
        bytes_.push_back(static_cast<uint8_t>(
            code < kUnknownConfigBase ? code : kUnknownConfigFirst + (code & 7)));
        bytes_.push_back(options);
        bytes_.push_back(b.registry);
        bytes_.push_back(b.mclock);
    }
}

void ScriptWriter::length(ULONG n)
{
    if (n < kLengthEscape) {
        bytes_.push_back(static_cast<uint8_t>(n));
        return;
    }
    bytes_.push_back(kLengthEscape);
    bytes_.push_back(static_cast<uint8_t>(n));
    bytes_.push_back(static_cast<uint8_t>(n >> 8));
}

ScriptWriter& ScriptWriter::request(ULONG code, const std::vector<uint8_t>& input,
                                    ULONG output_length, uint8_t device_flags)
{
    const std::vector<ULONG>& codes = known_codes();
    auto it = std::find(codes.begin(), codes.end(), code);
    if (it != codes.end()) {
        bytes_.push_back(static_cast<uint8_t>(it - codes.begin()));
    } else {
        bytes_.push_back(kSelectRaw);
        for (int i = 0; i < 4; ++i)
            bytes_.push_back(static_cast<uint8_t>(code >> (8 * i)));
    }
    bytes_.push_back(device_flags);
    length(static_cast<ULONG>(input.size()));
    length(output_length);
    bytes_.insert(bytes_.end(), input.begin(), input.end());
    return *this;
}

MachineChoice plain_machine(std::initializer_list<uint32_t> codes)
{
    MachineChoice m;
    for (uint32_t code : codes) {
        BoardChoice b;
        b.setup = sim::BoardSetup(code);
        m.boards.push_back(b);
    }
    return m;
}

} // namespace fuzz_tests
