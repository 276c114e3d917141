#!/usr/bin/env bash
# Installs the Debian packages the project builds with (when run as root),
# or says which apt-get line to run.
set -euo pipefail

# A cross tool can be gone while its package stays installed (its link in
# /usr/bin removed): the alternatives are set again and the binutils put back.
if [ "$(id -u)" -eq 0 ]; then
  for tool in gcc g++; do
    i686-w64-mingw32-$tool --version >/dev/null 2>&1 ||
      update-alternatives --auto i686-w64-mingw32-$tool >/dev/null 2>&1 || true
  done
  if ! i686-w64-mingw32-ar --version >/dev/null 2>&1 && dpkg -s binutils-mingw-w64-i686 >/dev/null 2>&1; then
    echo "deps: reinstalling binutils-mingw-w64-i686 (its tools are missing)"
    apt-get install -y --reinstall binutils-mingw-w64-i686 >/dev/null
  fi
fi

need=()
command -v cmake >/dev/null || need+=(cmake)
i686-w64-mingw32-g++ --version >/dev/null 2>&1 || need+=(g++-mingw-w64-i686)
i686-w64-mingw32-ar --version >/dev/null 2>&1 || need+=(binutils-mingw-w64-i686)
[ -e /usr/lib/gcc/x86_64-linux-gnu/12/32/libstdc++.so ] || need+=(g++-multilib)
[ -d /usr/src/googletest ] || need+=(googletest)
[ -e /usr/include/stb/stb_image_write.h ] || need+=(libstb-dev)
[ -e /usr/include/png.h ] || need+=(libpng-dev)
command -v clang++ >/dev/null || need+=(clang)
command -v ccache >/dev/null || need+=(ccache)
[ -n "${KORVID_EXTRA_PACKAGES:-}" ] && need+=(${KORVID_EXTRA_PACKAGES})

# The Wine test of the real applet runs when these can be had, else is skipped.
bash "$(dirname "$0")/wine_deps.sh" || echo "deps: without Wine the Wine test is skipped" >&2

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -eq 0 ]; then
  echo "deps: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y "${need[@]}" >/dev/null || { apt-get update >/dev/null && apt-get install -y "${need[@]}" >/dev/null; }
else
  echo "deps: missing packages; run: sudo apt-get install -y ${need[*]}" >&2
  exit 1
fi
