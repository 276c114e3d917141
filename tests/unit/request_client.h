// Plays the display driver's side of a request: builds the packet with
// buffers of exactly the given lengths (so any overrun is caught), sends it
// through the video port to the miniport and returns what came back.
#pragma once

#include "videoport/system.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace testing_korvid {

struct Reply {
    BOOLEAN handled = FALSE;
    VP_STATUS status = -1;
    ULONG information = 0;
    std::vector<uint8_t> output;

    uint32_t word(size_t i = 0) const
    {
        uint32_t v = 0;
        std::memcpy(&v, output.data() + 4 * i, 4);
        return v;
    }
};

constexpr ULONG kUntouchedInformation = 0xDEADBEEF;

// Sends one request to device `device` of the machine.
inline Reply send(korvid_host::System& m, ULONG code, const std::vector<uint8_t>& input,
                  size_t output_length, bool shared = false, int device = 0)
{
    Reply r;
    STATUS_BLOCK status{};
    status.Status = -1;
    status.Information = kUntouchedInformation;
    VIDEO_REQUEST_PACKET packet{};
    packet.IoControlCode = code;
    packet.StatusBlock = &status;
    std::vector<uint8_t> in(input), out(output_length, 0xCC);
    if (shared) {
        // One buffer for both, as the buffered method hands it over.
        in.resize(std::max(input.size(), output_length), 0xCC);
        packet.InputBuffer = in.empty() ? nullptr : in.data();
        packet.OutputBuffer = packet.InputBuffer;
    } else {
        packet.InputBuffer = in.empty() ? nullptr : in.data();
        packet.OutputBuffer = out.empty() ? nullptr : out.data();
    }
    packet.InputBufferLength = static_cast<ULONG>(input.size());
    packet.OutputBufferLength = static_cast<ULONG>(output_length);
    r.handled = m.start_io(device, &packet);
    r.status = status.Status;
    r.information = status.Information;
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
