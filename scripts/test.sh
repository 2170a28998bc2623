#!/usr/bin/env bash
# Builds halvane and runs every test: the release build with its tests, the
# sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) with the same
# tests, and each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test

export QT_QPA_PLATFORM=offscreen
jobs=2

echo "== Release build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs" --timeout 600)

echo "== Sanitizer build (clang, ASan + UBSan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DHALVANE_SANITIZE=ON -DHALVANE_FUZZ=ON -DHALVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 1200)

echo "== Fuzzing"
bash scripts/run_fuzzers.sh build-asan/bin "${HALVANE_FUZZ_SECONDS:-20}"
