// korvid-sim as its user runs it, and the machines its tests compare it with.
#pragma once

#include "loader/host_driver.h"
#include "platform/videoport/system.h"
#include "display/miniport_client.h"
#include "loader/pe_loader.h"
#include "tests/support/build_paths.h"
#include "tests/support/drivers.h"
#include "tests/support/machines.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using testing_support::Booted;
using testing_support::temp_path;

// korvid-sim as a user runs it.
struct Outcome {
    int status = -1;
    std::string out, err;
};

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
    r.out = testing_support::file_text(out);
    r.err = testing_support::file_text(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}
