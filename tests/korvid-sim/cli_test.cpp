// korvid-sim as a user runs it: the default run, exit statuses and one-line
// errors, JSON that a JSON parser reads, traces with named registers, scripts
// and the real korvid.sys.
#include "tests/korvid-sim/sim_fixture.h"

#include "tools/korvid-sim/json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

bool have_python()
{
    return std::system("python3 -c 'pass' >/dev/null 2>&1") == 0;
}

// The JSON output read by Python's parser; `expr` is evaluated on it as `d`.
std::string json_field(const std::string& args, const std::string& expr)
{
    std::string pipe = "KSIM_EXPR=\"" + expr + "\" python3 -c " +
                       quote("import json,os,sys; d=json.load(sys.stdin); "
                             "print(eval(os.environ[\"KSIM_EXPR\"]))");
    Outcome r = run("--json " + args, pipe);
    EXPECT_EQ(r.err, "") << args;
    std::string s = r.out;
    while (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s;
}

size_t lines(const std::string& s)
{
    return size_t(std::count(s.begin(), s.end(), '\n'));
}

TEST(Cli, TheDefaultRunBootsSetsAModeAndExplainsIt)
{
    Outcome r = run("");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    for (const char* part : {"Boot: DriverEntry", "board 0: Halcyra(tm) 3D", "8 MiB SGRAM",
                             "235 modes", "1024x768x16@75", "What the board's registers and DAC",
                             "1312 pixels a line", "74.95 Hz", "korvid-sim help"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
}

TEST(Cli, BadInputExitsWithStatusTwoAndOneLine)
{
    for (const char* args : {"frob",
                             "--board 32",
                             "--board 0x20",
                             "--board x",
                             "--board",
                             "--frob",
                             "set",
                             "set 1024x768",
                             "set 1024x768x24",
                             "set 1024x768x16@61",
                             "set 999",
                             "script /nonexistent/script.txt",
                             "--driver /nonexistent.sys",
                             "--driver /etc/hostname",
                             "screenshot 640x480x8",
                             "screenshot 640x480x8 /nonexistent/x.png",
                             "screenshot 640x480x8 x.png --pattern zigzag",
                             "ioctl NO_SUCH_REQUEST",
                             "ioctl NOP",
                             "modes --bogus",
                             "audit 0x40",
                             "trace",
                             "trace audit",
                             "board 1",
                             "boards extra",
                             "compare",
                             "compare host",
                             "compare host /nonexistent.sys",
                             "compare /etc/hostname host",
                             "compare host host 0x40",
                             "compare host host --jobs 0",
                             "audit 0x13,",
                             "audit 0x13,0x40",
                             "audit 1,2,3,4,5,6,7",
                             "compare host host --machine"}) {
        Outcome r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(lines(r.err), 1u) << args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("korvid-sim: ", 0), 0u) << args << ": " << r.err;
    }
}

TEST(Cli, JsonOutputParses)
{
    if (!have_python())
        GTEST_SKIP() << "no python3 to parse with";
    std::string shot = temp_path("json.png");
    for (const std::string& args : std::vector<std::string>{
             "", "boards", "modes", "set 800x600x32", "state", "trace set 640x480x8", "audit 0x11",
             "ioctl GET_BOARD_NAME", "registry", "help", "--board 0x02 --board 0x13 boards",
             "screenshot 640x480x16 " + shot})
        EXPECT_EQ(json_field(args, "type(d).__name__"), "dict") << args;
    std::remove(shot.c_str());
}

TEST(Cli, SetReportsTheDecodedStateUnderTheIssuedNames)
{
    if (!have_python())
        GTEST_SKIP() << "no python3 to parse with";
    std::string fields = "' '.join(str(d[k]) for k in ('index','width','height','bpp','pitch',"
                         "'start_offset','h_total','v_total','pixel_clock_hz','refresh_hz',"
                         "'memory_clock_hz','pixel_format','sync'))";
    EXPECT_EQ(json_field("set 1024x768x16@75", fields),
              "49 1024 768 16 2048 0 1312 800 78671875 74.954 75525000 16 bpp RGB 5-6-5 "
              "+hsync +vsync");
    EXPECT_EQ(json_field("--board 1 set 1280x1024x32@60", "d['start_offset'], d['pitch']"),
              "(1024, 5120)");
}

TEST(Cli, ModesAndAuditUseTheIssuedFieldNames)
{
    if (!have_python())
        GTEST_SKIP() << "no python3 to parse with";
    EXPECT_EQ(
        json_field("modes --current 1024x768x8:wide", "d['count'], sorted(d['modes'][0].keys())"),
        "(74, ['bitmap_height', 'bpp', 'extra_height', 'extra_width', 'frequency', "
        "'height', 'index', 'pitch', 'start_offset', 'width'])");
    EXPECT_EQ(json_field("audit 0x00 0x11",
                         "[(c['code'], c['memory_type'], c['memory_bytes'], c['valid_rows'], "
                         "c['reported_all_virtual'], c['reported_single']) for c in d['configs']]"),
              "[(0, 'WRAM', 4194304, 279, 185, 65), (17, 'SGRAM', 8388608, 369, 235, 62)]");
}

TEST(Cli, TraceNamesTheDacRegistersItsIndexWritesReach)
{
    Outcome r = run("trace set 1024x768x16@75");
    EXPECT_EQ(r.status, 0);
    for (const char* note :
         {"DAC index low: select DAC 0x20 pixel clock VCO divider", "DAC 0x0A pixel format = 0x04",
          "DAC 0x21 pixel clock reference "
          "divider = 0x06",
          "display pitch (bytes)", "video memory cleared"})
        EXPECT_NE(r.out.find(note), std::string::npos) << note;
}

TEST(Cli, AScriptRunsOnOneMachineAndARebootKeepsTheRegistry)
{
    std::string script = temp_path("script.txt");
    std::ofstream(script) << "# the applet picks double wide; the miniport reads it at start\n"
                             "registry DoubleWide 1\n"
                             "reboot\n"
                             "ioctl PRIV_SET_VIRTUALS_FLAG 2   # and the display driver says so\n"
                             "set 1024x768x8@60\n"
                             "ioctl GET_TOTALS\n";
    Outcome r = run("script " + script);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("> reboot\n"), std::string::npos);
    EXPECT_NE(r.out.find("DoubleWide = 0x00000001"), std::string::npos);
    EXPECT_NE(r.out.find("1344 pixels a line, 806 lines a frame"), std::string::npos);

    // A selection the miniport refused changes nothing; one it took sends what
    // follows to that board (an index past the chain's end: the last board),
    // and korvid-sim says and decodes that board.
    std::ofstream(script) << "ioctl PRIV_SELECT_BOARD 7 in=2\nset 640x480x8@60\n"
                             "ioctl PRIV_SELECT_BOARD 7\nset 640x480x8@60\n";
    Outcome selected = run("--board 0x13 --board 0x00 script " + script);
    EXPECT_EQ(selected.status, 0) << selected.err;
    size_t first = selected.out.find("on board 0 with IOCTL_VIDEO_SET_CURRENT_MODE");
    size_t then = selected.out.find("Requests now go to board 1.");
    EXPECT_LT(first, then) << selected.out;
    size_t second = selected.out.find("on board 1 with IOCTL_VIDEO_SET_CURRENT_MODE", then);
    EXPECT_LT(second, selected.out.find("clearing all 4 MiB of video memory", second))
        << selected.out;

    std::ofstream(script) << "boards\n\nfrobnicate 3\n";
    Outcome bad = run("script " + script);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("script.txt:3: unknown command 'frobnicate'"), std::string::npos)
        << bad.err;
    std::remove(script.c_str());
}

