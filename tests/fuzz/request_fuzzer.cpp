// libFuzzer target for the miniport's request surface: boots a machine of
// one to three boards, with every device opened or only device 0 as the
// family's display driver opens it, and feeds Zorx_StartIO a sequence of
// requests with buffers of exactly the stated lengths, checking the
// invariants after each.
#include "tests/fuzz/miniport_invariants.h"
#include "tests/fuzz/request_script.h"

#include "miniport/korvid.h"
#include "display/miniport_client.h"
#include "display/request_packet.h"
#include "loader/host_driver.h"
#include "platform/videoport/reload.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace fuzz_tests;

namespace {

constexpr uint8_t kOutputFill = 0xCC;
constexpr uint8_t kRegistryTwo = 2;
constexpr VP_STATUS kMapFailure = ERROR_NOT_ENOUGH_MEMORY;
constexpr VP_STATUS kInt10Failure = ERROR_INVALID_FUNCTION;
constexpr uint32_t kCustomRateBase = 50;
constexpr uint32_t kCustomRateSpread = 0x3F;
constexpr uint32_t kCustomClockHz = 1'000'000;
constexpr uint32_t kCustomPll = 0x0747;
constexpr size_t kCustomLengthMask = 0xF;

LoadTimeTables g_tables;
// KORVID_FUZZ_TRACE set: each request and its outcome go to stderr.
bool g_trace = false;
// Requests sent in this process, reported at exit (long runs state their count).
unsigned long long g_requests = 0;

void report_count()
{
    std::fprintf(stderr, "request_fuzzer: %llu requests sent\n", g_requests);
}

// A custom rate as the display driver stores it: refresh, pixel clock, PLL
// word, each drawn from the board's IBMMCLOCK byte.
std::vector<uint8_t> custom_rate(const BoardChoice& b)
{
    const uint32_t words[] = {kCustomRateBase + (b.mclock & kCustomRateSpread),
                              kCustomClockHz * b.mclock, kCustomPll ^ b.mclock};
    std::vector<uint8_t> value(sizeof words);
    std::memcpy(value.data(), words, sizeof words);
    if (b.registry & kRegCustomOddLength)
        value.resize(b.mclock & kCustomLengthMask, b.mclock);
    return value;
}

void set_up_machine(korvid_host::System& m, const MachineChoice& choice)
{
    for (size_t i = 0; i < choice.boards.size(); ++i) {
        const BoardChoice& b = choice.boards[i];
        int board = static_cast<int>(i);
        uint32_t layout = (b.registry & kRegValueTwo) ? kRegistryTwo : 1;
        if (b.registry & kRegDoubleWide)
            m.set_registry_dword(board, u"DoubleWide", layout);
        if (b.registry & kRegTwoTall)
            m.set_registry_dword(board, u"TwoTall", layout);
        if (b.registry & kRegMclock)
            m.set_registry_dword(board, u"IBMMCLOCK", b.mclock);
        if (b.registry & kRegCustomRate)
            m.set_registry_binary(board, u"VrelCustomRefresh.04000300", custom_rate(b));
    }
    if (choice.fault == kFaultMapMemory)
        m.faults().map_memory_status = kMapFailure;
    else if (choice.fault == kFaultInt10)
        m.faults().int10_status = kInt10Failure;
    else if (choice.fault == kFaultRom)
        m.faults().fail_rom_mapping = true;
}

// A buffer of exactly n bytes; a zero length gives null unless asked otherwise.
std::unique_ptr<uint8_t[]> buffer(size_t n, bool empty_buffer)
{
    if (n == 0 && !empty_buffer)
        return nullptr;
    return std::unique_ptr<uint8_t[]>(new uint8_t[n]);
}

bool expected_status(VP_STATUS s, const korvid_host::System& m)
{
    return s == NO_ERROR || s == ERROR_INVALID_FUNCTION || s == ERROR_INVALID_PARAMETER ||
           s == ERROR_INSUFFICIENT_BUFFER || (s == m.faults().map_memory_status && s != NO_ERROR);
}

// The invariants a request is held to.
struct Checks {
    BootState boot;
    BoardAnswers answers;
    bool display_only;
};

void send(korvid_host::System& m, Checks& checks, const RequestChoice& rq)
{
    ULONG in_length = static_cast<ULONG>(rq.input.size());
    ULONG out_length = rq.output_length;
    bool empty_buffer = rq.flags & kDevEmptyBuffer;
    std::unique_ptr<uint8_t[]> in, out;
    const bool shared = rq.flags & kDevShared;
    if (shared) {
        // The buffered method hands both over in one system buffer.
        size_t size = std::max(in_length, out_length);
        in = buffer(size, empty_buffer);
        if (in) {
            std::memset(in.get(), kOutputFill, size);
            if (in_length)
                std::memcpy(in.get(), rq.input.data(), in_length);
        }
    } else {
        in = buffer(in_length, empty_buffer);
        out = buffer(out_length, empty_buffer);
        if (in_length)
            std::memcpy(in.get(), rq.input.data(), in_length);
        if (out_length)
            std::memset(out.get(), kOutputFill, out_length);
    }

    ++g_requests;
    size_t mappings = m.mappings().size();
    uint64_t start_ns = m.machine().time_ns;
    // The display driver's requests all come through the one device it opened.
    int device =
        checks.display_only ? sim::kDisplayDevice : rq.device % static_cast<int>(m.device_count());
    size_t target = BoardAnswers::target(m, device);
    sim::Reply reply = sim::start_request(m, device, rq.code, in.get(), in_length,
                                          shared ? in.get() : out.get(), out_length);
    if (!reply.handled)
        broken("request 0x%lx not handled", rq.code);
    if (!expected_status(reply.status, m))
        broken("request 0x%lx: status %ld", rq.code, reply.status);
    if ((reply.status == ERROR_INVALID_FUNCTION) != !is_known_code(rq.code))
        broken("request 0x%lx: status %ld for a %s code", rq.code, reply.status,
               is_known_code(rq.code) ? "known" : "unknown");
    // The platform copies Information bytes back to the caller.
    if (reply.status == NO_ERROR && reply.information > out_length)
        broken("request 0x%lx: %lu bytes returned in a buffer of %lu", rq.code, reply.information,
               out_length);
    if (g_trace)
        std::fprintf(stderr, "device %d code 0x%lx in %lu out %lu flags 0x%x: status %ld, %lu\n",
                     device, rq.code, in_length, out_length, rq.flags, reply.status,
                     reply.information);
    checks.answers.check_request(m, rq.code, target);
    checks.boot.check(m);
    checks.boot.check_request(m, rq.code, mappings, m.machine().time_ns - start_ns);
    g_tables.check();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_trace = std::getenv("KORVID_FUZZ_TRACE") != nullptr;
    std::atexit(report_count);
    korvid_host::reload_driver_data();
    g_tables.take();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ByteReader in(data, size);
    MachineChoice choice = read_machine(in);
    std::vector<sim::BoardSetup> setups;
    for (const BoardChoice& b : choice.boards)
        setups.push_back(b.setup);
    korvid_host::System m(setups);
    m.machine().trace.set_enabled(false);
    if (choice.display_only)
        m.set_device_opens(korvid_host::DeviceOpens::DisplayOnly);
    set_up_machine(m, choice);
    m.boot(sim::host_miniport());
    g_tables.check();
    if (m.devices().empty())
        return 0;
    Checks checks{BootState(m), BoardAnswers(m), choice.display_only};
    checks.boot.check(m);
    RequestChoice rq;
    for (size_t n = 0; n < kMaxRequests && read_request(in, &rq); ++n)
        send(m, checks, rq);
    return 0;
}
