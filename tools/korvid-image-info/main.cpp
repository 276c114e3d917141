// Prints a driver image's size and imports as the simulation would load it,
// or why it would refuse it (exit status 1).
#include "loader/pe_loader.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DRIVER.sys\n", argv[0]);
        return 2;
    }
    std::string why;
    auto image = sim::PeImage::load_file(argv[1], &why);
    if (!image) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    std::printf("%s: %s", argv[1], sim::describe(*image).c_str());
    return 0;
}
