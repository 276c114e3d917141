#include "tests/support/build_paths.h"

namespace testing_support {

std::string source_dir()
{
    return KORVID_SOURCE_DIR;
}

std::string cross_dir()
{
    return KORVID_CROSS_DIR;
}

std::string cross_korvid_sys()
{
    return cross_dir().empty() ? std::string() : cross_dir() + "/miniport/korvid.sys";
}

std::string applet_resources()
{
    return source_dir() + "/applet/QV_CPL.rc";
}

std::string korvid_sim_exe()
{
    return KORVID_SIM_EXE;
}

std::string windres()
{
    return KORVID_WINDRES;
}

} // namespace testing_support
