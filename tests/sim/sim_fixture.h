// A simulated machine booted with the host-built miniport (or korvid.sys),
// and the display driver's request sender for its first board.
#pragma once

#include "loader/host_driver.h"
#include "platform/videoport/system.h"
#include "display/miniport_client.h"
#include "loader/pe_loader.h"
#include "tests/support/build_paths.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

struct Booted {
    korvid_host::System system;
    sim::MiniportClient client;

    explicit Booted(uint32_t code, const korvid_host::DriverImage& driver = sim::host_miniport())
        : system(boards(code)), client(system, 0)
    {
        EXPECT_EQ(system.boot(driver), 0u);
    }

    static std::vector<sim::BoardSetup> boards(uint32_t code)
    {
        sim::BoardSetup s;
        s.config_code = code;
        return {s};
    }

    sim::Board& board() { return system.machine().board(0); }

    sim::ModeEntry set(const std::string& text)
    {
        std::string why;
        auto want = sim::parse_wanted_mode(text, &why);
        EXPECT_TRUE(want) << why;
        auto mode = want ? client.set_mode(*want, &why) : std::nullopt;
        EXPECT_TRUE(mode) << text << ": " << why;
        return mode.value_or(sim::ModeEntry{});
    }
};

// korvid.sys from the cross build, or nothing when this build has none.
inline std::optional<std::string> korvid_sys_path()
{
    std::string path = testing_support::cross_korvid_sys();
    if (path.empty() || !std::ifstream(path))
        return std::nullopt;
    return path;
}

inline std::string temp_path(const std::string& name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/korvid_sim_test_" + std::to_string(::getpid()) +
           "_" + name;
}

// korvid-sim as a user runs it.
struct Outcome {
    int status = -1;
    std::string out, err;
};

inline std::string slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string quote(const std::string& s)
{
    return "'" + s + "'";
}

// Runs korvid-sim through the shell; `pipe` post-processes its standard output.
inline Outcome run(const std::string& args, const std::string& pipe = "")
{
    std::string out = temp_path("out"), err = temp_path("err");
    std::string cmd = testing_support::korvid_sim_exe() + " " + args + " 2>" + quote(err) +
                      (pipe.empty() ? "" : " | " + pipe) + " >" + quote(out);
    int raw = std::system(cmd.c_str());
    Outcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}
