// First the simulated device time of every mode set against its floor, then
// the host time of the requests (Google Benchmark's table).
#include "tests/bench/bench.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // --no-device-time leaves the report out (it sets every mode of 24 boards).
    bool device_time = true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--no-device-time") == 0) {
            device_time = false;
            argv[i--] = argv[--argc];
        }
    if (device_time)
        report_device_time();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
