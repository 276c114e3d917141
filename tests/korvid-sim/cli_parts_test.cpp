// The command line's parts on their own: options anywhere on the line, the
// DAC replay behind trace notes, and an audit whose workers die.
#include "tests/korvid-sim/sim_fixture.h"

#include "tools/korvid-sim/audit.h"
#include "tools/korvid-sim/errors.h"
#include "tools/korvid-sim/options.h"
#include "tools/korvid-sim/trace_notes.h"

#include <cstdlib>

namespace {

TEST(Options, GlobalOptionsAreTakenAnywhereAndCodesInEitherBase)
{
    ksim::Options o = ksim::parse_options(
        {"--board=0x13", "modes", "--json", "--board", "7", "--current", "640x480x8"});
    EXPECT_EQ(o.codes, (std::vector<uint32_t>{0x13, 7}));
    EXPECT_TRUE(o.json);
    EXPECT_EQ(o.words, (std::vector<std::string>{"modes", "--current", "640x480x8"}));
    EXPECT_EQ(ksim::parse_options({}).codes, std::vector<uint32_t>{ksim::kDefaultConfigCode});
    EXPECT_EQ(ksim::parse_options({"-h"}).words, std::vector<std::string>{"help"});
    EXPECT_EQ(ksim::parse_options({"--driver", "k.sys"}).driver_path, "k.sys");
    EXPECT_THROW(ksim::parse_options({"--driver="}), ksim::UsageError);
    EXPECT_THROW(ksim::parse_options({"--board", "31", "--board", "0x1F", "--board", "32"}),
                 ksim::UsageError);
    // A board's bus after '@'; without one, the bus of its kind.
    o = ksim::parse_options({"--board", "0x13@1", "--board=0x08@0", "--board", "0x08"});
    EXPECT_EQ(o.codes, (std::vector<uint32_t>{0x13, 0x08, 0x08}));
    EXPECT_EQ(o.buses, (std::vector<int>{1, 0, sim::kBusOfItsKind}));
    for (const char* bad : {"0x13@2", "0x13@", "0x13@x", "@1"})
        EXPECT_THROW(ksim::parse_options({"--board", bad}), ksim::UsageError) << bad;
}

sim::Event dac_write(uint32_t port, uint8_t value)
{
    return sim::Event{0, sim::Op::Write, sim::Aperture::Registers, 1, port, value};
}

TEST(TraceNotes, FollowTheDacIndexAndPaletteProtocols)
{
    std::vector<sim::Event> events = {
        dac_write(0x1C, 1),   dac_write(0x14, 0),    dac_write(0x10, 0x0E), // select 0x0E
        dac_write(0x18, 3),   dac_write(0x18, 0),                           // 0x0E, then 0x0F
        dac_write(0x1C, 0),   dac_write(0x10, 0x20), dac_write(0x18, 7),
        dac_write(0x18, 9), // both into 0x20
        dac_write(0x00, 255), dac_write(0x04, 1),    dac_write(0x04, 2),
        dac_write(0x04, 3),   dac_write(0x04, 4), // entry 255, then 0
    };
    std::vector<std::string> notes = ksim::annotate(events);
    ASSERT_EQ(notes.size(), events.size());
    EXPECT_EQ(notes[2], "DAC index low: select DAC 0x0E 32-bpp control");
    EXPECT_EQ(notes[3], "DAC index data: DAC 0x0E 32-bpp control = 0x03");
    EXPECT_EQ(notes[4], "DAC index data: DAC 0x0F = 0x00");
    EXPECT_EQ(notes[7], "DAC index data: DAC 0x20 pixel clock VCO divider = 0x07");
    EXPECT_EQ(notes[8], "DAC index data: DAC 0x20 pixel clock VCO divider = 0x09");
    EXPECT_EQ(notes[10], "DAC palette data: entry 255 red");
    EXPECT_EQ(notes[12], "DAC palette data: entry 255 blue");
    EXPECT_EQ(notes[13], "DAC palette data: entry 0 red") << "the write address wraps";

    // Each board's DAC keeps its own index.
    sim::Event other = dac_write(0x18, 5);
    other.board = 1;
    events.push_back(other);
    EXPECT_EQ(ksim::annotate(events).back(), "DAC index data: DAC 0x00 = 0x05");
}

ULONG NTAPI dying_entry(PVOID, PVOID)
{
    std::abort();
}
ULONG NTAPI refusing_entry(PVOID, PVOID)
{
    return ERROR_DEV_NOT_EXIST;
}

TEST(AuditWorkers, ADeadWorkerOrADriverThatDoesNotLoadIsReportedPerCode)
{
    korvid_host::DriverImage dying{dying_entry, {}};
    ksim::AuditRun run = ksim::run_audit({{0x01}, {0x11}}, dying, 2);
    ASSERT_EQ(run.configs.size(), 2u);
    for (const ksim::ConfigAudit& a : run.configs)
        EXPECT_NE(a.error.find("stopped on signal"), std::string::npos) << a.error;
    EXPECT_EQ(run.configs[1].code, 0x11u);

    korvid_host::DriverImage refusing{refusing_entry, {}};
    ksim::ConfigAudit a = ksim::audit_config(0x11, refusing);
    EXPECT_NE(a.error.find("did not load"), std::string::npos);
    EXPECT_EQ(a.valid_rows, 0u);
}

} // namespace
