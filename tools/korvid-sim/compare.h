// compare: two drivers, each on its own fresh machine per configuration
// code, observed the same way (boot, mode list, every row set, a fixed
// conversation of requests), and what differs between them.
#pragma once

#include "videoport/system.h"

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
    std::string where; // "row 5 640x480x8@60:single", "request 12 PRIV_NOP, in 3"
    std::string label; // shown after `where`, not compared: "(640x480x8@60:single)"
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<sim::Event> trace;
    bool is_trace = false;
};

using Snapshot = std::vector<Observation>;

// Everything compare looks at for one driver on a fresh machine with one board.
Snapshot observe(uint32_t code, const korvid_host::DriverImage& driver);

struct Difference {
    uint32_t code = 0;
    Category category = Category::Boot;
    std::string where, old_value, new_value;
};

// The differences from `a` (old) to `b` (new): every field that differs,
// and the first access where two traces part.
std::vector<Difference> differences(uint32_t code, const Snapshot& a, const Snapshot& b);

struct CodeComparison {
    uint32_t code = 0;
    std::vector<Difference> differences;
    std::string error; // set when the code could not be compared
};

CodeComparison compare_code(uint32_t code, const korvid_host::DriverImage& a,
                            const korvid_host::DriverImage& b);

struct CompareRun {
    std::vector<CodeComparison> codes; // in the order asked for
    double seconds = 0;
    int workers = 1;
};

CompareRun run_compare(const std::vector<uint32_t>& codes, const korvid_host::DriverImage& a,
                       const korvid_host::DriverImage& b, int workers,
                       const std::function<void(size_t, size_t)>& progress = {});

// One code's result as text lines, and back: how workers report.
std::string serialize(const CodeComparison& c);
CodeComparison deserialize_comparison(uint32_t code, const std::string& text);

} // namespace ksim
