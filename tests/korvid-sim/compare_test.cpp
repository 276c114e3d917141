// compare on copies of korvid.sys with one value changed: each change is
// found where it is, the register or request named with both values, and
// the built image is the host build's twin.
#include "tests/korvid-sim/sim_fixture.h"

#include "tools/korvid-sim/audit.h"
#include "tools/korvid-sim/compare.h"
#include "miniport/modes.h"
#include "tools/korvid-sim/reference.h"

#include "miniport/private_ioctl.h"
#include "hardware/dac.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <set>

namespace {

using Bytes = std::vector<uint8_t>;

class ChangedImage : public ::testing::Test {
  protected:
    void SetUp() override
    {
        auto path = korvid_sys_path();
        if (!path)
            GTEST_SKIP() << "no korvid.sys: configure with -DKORVID_CROSS_DIR";
        built = *path;
        std::ifstream in(built, std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), {});
    }
    void TearDown() override { std::remove(temp_path("changed.sys").c_str()); }

    // Replaces the one place `from` lies in the image with `to`.
    template <typename T> void replace_once(const T& from, const T& to)
    {
        auto* f = reinterpret_cast<const uint8_t*>(&from);
        auto at = std::search(file.begin(), file.end(), f, f + sizeof from);
        ASSERT_NE(at, file.end()) << "the value is in the image";
        ASSERT_EQ(std::search(at + 1, file.end(), f, f + sizeof from), file.end()) << "only once";
        std::memcpy(&*at, &to, sizeof to);
        pe::update_checksum(file); // or the loader refuses the copy
    }
    korvid_host::DriverImage changed()
    {
        std::string error;
        auto image = sim::PeImage::load(file, &error);
        EXPECT_TRUE(image) << error;
        return image ? sim::sys_driver(image) : korvid_host::DriverImage{};
    }
    std::string changed_file()
    {
        std::string path = temp_path("changed.sys");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        return path;
    }

    std::string built;
    Bytes file;
};

constexpr uint32_t kCode = 0x11;

// The rows of 640 x 480 at 60 Hz the host build accepts on the board.
std::set<uint32_t> rows_of_640x480at60()
{
    Booted b(kCode);
    std::set<uint32_t> rows;
    for (uint32_t row = 0; row < ksim::kRowsTried; ++row) {
        auto t = ksim::table_row(true, row);
        if (t && t->width == 640 && t->height == 480 && t->frequency == 60 &&
            b.client.set_mode(row) == NO_ERROR)
            rows.insert(row);
    }
    return rows;
}

