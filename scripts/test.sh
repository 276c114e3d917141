#!/usr/bin/env bash
# Builds both configurations and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
# Files and libraries depend one way.
python3 scripts/check_layers.py
bash scripts/build.sh
# The same sources built again elsewhere give the same images.
bash scripts/reproducible.sh
ctest --test-dir build/host --output-on-failure -j"${KORVID_JOBS:-$(nproc)}" "$@"
# Each fuzz target for half a minute, after replaying its seeds (build/fuzz).
bash scripts/fuzz.sh "${KORVID_FUZZ_SECONDS:-30}"
