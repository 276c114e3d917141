#!/usr/bin/env bash
# Builds korvid-sim (optimised, without sanitizers, in build/sim) and runs it
# in the caller's directory; arguments go to korvid-sim. With none it boots the
# default machine (one board, configuration code 0x11: 8 MiB SGRAM) and
# explains what it does.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
jobs=${KORVID_JOBS:-$(nproc)}
build="$root/build/sim"
mkdir -p "$build"
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVID_SANITIZE=OFF &&
       cmake --build "$build" --target korvid-sim -j"$jobs"; } >"$build/build.log" 2>&1; then
  tail -n 30 "$build/build.log" >&2
  echo "sim: the build failed; the whole log is in $build/build.log" >&2
  exit 1
fi
exec "$build/tools/korvid-sim/korvid-sim" "$@"
