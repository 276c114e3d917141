#!/usr/bin/env bash
# Installs what the Wine test of the real applet needs (Wine with its 32-bit
# part, Xvfb, xdotool, ImageMagick) when run as root; otherwise says which
# lines to run. Exits 0 when everything is there.
set -uo pipefail

have_all() {
  command -v wine >/dev/null && [ -x /usr/lib/wine/wine ] && command -v Xvfb >/dev/null &&
    command -v xdotool >/dev/null && command -v import >/dev/null
}

have_all && exit 0
packages=(wine wine32:i386 xvfb xdotool imagemagick)
if [ "$(id -u)" -ne 0 ]; then
  echo "wine_deps: missing; run: sudo dpkg --add-architecture i386 && sudo apt-get update &&" \
       "sudo apt-get install -y ${packages[*]}" >&2
  exit 1
fi
echo "wine_deps: installing ${packages[*]}"
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update >/dev/null &&
  apt-get install -y "${packages[@]}" >/dev/null ||
  echo "wine_deps: apt-get failed" >&2
have_all
