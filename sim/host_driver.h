// The host-built miniport, as a driver the simulated machine loads.
#pragma once

#include "machine.h"

namespace sim {
DriverImage host_miniport();
} // namespace sim
