#include "tests/support/build_paths.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

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

std::string file_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string temp_path(const std::string& name)
{
    struct Files {
        std::vector<std::string> paths;
        ~Files()
        {
            for (auto& p : paths)
                std::remove(p.c_str());
        }
    };
    static Files files;
    const char* dir = std::getenv("TMPDIR");
    std::string path =
        std::string(dir ? dir : "/tmp") + "/korvid-test-" + std::to_string(getpid()) + "-" + name;
    files.paths.push_back(path);
    return path;
}

} // namespace testing_support
