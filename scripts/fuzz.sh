#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build/fuzz) and runs them as the
# fuzz build's tests (label fuzz), side by side: each replays its seed corpus
# and committed regression inputs, then fuzzes for SECONDS (default 30).
# Fails when a target reports a crash, a sanitizer error or a broken
# invariant; the input that did it is left in build/fuzz/findings.
#
#   scripts/fuzz.sh [SECONDS]
#   KORVID_FUZZ_WORKERS=N   fuzz each target with N processes (default 1)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
workers=${KORVID_FUZZ_WORKERS:-1}
bash scripts/deps.sh
jobs=${KORVID_JOBS:-$(nproc)}
source scripts/ccache.sh
cmake -S . -B build/fuzz "${KORVID_LAUNCHER[@]}" -DKORVID_FUZZ=ON -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O2 \
      -DKORVID_FUZZ_SECONDS="$seconds" -DKORVID_FUZZ_WORKERS="$workers" >/dev/null
cmake --build build/fuzz -j"$jobs"
ctest --test-dir build/fuzz -L fuzz -j"$jobs" --output-on-failure
# What each target did.
for log in build/fuzz/findings/{request,applet}.log; do
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)|requests sent|sheets opened|cycles' \
       "$log" | sed "s/^/fuzz: $(basename "$log" .log): /" || true
done
