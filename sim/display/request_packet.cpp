#include "request_packet.h"

#include "sim/machine/le_words.h"

#include <algorithm>

namespace sim {

uint32_t Reply::word(size_t i) const
{
    return le::get32(output, 4 * i);
}

std::string Reply::text() const
{
    auto nul = std::find(output.begin(), output.end(), 0);
    return std::string(output.begin(), nul);
}

Reply start_request(korvid_host::System& machine, int device, ULONG code,
                    const RequestBuffers& buffers, ULONG information)
{
    STATUS_BLOCK status{};
    status.Status = static_cast<VP_STATUS>(-1);
    status.Information = information;
    VIDEO_REQUEST_PACKET packet{};
    packet.IoControlCode = code;
    packet.StatusBlock = &status;
    packet.InputBuffer = buffers.input;
    packet.InputBufferLength = static_cast<ULONG>(buffers.input_length);
    packet.OutputBuffer = buffers.output;
    packet.OutputBufferLength = static_cast<ULONG>(buffers.output_length);
    Reply reply;
    reply.handled = machine.start_io(device, &packet);
    reply.status = status.Status;
    reply.information = status.Information;
    return reply;
}

} // namespace sim
