// Names for the accesses of a device trace: which register an offset is, and
// for the DAC, which indexed register a data write lands in (the DAC's index
// protocol is replayed along the trace to know).
#pragma once

#include "hardware/trace.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ksim {

const char* dac_register_name(uint16_t index); // null for an unnamed register

// One note per event, in order ("" where there is nothing to say).
std::vector<std::string> annotate(const std::vector<sim::Event>& events);

} // namespace ksim
