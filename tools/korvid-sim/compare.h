// compare: two drivers, each on its own fresh machine per machine asked for
// (a configuration code, or the codes of several boards), observed the same
// way (boot, mode list, every row set, a fixed conversation of requests, on
// every board), and what differs between them.
#pragma once

#include "tools/korvid-sim/machines.h"
#include "platform/videoport/system.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ksim {

// What is compared, in report order.
enum class Category : uint8_t { Boot, Registry, Modes, Rows, Requests };
constexpr size_t kNumCategories = 5;
const char* category_name(Category c);

// One thing seen of a driver: named fields ("pixel_pll" = "0x0907"), or a
// device-access trace compared access by access.
struct Observation {
    Category category = Category::Boot;
    // "row 5 640x480x8@60:single", "request 12 PRIV_NOP, in 3"; on a machine
    // of several boards prefixed "board 1: "
    std::string where;
    std::string label; // shown after `where`, not compared: "(640x480x8@60:single)"
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<sim::Event> trace;
    bool is_trace = false;
    int board = -1; // the board (in chain order) on a machine of several; -1: the machine
};

using Snapshot = std::vector<Observation>;

// Everything compare looks at for one driver on a fresh machine.
Snapshot observe(const MachineCodes& machine, const korvid_host::DriverImage& driver);

struct Difference {
    Category category = Category::Boot;
    std::string where, old_value, new_value;
    int board = -1; // as in Observation
};

// The differences from `a` (old) to `b` (new): every field that differs,
// and the first access where two traces part.
std::vector<Difference> differences(const Snapshot& a, const Snapshot& b);

struct MachineComparison {
    MachineCodes machine;
    std::vector<Difference> differences;
    std::string error; // set when the machine could not be compared
};

MachineComparison compare_machine(const MachineCodes& machine, const korvid_host::DriverImage& a,
                                  const korvid_host::DriverImage& b);

struct CompareRun {
    std::vector<MachineComparison> machines; // in the order asked for
    double seconds = 0;
    int workers = 1;
};

CompareRun run_compare(const std::vector<MachineCodes>& machines, const korvid_host::DriverImage& a,
                       const korvid_host::DriverImage& b, int workers,
                       const std::function<void(size_t, size_t)>& progress = {});

// One machine's result as text lines, and back: how workers report.
std::string serialize(const MachineComparison& c);
MachineComparison deserialize_comparison(const MachineCodes& machine, const std::string& text);

} // namespace ksim
