#!/usr/bin/env bash
# Builds and runs every test twice: an ordinary build, then a second tree under
# AddressSanitizer and UndefinedBehaviorSanitizer. GUI tests run offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Qt's own libraries are not instrumented; their one-time allocations are not our leaks.
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp

echo "== Ordinary build =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBF_SANITIZE=ON -DBF_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

# Fault matrix over every camera flow (scripts/faults.sh), on the ordinary tree.
scripts/faults.sh build
