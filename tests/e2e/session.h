// One run of the display driver's conversation with a miniport on the
// simulated machine. Requests go out with buffers of exactly the stated
// length between guard bytes, so an overrun shows even in korvid.sys, which
// the sanitizers cannot see into. Everything that happens is written to a
// transcript (device accesses, requests and replies, the state left behind)
// that two runs can be compared by.
#pragma once

#include "display/request_packet.h"
#include "tests/support/requests.h"
#include "hardware/decode.h"
#include "platform/videoport/system.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

using testing_support::Buffers;
using testing_support::Bytes;
using testing_support::kUntouchedInformation;
using testing_support::words;

struct Reply : testing_support::Reply {
    std::vector<sim::Event> events; // the device accesses the request made
};

class Session {
  public:
    explicit Session(korvid_host::DriverImage driver);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // A fresh machine with these boards, powered on but not booted, so that
    // registry values and faults can be set up first.
    korvid_host::System& power_on(const std::vector<sim::BoardSetup>& boards);
    ULONG boot();
    // power_on and boot in one.
    ULONG boot(const std::vector<sim::BoardSetup>& boards);
    // Unload and load again; the registry keeps what was written.
    ULONG reboot();

    // One request to the device that the video port created for `device`.
    Reply send(ULONG code, const Bytes& input = {}, size_t output_length = 0,
               Buffers buffers = Buffers::Separate, int device = 0);
    // The reset callback, as the video port calls it when the display resets.
    BOOLEAN reset_hw(int device = 0);

    korvid_host::System& system() { return *system_; }
    sim::DisplayState display(int board) const;

    // Everything so far, one line per event, request and piece of end state.
    std::vector<std::string> transcript();

  private:
    void flush_trace();
    void note(const std::string& line) { lines_.push_back(line); }
    std::string describe_reply(int device, ULONG code, const Bytes& input, size_t output_length,
                               Buffers buffers, const Reply& reply,
                               const std::vector<korvid_host::Mapping>& made);
    // A pointer the video port handed out (inside a mapping made by this
    // request, or named before) by what it points at; other words as data.
    std::string pointer_name(uint32_t value, const std::vector<korvid_host::Mapping>& made);
    std::string address_name(uint32_t address) const;
    void describe_end_state();

    korvid_host::DriverImage driver_;
    std::unique_ptr<korvid_host::System> system_;
    std::vector<std::string> lines_;
    size_t traced_ = 0; // trace events already in lines_
    std::map<uint32_t, std::string> handed_out_;
};

// Names the first line where two transcripts part, with what came before.
::testing::AssertionResult same_transcript(const std::vector<std::string>& want,
                                           const std::vector<std::string>& got);

} // namespace e2e
