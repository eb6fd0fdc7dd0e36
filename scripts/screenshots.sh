#!/usr/bin/env bash
# Renders the screenshots of docs/: every view of the main window in English
# and German, drawn by the window layer's Qt backend on the offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build >/dev/null
cmake --build build -j"$jobs" --target test_velquor_qt
mkdir -p docs
QT_QPA_PLATFORM=offscreen VQ_SHOTS_DIR="$PWD/docs" build/tests/test_velquor_qt
ls docs/view-*.png
