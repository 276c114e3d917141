// korvid-sim's entry: the command line in, the result out, an exit status back.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ksim {

// `interactive`: a progress line may go to stderr when it is a terminal.
int run_cli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool interactive);

} // namespace ksim
