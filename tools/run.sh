#!/usr/bin/env bash
# Installs the dependencies, builds a release build and starts the viewer QSM2View. Arguments are passed on
# to it; without any it starts on its Welcome dialog, where the built-in sample songs can be opened.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc)" --target QSM2View
viewer=build/release/viewer/QSM2View
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: QSM2View needs one to show its window; to print a score to PDF instead run:" \
       "$viewer /xprint testdata/layout/piano.qsmtxt"
  exit 0
fi
exec "$viewer" "$@"
