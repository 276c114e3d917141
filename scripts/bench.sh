#!/usr/bin/env bash
# Builds the benchmarks -m32 without sanitizers (build/bench) and runs them:
# the simulated device time of every mode set against its floor, then the
# host time of the mode-list queries, a mode set and a gamma ramp load.
# Arguments go to korvid_bench (e.g. --benchmark_filter=Query, --no-device-time).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

# Google Benchmark for i386: Debian ships it per architecture.
if [ ! -e /usr/lib/i386-linux-gnu/libbenchmark.so ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "bench: installing libbenchmark-dev:i386"
    export DEBIAN_FRONTEND=noninteractive
    { dpkg --add-architecture i386 && apt-get update >/dev/null &&
      apt-get install -y libbenchmark-dev:i386 >/dev/null; } ||
      echo "bench: could not install libbenchmark-dev:i386; using the built-in timing loop" >&2
  else
    echo "bench: no Google Benchmark for i386 (as root: apt-get install libbenchmark-dev:i386" \
         "after dpkg --add-architecture i386); using the built-in timing loop" >&2
  fi
fi

jobs=${KORVID_JOBS:-$(nproc)}
# Optimised like a release; GCC 12's -Wrestrict misfires on inlined
# std::string concatenation at -O2 and above (GCC bug 105329).
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DKORVID_SANITIZE=OFF -DKORVID_BENCH=ON \
      -DCMAKE_CXX_FLAGS=-Wno-restrict >/dev/null
cmake --build build/bench -j"$jobs" --target korvid_bench >/dev/null
exec build/bench/tests/bench/korvid_bench "$@"
