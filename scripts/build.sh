#!/usr/bin/env bash
# Configures and builds both configurations: the real Windows binaries
# (build/cross) and the host simulation with its tests (build/host).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=${KORVID_JOBS:-$(nproc)}
cmake -S . -B build/cross -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/cross -j"$jobs"
# The images as delivered: their checksums identify the commit's build.
(cd build/cross && sha256sum miniport/korvid.sys applet/QV_CPL.cpl)
source scripts/ccache.sh
cmake -S . -B build/host "${KORVID_LAUNCHER[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
      -DKORVID_CROSS_DIR="$PWD/build/cross" >/dev/null
cmake --build build/host -j"$jobs" ${KORVID_TARGETS:+--target $KORVID_TARGETS}
