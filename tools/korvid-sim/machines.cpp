#include "tools/korvid-sim/machines.h"

#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/errors.h"
#include "tools/korvid-sim/options.h"

#include "hardware/board.h"

namespace ksim {

MachineCodes parse_machine(std::string_view text)
{
    MachineCodes m;
    for (size_t from = 0;;) {
        size_t comma = text.find(',', from);
        std::string_view item = text.substr(from, comma == text.npos ? text.npos : comma - from);
        if (item.empty())
            throw UsageError("bad machine '" + std::string(text) +
                             "': give configuration codes joined by commas, e.g. 0x13,0x00");
        if (item.find('@') != item.npos)
            throw UsageError("bad machine '" + std::string(text) +
                             "': its boards sit on the bus of their kind (AGP boards behind the "
                             "AGP bridge); @BUS is for --board");
        m.push_back(parse_config_code(item));
        if (comma == text.npos)
            break;
        from = comma + 1;
    }
    if (m.size() > kMaxMachineBoards)
        throw UsageError("machine " + std::string(text) + " has " + std::to_string(m.size()) +
                         " boards; a machine takes 1 to " + std::to_string(kMaxMachineBoards));
    return m;
}

std::string machine_name(const MachineCodes& m)
{
    std::string out;
    for (uint32_t code : m)
        out += format("%s0x%02X", out.empty() ? "" : ",", code);
    return out;
}

std::string machine_text(const MachineCodes& m)
{
    std::string out;
    for (uint32_t code : m)
        out += format("%s%u MiB %s", out.empty() ? "" : ", ", sim::memory_size_for_code(code) >> 20,
                      sim::is_sgram_code(code) ? "SGRAM" : "WRAM");
    return out;
}

Json machine_json(const MachineCodes& m)
{
    Json codes = Json::array();
    for (uint32_t code : m)
        codes.push(code);
    return codes;
}

uint64_t machine_memory(const MachineCodes& m)
{
    uint64_t bytes = 0;
    for (uint32_t code : m)
        bytes += sim::memory_size_for_code(code);
    return bytes;
}

bool any_several(const std::vector<MachineCodes>& machines)
{
    for (const MachineCodes& m : machines)
        if (m.size() > 1)
            return true;
    return false;
}

std::string run_noun(const std::vector<MachineCodes>& machines, size_t count)
{
    return std::string(any_several(machines) ? "machine" : "code") + (count == 1 ? "" : "s");
}

std::unique_ptr<korvid_host::System> fresh_machine(const MachineCodes& m)
{
    std::vector<sim::BoardSetup> boards;
    for (uint32_t code : m) {
        sim::BoardSetup board;
        board.config_code = code;
        boards.push_back(board);
    }
    auto machine = std::make_unique<korvid_host::System>(boards);
    if (m.size() > 1)
        machine->set_device_opens(korvid_host::DeviceOpens::DisplayOnly);
    return machine;
}

sim::Board& chain_board(korvid_host::System& m, int n)
{
    return m.machine().board(m.board_of_device(n));
}

} // namespace ksim
