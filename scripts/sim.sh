#!/usr/bin/env bash
# Builds korvid-sim (optimised, without sanitizers, in build/sim) and runs it;
# arguments go to korvid-sim. With none it boots the default machine (one
# board, configuration code 0x11: 8 MiB SGRAM) and explains what it does.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=${KORVID_JOBS:-$(nproc)}
log=build/sim/build.log
mkdir -p build/sim
if ! { cmake -S . -B build/sim -DCMAKE_BUILD_TYPE=Release -DKORVID_SANITIZE=OFF &&
       cmake --build build/sim --target korvid-sim -j"$jobs"; } >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  echo "sim: the build failed; the whole log is in $log" >&2
  exit 1
fi
exec build/sim/tools/korvid-sim/korvid-sim "$@"
