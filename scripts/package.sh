#!/usr/bin/env bash
# Builds the Debian package of Velquor with CPack; prints the package's path as
# its last line.
#   scripts/package.sh [-- CMAKE-OPTIONS...]   a Release build in build-pkg/ without
#                                              tests and benchmarks, then its package
#                                              (options: the built-in images, for
#                                              instance -DVQ_FIRMWARE_HEX=FILE)
#   scripts/package.sh --build-dir DIR         the package of an existing build as it
#                                              stands (the tests package theirs)
#   --out DIR                                  where the package goes (default
#                                              BUILD/package)
set -euo pipefail
usage="usage: scripts/package.sh [--build-dir DIR] [--out DIR] [-- CMAKE-OPTIONS...]"

# Folders given on the command line are the caller's, before the cd below.
build=""
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) [ $# -ge 2 ] || { echo "package.sh: --build-dir needs a folder" >&2; exit 2; }
                 build=$(readlink -m -- "$2"); shift 2 ;;
    --out)       [ $# -ge 2 ] || { echo "package.sh: --out needs a folder" >&2; exit 2; }
                 out=$(readlink -m -- "$2"); shift 2 ;;
    --)          shift; break ;;
    *)           echo "$usage" >&2; exit 2 ;;
  esac
done
if [ -n "$build" ] && [ $# -gt 0 ]; then
  echo "package.sh: CMake options configure build-pkg/, not an existing build" >&2
  exit 2
fi
cd "$(dirname "$0")/.."
own_build=0
if [ -z "$build" ]; then
  build=$PWD/build-pkg
  own_build=1
fi
out=${out:-$build/package}

if [ "$own_build" = 1 ]; then
  bash scripts/deps.sh
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVQ_BUILD_TESTS=OFF -DVQ_BUILD_BENCH=OFF "$@"
  cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)"
elif [ ! -f "$build/CPackConfig.cmake" ]; then
  echo "package.sh: $build is no configured build (no CPackConfig.cmake)" >&2
  exit 1
fi

mkdir -p "$out"
rm -f "$out"/velquor_*.deb
# cpack's own progress goes to the error stream: the last line of the output
# is the package alone.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >&2
shopt -s nullglob
debs=("$out"/velquor_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "package.sh: cpack made no package in $out" >&2
  exit 1
fi
readlink -f "${debs[0]}"
