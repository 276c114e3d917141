// Plays the display driver's side of a request: builds the packet with
// buffers of exactly the given lengths (so any overrun is caught), sends it
// through the video port to the miniport and returns what came back.
#pragma once

#include "display/request_packet.h"
#include "platform/videoport/system.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace testing_korvid {

using sim::Reply;

constexpr ULONG kUntouchedInformation = 0xDEADBEEF;
constexpr uint8_t kUnwritten = 0xCC;

// Sends one request to device `device` of the machine.
inline Reply send(korvid_host::System& m, ULONG code, const std::vector<uint8_t>& input,
                  size_t output_length, bool shared = false, int device = 0)
{
    std::vector<uint8_t> in(input), out(output_length, kUnwritten);
    // One buffer for both, as the buffered method hands it over.
    if (shared)
        in.resize(std::max(input.size(), output_length), kUnwritten);
    uint8_t* in_data = in.empty() ? nullptr : in.data();
    uint8_t* out_data = shared ? in_data : out.empty() ? nullptr : out.data();
    Reply r = sim::start_request(m, device, code, in_data, input.size(), out_data, output_length,
                                 kUntouchedInformation);
    if (shared)
        r.output.assign(in.begin(), in.begin() + output_length);
    else
        r.output = out;
    return r;
}

inline std::vector<uint8_t> words(std::initializer_list<uint32_t> list)
{
    std::vector<uint8_t> v;
    for (uint32_t w : list)
        for (int i = 0; i < 4; ++i)
            v.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return v;
}

} // namespace testing_korvid
