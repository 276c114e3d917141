#include "display/request_packet.h"

#include "support/le_words.h"

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

Reply start_request(korvid_host::System& machine, int device, ULONG code, void* input,
                    ULONG input_length, void* output, ULONG output_length, ULONG information)
{
    STATUS_BLOCK status{{static_cast<VP_STATUS>(-1)}, information};
    VIDEO_REQUEST_PACKET packet{code, &status, input, input_length, output, output_length};
    BOOLEAN handled = machine.start_io(device, &packet);
    return {handled, status.Status, status.Information, {}};
}

} // namespace sim
