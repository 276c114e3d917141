# Sourced by the build scripts: the compiler cache for the host and fuzz
# builds, shared by every clone of the repository on this machine. Paths
# under the clone are hashed relative to it, so a fresh clone in a new folder
# finds the objects of an earlier build of the same sources. The images
# (build/cross) are built without it; scripts/reproducible.sh checks them.
KORVID_LAUNCHER=()
if command -v ccache >/dev/null && [ -z "${KORVID_NO_CCACHE:-}" ]; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  KORVID_LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
