// The machines that compare and audit run: one board per configuration code,
// each on the bus of its kind (AGP boards behind the AGP bridge). A machine of
// one board is written as its code ("0x11"), one of several as their codes
// joined by commas ("0x13,0x00"); a machine of several boards boots with only
// device 0 opened, as the family's display driver opens it, and reaches the
// other boards by selecting them. Its boards are counted in the order the
// driver found them (the chain): bus 0's first, each bus's in the order given.
#pragma once

#include "tools/korvid-sim/json.h"
#include "platform/videoport/system.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ksim {

using MachineCodes = std::vector<uint32_t>;

// Boards a machine may have: enough for every mix of the family's two memory
// types with room to spare, few enough that a run stays a few seconds a machine.
constexpr size_t kMaxMachineBoards = 6;

// "0x13,0x00"; throws UsageError for a bad code, an empty item or too many boards.
MachineCodes parse_machine(std::string_view text);
std::string machine_name(const MachineCodes& m);
// "16 MiB SGRAM, 4 MiB WRAM"
std::string machine_text(const MachineCodes& m);
Json machine_json(const MachineCodes& m);
uint64_t machine_memory(const MachineCodes& m);
// Any machine of several boards in the list.
bool any_several(const std::vector<MachineCodes>& machines);
// How a run's report counts what it ran: "code" or "machine", plural with an s.
std::string run_noun(const std::vector<MachineCodes>& machines, size_t count);

// A fresh machine for the codes, with the display driver's device opens.
std::unique_ptr<korvid_host::System> fresh_machine(const MachineCodes& m);
// The simulated board that board `n` of the chain (the n-th found) is.
sim::Board& chain_board(korvid_host::System& m, int n);

} // namespace ksim
