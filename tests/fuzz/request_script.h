// The request fuzzer's input format: a machine (one to three boards, their
// registry choices, which devices the display driver opens, injected faults),
// then a sequence of requests with their buffers. The same format is written by the seed-corpus
// generator, so every seed decodes into the conversation it was made from.
//
// Layout, byte by byte (lengths little-endian):
//   header   bits 0-1: boards - 1 (3 reads as 3 boards); bit 2: only device 0
//            is opened and every request comes through it, as the family's
//            display driver does; bits 3-7: fault selector (kFault* below,
//            anything else: no fault)
//   board    config code (0xF8 and up: an unknown code 32 + low bits),
//            options (kOpt* bits), registry flags (kReg* bits), IBMMCLOCK
//            (which also varies the stored custom rate)
//   request  code selector, then device and buffer flags, input length,
//            output length, input bytes; see read_request
#pragma once

#include "hardware/board.h"
#include "platform/videoport/video.h"
#include "tests/fuzz/byte_reader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz_tests {

constexpr int kMaxBoards = 3;
constexpr size_t kMaxRequests = 64;
// Longest buffer a request gets: a full mode list of the larger table.
constexpr ULONG kMaxBufferLength = 0xC000;

constexpr uint8_t kHeaderDisplayOnly = 0x04;
constexpr uint8_t kHeaderFaultShift = 3;

// Fault selectors of the header (5 bits).
constexpr uint8_t kFaultMapMemory = 0x1F;
constexpr uint8_t kFaultInt10 = 0x1E;
constexpr uint8_t kFaultRom = 0x1D;

// Board option bits.
constexpr uint8_t kOptNotVga = 0x01;
constexpr uint8_t kOptDeclock = 0x02;
constexpr uint8_t kOptWramBitRefused = 0x04;
constexpr uint8_t kOptBusyShift = 3; // bits 3-5: polls before each busy register reads idle
constexpr uint8_t kOptBusyMask = 0x7;
constexpr uint8_t kOptNeverIdle = 0xC0; // both top bits

// Registry flag bits: which values the board's device key holds.
constexpr uint8_t kRegDoubleWide = 0x01;
constexpr uint8_t kRegTwoTall = 0x02;
constexpr uint8_t kRegMclock = 0x04;
constexpr uint8_t kRegValueTwo = 0x08; // the layout values hold 2 rather than 1
// A stored custom rate for 1024 x 768: 12 bytes, or with kRegCustomOddLength
// as many bytes as the low four bits of the IBMMCLOCK byte say.
constexpr uint8_t kRegCustomRate = 0x10;
constexpr uint8_t kRegCustomOddLength = 0x20;

// Code selector: below kSelectNeighbour a known code, below kSelectRaw a
// known code with one bit flipped, else four raw bytes.
constexpr uint8_t kSelectNeighbour = 0xE0;
constexpr uint8_t kSelectRaw = 0xF0;

// Device byte: low bits pick the device the request arrives on.
constexpr uint8_t kDevShared = 0x10;      // input and output share one buffer
constexpr uint8_t kDevEmptyBuffer = 0x20; // a zero length comes with a buffer, not null

// Lengths: a byte below kLengthEscape is the length; otherwise two bytes follow.
constexpr uint8_t kLengthEscape = 0xF0;

struct BoardChoice {
    sim::BoardSetup setup;
    uint8_t registry = 0;
    uint8_t mclock = 0;
};

struct MachineChoice {
    std::vector<BoardChoice> boards;
    bool display_only = false;
    uint8_t fault = 0;
};

struct RequestChoice {
    ULONG code = 0;
    uint8_t device = 0;
    uint8_t flags = 0;
    std::vector<uint8_t> input;
    ULONG output_length = 0;
};

// Every control code the miniport answers.
const std::vector<ULONG>& known_codes();
bool is_known_code(ULONG code);

MachineChoice read_machine(ByteReader& in);
// False when the input is used up.
bool read_request(ByteReader& in, RequestChoice* out);

// Writes the format (for seeds and regression inputs).
class ScriptWriter {
  public:
    explicit ScriptWriter(const MachineChoice& machine);
    ScriptWriter& request(ULONG code, const std::vector<uint8_t>& input, ULONG output_length,
                          uint8_t device_flags = 0);
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    void length(ULONG n);
    std::vector<uint8_t> bytes_;
};

// A machine of plain boards with the given configuration codes.
MachineChoice plain_machine(std::initializer_list<uint32_t> codes);

} // namespace fuzz_tests
