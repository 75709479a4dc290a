#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test; then builds the
# programs in Release (where gcc's flow-based warnings show); then the ThreadSanitizer tests; then the fuzz
# targets with clang, each fuzzed for its time.
# QSM_FUZZ_SCALE (default 1) scales the fuzzing times; QSM_SKIP_FUZZ=1 skips fuzzing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc)

echo "== Debug build with ASan and UBSan"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQSM_SANITIZE=ON -DQSM_WERROR=ON
cmake --build build/asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build/asan && ctest --output-on-failure -j "$jobs" --timeout 600)

echo "== Release build of the programs (gcc's flow-based warnings show only in optimised code)"
cmake -S . -B build/rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DQSM_TESTS=OFF -DQSM_BENCH=OFF -DQSM_WERROR=ON
cmake --build build/rel -j "$jobs" --target QSM2View npqsmw32

if [ "${QSM_SKIP_TSAN:-0}" != 1 ] && grep -rqs 'LABELS.*tsan' --include=CMakeLists.txt .; then
  echo "== ThreadSanitizer build of the threaded tests"
  cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQSM_TSAN=ON -DQSM_BENCH=OFF -DQSM_WERROR=ON
  cmake --build build/tsan -j "$jobs"
  (cd build/tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j "$jobs" -L tsan --timeout 600)
fi

if [ "${QSM_SKIP_FUZZ:-0}" != 1 ]; then
  echo "== Fuzzing"
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQSM_FUZZ=ON \
    -DQSM_TESTS=OFF -DQSM_BENCH=OFF -DQSM_WERROR=ON
  cmake --build build/fuzz -j "$jobs"
  scale=${QSM_FUZZ_SCALE:-1}
  pids=()
  names=()
  while read -r name seconds corpus; do
    [ -n "$name" ] || continue
    secs=$(( seconds * scale ))
    work=build/fuzz/corpus-$name
    mkdir -p "$work"
    seeds=()
    [ -n "$corpus" ] && [ -d "$corpus" ] && seeds=("$corpus")
    echo "fuzzing $name for ${secs}s"
    # A unit that runs half a minute under the fuzzing instrumentation hangs: the slowest seeds and the slowest
    # units found take 2-3 s, so a loaded machine stays well inside it.
    build/fuzz/fuzz/$name -max_total_time="$secs" -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 \
      -artifact_prefix="build/fuzz/$name-" "$work" "${seeds[@]}" >"build/fuzz/$name.log" 2>&1 &
    pids+=($!)
    names+=("$name")
  done < build/fuzz/fuzz-targets.txt
  failed=0
  for i in "${!pids[@]}"; do
    if ! wait "${pids[$i]}"; then
      echo "fuzz target ${names[$i]} found a fault:"
      tail -50 "build/fuzz/${names[$i]}.log"
      failed=1
    else
      grep -E 'stat::number_of_executed_units|Done' "build/fuzz/${names[$i]}.log" | tail -2 | sed "s/^/${names[$i]}: /"
    fi
  done
  [ "$failed" = 0 ]
fi
echo "== all tests passed"