TEST(Cli, TheRealKorvidSysGivesTheHostBuildsAnswers)
{
    auto sys = korvid_sys_path();
    if (!sys)
        GTEST_SKIP() << "no korvid.sys: configure with -DKORVID_CROSS_DIR";
    for (const char* args : {"--json set 1600x1200x16@70", "trace set 800x600x32:both",
                             "--board 0x02 --json modes --current 640x480x8"}) {
        Outcome host = run(args);
        Outcome real = run("--driver " + *sys + " " + args);
        EXPECT_EQ(real.status, 0) << real.err;
        EXPECT_EQ(real.out, host.out) << args;
    }
    EXPECT_NE(run("--driver " + *sys).out.find("runs korvid.sys from"), std::string::npos);
}

TEST(JsonWriter, EscapesStringsAndWritesNumbersAsJsonHasThem)
{
    ksim::Json j = ksim::Json::object()
                       .set("text", "a \"b\"\\\n\x01")
                       .set("hz", ksim::Json(59.9400, 3))
                       .set("whole", ksim::Json(2.0, 3))
                       .set("nan", ksim::Json(std::nan(""), 3))
                       .set("list", ksim::Json::array().push(1).push(true).push(nullptr));
    EXPECT_EQ(j.dump(0), "{\"text\": \"a \\\"b\\\"\\\\\\n\\u0001\", \"hz\": 59.94, \"whole\": 2, "
                         "\"nan\": null, \"list\": [1, true, null]}");
    EXPECT_EQ(ksim::Json::array().dump(), "[]");
}

} // namespace
