// The benchmark library: Google Benchmark where the i386 build of it is
// installed, the small timing loop otherwise.
#pragma once

#ifdef KORVID_TIMING_LOOP
#include "tests/bench/timing_loop.h"
#else
#include <benchmark/benchmark.h>
#endif

// The device-time report printed before the benchmarks.
void report_device_time();