TEST_F(ChangedImage, APatchedPllWordIsReportedAtEveryRowItProgramsWithBothValues)
{
    MODE_TIMING patched = mode_640_480_60;
    ASSERT_EQ(patched.ulPll526, 0x0907u);
    patched.ulPll526 = 0x0908;
    replace_once(mode_640_480_60, patched);

    ksim::MachineComparison c = ksim::compare_machine({kCode}, sim::host_miniport(), changed());
    std::set<uint32_t> divider_rows, pll_rows;
    for (const ksim::Difference& d : c.differences) {
        EXPECT_EQ(d.category, ksim::Category::Rows) << d.where;
        uint32_t row = 0;
        ASSERT_EQ(std::sscanf(d.where.c_str(), "row %u", &row), 1) << d.where;
        if (d.where.find("DAC 0x20 pixel clock VCO divider") != std::string::npos) {
            EXPECT_EQ(d.old_value + " " + d.new_value, "0x07 0x08") << d.where;
            divider_rows.insert(row);
        }
        if (d.where.ends_with("decoded: pixel_pll")) {
            EXPECT_EQ(d.old_value + " " + d.new_value, "0x0907 0x0908") << d.where;
            pll_rows.insert(row);
        }
    }
    const std::set<uint32_t> expected = rows_of_640x480at60();
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(divider_rows, expected);
    EXPECT_EQ(pll_rows, expected);

    // The command line says so in words, exits 1, and gives the records as JSON.
    std::string path = changed_file();
    Outcome text = run("compare host " + path + " 0x11");
    EXPECT_EQ(text.status, 1) << text.err;
    EXPECT_NE(text.out.find("    row " + std::to_string(*expected.begin()) +
                            " 640x480x8@60:single: device access "),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("DAC 0x20 pixel clock VCO divider: 0x07 -> 0x08"), std::string::npos);
    Outcome json = run("--json compare host " + path + " 0x11",
                       "python3 -c " + quote("import json,sys; d=json.load(sys.stdin); "
                                             "r=d[\"differences\"][0]; print(d[\"identical\"], "
                                             "*[r[k] for k in (\"code\", \"category\", "
                                             "\"old\", \"new\")])"));
    EXPECT_EQ(json.out, "False 17 row sets 0x07 0x08\n") << json.err;

    // On a machine of two boards of different types the change shows on each
    // board, named by it, and the records name the machine and the board.
    Outcome two = run("compare host " + path + " 0x11 0x13,0x00 --jobs 2");
    EXPECT_EQ(two.status, 1) << two.err;
    EXPECT_NE(two.out.find("  machine 0x13,0x00 (20 MiB SGRAM, 4 MiB WRAM): "), std::string::npos)
        << two.out;
    EXPECT_NE(two.out.find("row sets                      0          2 0x11 0x13,0x00\n"),
              std::string::npos)
        << two.out;
    Outcome boards =
        run("--json compare host " + path + " 0x13,0x00",
            "python3 -c " + quote("import json,sys,re; d=json.load(sys.stdin); print(sorted({("
                                  "str(r[\"machine\"]), r[\"board\"], \"code\" in r, "
                                  "bool(re.match(r\"board \\d: row \\d+ \\(640x480x\\d+@60:\", "
                                  "r[\"where\"]))) for r in d[\"differences\"] if \"VCO "
                                  "divider\" in r[\"where\"]}))"));
    EXPECT_EQ(boards.out, "[('[19, 0]', 0, False, True), ('[19, 0]', 1, False, True)]\n")
        << boards.err;
}

TEST_F(ChangedImage, ARequestWhoseStatusChangedIsReportedWithThatRequest)
{
    // The private request table no longer knows the code: the request is refused.
    const ULONG code = IOCTL_PRIV_GET_CONSTANT_592, unknown = code | 0x0F00;
    replace_once(code, unknown);
    ksim::MachineComparison c = ksim::compare_machine({kCode}, sim::host_miniport(), changed());
    ASSERT_FALSE(c.differences.empty());
    for (const ksim::Difference& d : c.differences) {
        EXPECT_EQ(d.category, ksim::Category::Requests) << d.where;
        EXPECT_NE(d.where.find(" PRIV_GET_CONSTANT_592"), std::string::npos) << d.where;
    }
    auto usual = std::find_if(c.differences.begin(), c.differences.end(), [](const auto& d) {
        return d.where.ends_with("PRIV_GET_CONSTANT_592: status");
    });
    ASSERT_NE(usual, c.differences.end()) << "the answer with the usual buffers";
    EXPECT_EQ(usual->old_value + " " + usual->new_value, "NO_ERROR ERROR_INVALID_FUNCTION");

    // Through two worker processes, the summary says which codes differ and where.
    Outcome r = run("compare " + built + " " + changed_file() + " 0x00 0x11 --jobs 2");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("PRIV_GET_CONSTANT_592, out 3: status: ERROR_INSUFFICIENT_BUFFER -> "
                         "ERROR_INVALID_FUNCTION"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("row sets                      2          0\n"), std::string::npos);
    EXPECT_NE(r.out.find("requests                      0          2 0x00 0x11\n"),
              std::string::npos);
}

// A copy that finds no board: the failed boot, and one line for each part
// the other driver went on to show, not one per row and request.
TEST_F(ChangedImage, ADriverThatDoesNotLoadIsOneLinePerCategory)
{
    const uint32_t vendor = sim::kVendorId, other = 0xE583;
    replace_once(vendor, other);
    ksim::MachineComparison c = ksim::compare_machine({kCode}, sim::host_miniport(), changed());
    ASSERT_GE(c.differences.size(), 3u);
    EXPECT_EQ(c.differences[0].where, "boot: status");
    EXPECT_EQ(c.differences[0].new_value, "STATUS_UNSUCCESSFUL");
    std::map<ksim::Category, int> lines;
    for (const ksim::Difference& d : c.differences)
        if (d.new_value == "(none: the driver did not load)")
            ++lines[d.category];
    using C = ksim::Category;
    EXPECT_EQ(lines, (std::map<C, int>{{C::Modes, 1}, {C::Rows, 1}, {C::Requests, 1}}));
}

