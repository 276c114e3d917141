// korvid-sim: boots the simulated machine with the miniport, plays the
// display driver's part and shows, in plain terms, what the boards do.
#include "tools/korvid-sim/cli.h"

#include <cstdio>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return ksim::run_cli(args, stdout, stderr, true);
}
