// A simulated machine booted with the host-built miniport (or korvid.sys),
// and the display driver's request sender for its first board.
#pragma once

#include "sim/host_driver.h"
#include "sim/machine.h"
#include "sim/miniport_client.h"
#include "sim/pe_loader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

struct Booted {
    sim::Machine machine;
    sim::MiniportClient client;

    explicit Booted(uint32_t code, const sim::DriverImage& driver = sim::host_miniport())
        : machine(boards(code)), client(machine, 0)
    {
        EXPECT_EQ(machine.boot(driver), 0u);
    }

    static std::vector<sim::BoardSetup> boards(uint32_t code)
    {
        sim::BoardSetup s;
        s.config_code = code;
        return {s};
    }

    sim::Board& board() { return machine.board(0); }

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
    std::string dir = KORVID_CROSS_DIR;
    std::string path = dir + "/miniport/korvid.sys";
    if (dir.empty() || !std::ifstream(path))
        return std::nullopt;
    return path;
}

inline std::string temp_path(const std::string& name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/korvid_sim_test_" + std::to_string(::getpid()) +
           "_" + name;
}
