#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them; pass a name filter to run some only.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)"
for b in build/release/bench/*; do
  [ -x "$b" ] && [ -f "$b" ] || continue
  case "$(basename "$b")" in *${1:-}*) "$b" ;; esac
done