TEST_F(ChangedImage, TheBuiltImageIsIdenticalToTheHostBuildOnEveryCode)
{
    Outcome r = run("compare host " + built);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Identical on all 32 codes."), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "") << "no progress line without a terminal";
}

using ksim::Category;
using ksim::Observation;

Observation traced(std::vector<uint8_t> dac_values)
{
    Observation o{Category::Rows, "row 6 640x480x8@60:single", "", {}, {}, true};
    o.trace.push_back(
        {0, sim::Op::Write, sim::Aperture::Registers, 1, sim::dac_port::IndexLow, 0x20});
    for (uint8_t v : dac_values)
        o.trace.push_back(
            {0, sim::Op::Write, sim::Aperture::Registers, 1, sim::dac_port::IndexData, v});
    return o;
}

Observation valued(std::string where, std::vector<std::pair<std::string, std::string>> fields)
{
    return Observation{Category::Requests, std::move(where), "", std::move(fields), {}, false};
}

std::string words_from(int changed_at)
{
    std::string s;
    for (int i = 0; i < 20; ++i)
        s += (i ? " " : "") + std::string(i == changed_at ? "00000001" : "00000000");
    return s;
}

TEST(CompareParts, DifferencesNameTheAccessOrFieldAndSurviveTheTripBetweenProcesses)
{
    // Traces part at their first differing access; a shorter one says where it ends.
    auto d = ksim::differences({traced({0x07, 0x09})}, {traced({0x08, 0x09})});
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].where, "row 6 640x480x8@60:single: device access 2, DAC 0x20 pixel clock VCO "
                          "divider");
    EXPECT_EQ(d[0].old_value + " " + d[0].new_value, "0x07 0x08");
    d = ksim::differences({traced({0x07, 0x09})}, {traced({0x07})});
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].new_value, "(no more: 2 accesses)");

    // Fields by name, a missing one as none; a long answer from the word where it parts.
    d = ksim::differences(
        {valued("request 3 PRIV_NOP", {{"status", "NO_ERROR"}, {"output", words_from(-1)}})},
        {valued("request 3 PRIV_NOP", {{"output", words_from(9)}, {"Information", "4"}})});
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].where, "request 3 PRIV_NOP: status");
    EXPECT_EQ(d[0].new_value, "(none)");
    EXPECT_EQ(d[1].where, "request 3 PRIV_NOP: output from word 9");
    EXPECT_EQ(d[1].new_value, "... 00000001 00000000 00000000 00000000 ...");
    EXPECT_EQ(d[2].where, "request 3 PRIV_NOP: Information");

    // A row the new driver refuses: the refusal is said, not its missing trace.
    Observation set = valued("row 6 640x480x8@60:single", {{"mode set", "NO_ERROR"}});
    Observation refused = set;
    refused.fields[0].second = "ERROR_INVALID_PARAMETER";
    d = ksim::differences({set, traced({0x07})}, {refused});
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].where, "row 6 640x480x8@60:single: mode set");

    ksim::MachineComparison c{{0x11}, d, "the worker\tstopped"};
    c.differences.push_back({Category::Boot, "boot: status", "NO_ERROR", "a\tb", 1});
    ksim::MachineComparison back = ksim::deserialize_comparison({0x11}, ksim::serialize(c));
    ASSERT_EQ(back.differences.size(), 2u);
    EXPECT_EQ(back.differences[0].new_value, "ERROR_INVALID_PARAMETER");
    EXPECT_EQ(back.differences[1].category, Category::Boot);
    EXPECT_EQ(back.differences[1].new_value, "a b");
    EXPECT_EQ(back.differences[1].board, 1);
    EXPECT_EQ(back.error, "the worker stopped");
}

} // namespace
