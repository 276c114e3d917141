#!/usr/bin/env bash
# Builds the simulation and runs korvid-sim on its default machine
# (one board, configuration code 0x11: 8 MiB SGRAM). Arguments go to korvid-sim.
set -euo pipefail
cd "$(dirname "$0")/.."
KORVID_TARGETS=korvid-sim bash scripts/build.sh >/dev/null
exec build/host/tools/korvid-sim/korvid-sim "$@"
