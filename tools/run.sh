#!/usr/bin/env bash
# Installs the dependencies, builds a release build and starts the main program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc)"
if [ -x build/release/viewer/QSM2View ]; then
  exec build/release/viewer/QSM2View "$@"
fi
# Until the viewer exists the main job is the test programs.
cd build/release && ctest --output-on-failure -j "$(nproc)" -LE bench-smoke
