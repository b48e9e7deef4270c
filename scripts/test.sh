#!/usr/bin/env bash
# Builds Kinovela from scratch and runs every test: once in a normal build
# (warnings are errors), once more with AddressSanitizer and
# UndefinedBehaviorSanitizer under clang, which also builds the fuzz targets
# and replays their seed corpora. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

main=build/test
rm -rf "$main"
cmake -S . -B "$main" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKINOVELA_WERROR=ON
cmake --build "$main" -j "$jobs"
(cd "$main" && ctest --output-on-failure -j "$jobs")

sanitize=build/sanitize
rm -rf "$sanitize"
CC=clang-14 CXX=clang++-14 cmake -S . -B "$sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKINOVELA_WERROR=ON -DKINOVELA_SANITIZE=address,undefined -DKINOVELA_FUZZ=ON -DKINOVELA_BENCH=OFF
cmake --build "$sanitize" -j "$jobs"
(cd "$sanitize" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j "$jobs")

echo "All tests passed."
