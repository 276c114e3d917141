// Where the tests find what the build made beside them: the sources, the
// cross build's images, korvid-sim, the resource compiler. One file holds
// these paths, so that no other test object depends on where the tree or
// the build folder lies (the compiler cache shares them between clones).
#pragma once

#include <string>

namespace testing_support {

// The repository's root folder.
std::string source_dir();
// The cross build folder (empty when the host build was configured without one).
std::string cross_dir();
// The cross-built korvid.sys, or empty when there is no cross build.
std::string cross_korvid_sys();
// The applet's resource script as the host build reads it.
std::string applet_resources();
// korvid-sim of this build.
std::string korvid_sim_exe();
// The resource compiler of the real build (empty when this machine has none).
std::string windres();
// What a file holds (empty when it cannot be read).
std::string file_text(const std::string& path);
// A file of this test process alone (the suites run side by side), removed
// when the process ends.
std::string temp_path(const std::string& name);

} // namespace testing_support
