#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets (fuzz/corpus/<name>/) with the
# project's own writers: builds imagegen and seedgen in BUILD (default build/,
# configured when missing), makes an EDID and a short firmware file with
# imagegen and lets seedgen write every corpus from them. Existing seeds of the
# same names are replaced; other files in the corpora are left alone.
#   fuzz/make_seeds.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target vq_imagegen vq_fuzz_seedgen -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bin/imagegen" edid "$tmp/edid.bin"
"$build/bin/imagegen" hex "$tmp/standin.h86" 24
for t in conf dump firm ddc mak frame converter zs_frame cli; do mkdir -p "fuzz/corpus/$t"; done
"$build/fuzz/seedgen" fuzz/corpus "$tmp/edid.bin" "$tmp/standin.h86"
du -sh fuzz/corpus
