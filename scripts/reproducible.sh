#!/usr/bin/env bash
# Builds korvid.sys and QV_CPL.cpl a second time from a copy of these sources
# in another folder, later, without ccache, and fails unless both images are
# byte for byte those of build/cross (run scripts/build.sh first).
set -euo pipefail
cd "$(dirname "$0")/.."
images=(miniport/korvid.sys applet/QV_CPL.cpl)
for image in "${images[@]}"; do
  [ -f "build/cross/$image" ] || { echo "reproducible: build/cross/$image is missing" >&2; exit 1; }
done

copy=$(mktemp -d /tmp/korvid-again.XXXXXX)
trap 'rm -rf "$copy"' EXIT
# The files of this commit plus any not yet committed, nothing built.
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - -cf - | tar -xf - -C "$copy"
(
  cd "$copy"
  unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
  export CCACHE_DISABLE=1
  cmake -S . -B out -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build out -j"${KORVID_JOBS:-$(nproc)}" --target korvid QV_CPL >/dev/null
)

status=0
for image in "${images[@]}"; do
  first=$(sha256sum <"build/cross/$image" | cut -d' ' -f1)
  second=$(sha256sum <"$copy/out/$image" | cut -d' ' -f1)
  if [ "$first" = "$second" ]; then
    echo "reproducible: $image $first in both builds"
  else
    echo "reproducible: $image differs: $first here, $second from $copy" >&2
    cmp -l "build/cross/$image" "$copy/out/$image" | head -5 >&2 || true
    status=1
  fi
done
exit $status
