#!/usr/bin/env bash
# The main job: builds Velquor and shows it at work. With no monitor attached
# it runs against the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DVQ_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$jobs"

# Until the program lands, the demo is the platform layers' own check.
ctest --test-dir build --output-on-failure -R 'Serial|Loop'
