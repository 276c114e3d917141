// What a request's output means, decoded by the shape of its output.
#pragma once

#include "tools/korvid-sim/json.h"
#include "platform/videoport/system.h"
#include "display/miniport_client.h"
#include "display/miniport_requests.h"

#include <string>

namespace ksim {

// Where an address the miniport handed out points: "board 0 fb +0x000400".
std::string address_text(korvid_host::System& m, uint32_t address);

Json reply_json(korvid_host::System& m, const sim::RequestInfo& request, const sim::Reply& reply);
std::string reply_text(korvid_host::System& m, const sim::RequestInfo& request,
                       const sim::Reply& reply);

} // namespace ksim
