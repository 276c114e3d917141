#!/usr/bin/env bash
# One fuzz target as a test of the fuzz build: its seed corpus and committed
# regression inputs replayed, then SECONDS of fuzzing from a working corpus
# that grows from run to run (the seeds stay as committed). Fails when the
# target reports a crash, a sanitizer error or a broken invariant; the input
# that did it is left in FINDINGS.
#
#   run_fuzz_target.sh BINARY SOURCE_DIR WORK_DIR SECONDS [WORKERS]
set -euo pipefail
bin=$1 source=$2 work=$3 seconds=$4 workers=${5:-1}
target=$(basename "$bin" _fuzzer)
seeds=$source/tests/fuzz/corpus/$target
findings=$work/findings
mkdir -p "$findings" "$work/corpus/$target"

replay=("$seeds"/*)
[ -d "$source/tests/fuzz/regressions/$target" ] && replay+=("$source/tests/fuzz/regressions/$target"/*)
echo "fuzz: $target: replaying ${#replay[@]} inputs"
"$bin" "${replay[@]}" 2>"$findings/$target-replay.log" ||
  { tail -n 40 "$findings/$target-replay.log"; exit 1; }

echo "fuzz: $target: fuzzing for ${seconds}s with $workers process(es)"
options=(-max_total_time="$seconds" -timeout=60 -print_final_stats=1
         -artifact_prefix="$findings/$target-")
[ "$workers" -gt 1 ] && options+=(-fork="$workers")
"$bin" "${options[@]}" "$work/corpus/$target" "$seeds" 2>"$findings/$target.log" ||
  { tail -n 60 "$findings/$target.log"; exit 1; }
