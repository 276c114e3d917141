// One request as the video port hands it to the miniport's StartIO: the
// packet over the caller's buffers and its status block, which starts at
// status -1 and the Information the caller chooses, so that what the
// miniport leaves unset shows. The display driver's side and the tests
// build every packet here.
#pragma once

#include "platform/videoport/system.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct Reply {
    BOOLEAN handled = FALSE; // what StartIO returned
    VP_STATUS status = -1;
    ULONG information = 0;
    std::vector<uint8_t> output;

    bool ok() const { return status == NO_ERROR; }
    uint32_t word(size_t i = 0) const; // 0 past the end of the output
    std::string text() const;          // the output up to its first NUL
};

// Sends `code` to the miniport of device `device` with the caller's
// buffers (input == output for one shared buffer). The reply carries what
// StartIO and the status block returned, and no output: the buffers hold it.
Reply start_request(korvid_host::System& machine, int device, ULONG code, void* input,
                    ULONG input_length, void* output, ULONG output_length, ULONG information = 0);

} // namespace sim
