#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build/fuzz), replays each target's
# seed corpus and committed regression inputs, then fuzzes each target for
# SECONDS (default 30). Fails when a target reports a crash, a sanitizer error
# or a broken invariant; the input that did it is left in build/fuzz/findings.
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
cmake -S . -B build/fuzz "${KORVID_LAUNCHER[@]}" -DKORVID_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O2 >/dev/null
cmake --build build/fuzz -j"$jobs"

findings=build/fuzz/findings
mkdir -p "$findings"
# One target: its seeds and regression inputs replayed, then fuzzing.
fuzz_target() {
  local target=$1 bin=build/fuzz/tests/fuzz/${1}_fuzzer seeds=tests/fuzz/corpus/$1
  [ -x "$bin" ] && [ -d "$seeds" ] || return 0
  local replay=("$seeds"/*)
  [ -d "tests/fuzz/regressions/$target" ] && replay+=("tests/fuzz/regressions/$target"/*)
  echo "fuzz: $target: replaying ${#replay[@]} inputs"
  "$bin" "${replay[@]}" 2>"$findings/$target-replay.log" ||
    { tail -n 40 "$findings/$target-replay.log"; return 1; }

  # The working corpus grows from run to run; the seeds stay as committed.
  local work=build/fuzz/corpus/$target
  mkdir -p "$work"
  echo "fuzz: $target: fuzzing for ${seconds}s with $workers process(es)"
  local options=(-max_total_time="$seconds" -timeout=60 -print_final_stats=1
                 -artifact_prefix="$findings/$target-")
  [ "$workers" -gt 1 ] && options+=(-fork="$workers")
  "$bin" "${options[@]}" "$work" "$seeds" 2>"$findings/$target.log" ||
    { tail -n 60 "$findings/$target.log"; return 1; }
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)|requests sent|sheets opened|cycles' \
       "$findings/$target.log" | sed "s/^/fuzz: $target: /" || true
}

# The targets run side by side, one a processor.
pids=()
for target in request applet; do
  fuzz_target "$target" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do
  wait "$pid" || status=1
done
exit $status
