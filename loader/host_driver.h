// The host-built miniport, as a driver the simulated machine loads.
#pragma once

#include "platform/videoport/system.h"

namespace sim {
korvid_host::DriverImage host_miniport();
} // namespace sim
