#!/usr/bin/env bash
# Builds both configurations and runs every test; says how long each part took.
set -euo pipefail
cd "$(dirname "$0")/.."
phase() { # phase NAME COMMAND...
  local name=$1 began=$SECONDS
  shift
  "$@"
  echo "test: $name took $((SECONDS - began)) s"
}
# Files and libraries depend one way.
phase layers python3 scripts/check_layers.py
phase build bash scripts/build.sh
# The same sources built again elsewhere give the same images.
phase reproducible bash scripts/reproducible.sh
phase ctest ctest --test-dir build/host --output-on-failure -j"${KORVID_JOBS:-$(nproc)}" "$@"
# Each fuzz target for half a minute, after replaying its seeds (build/fuzz).
phase fuzz bash scripts/fuzz.sh "${KORVID_FUZZ_SECONDS:-30}"
echo "test: everything took $SECONDS s"
