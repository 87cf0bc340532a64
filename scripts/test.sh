#!/usr/bin/env bash
# Installs every package any stage uses and checks that every program the stages and tests
# call comes from one of them (scripts/check-programs.sh); checks the formatting; then builds and
# runs the tests in three trees: an ordinary build with every test, a second tree under
# AddressSanitizer and UndefinedBehaviorSanitizer with every test, and a third under
# ThreadSanitizer with the tests of the folders that run threads; then the fault matrix, and last
# the Windows cross-build (mingw-w64) with its tests under Wine (scripts/windows-test.sh). GUI
# tests run offscreen. Prints the time of each stage at the end (also when a stage fails).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Qt's own libraries are not instrumented; their one-time allocations are not our leaks.
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
# The compiler cache: paths relative to the checkout and no working folder in the key, so that a
# second clone of the same sources (CI's) reuses what an earlier run compiled.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=1

timings=()
stage_name=""
stage_start=0
begin_stage() {
  end_stage
  stage_name=$1
  stage_start=$SECONDS
  echo "== $1 =="
}
end_stage() {
  if [ -n "$stage_name" ]; then
    local took=$((SECONDS - stage_start))
    timings+=("$(printf '%-44s %3d min %02d s' "$stage_name" $((took / 60)) $((took % 60)))")
  fi
  stage_name=""
}
report_timings() {
  local status=$?
  end_stage
  echo
  echo "== Stage times =="
  printf '%s\n' "${timings[@]}"
  [ "$status" -eq 0 ] || echo "FAILED in the last stage listed"
}
trap report_timings EXIT

# Every package of every stage first, the Windows ones included: a program that a test of the
# ordinary tree borrows from a later stage's package fails on a fresh machine, not here.
begin_stage "Packages and the programs the stages call"
scripts/deps.sh
scripts/check-programs.sh

begin_stage "Formatting (clang-format 14)"
format=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$format" ] || ! "$format" --version | grep -q 'version 14\.'; then
  echo "clang-format 14 is needed (scripts/deps.sh installs it)" >&2
  exit 1
fi
# Tracked and new files alike; build trees are ignored by git.
git ls-files -z --cached --others --exclude-standard -- '*.h' '*.cpp' |
  xargs -0 "$format" --dry-run --Werror

begin_stage "Ordinary build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
begin_stage "Ordinary tests"
ctest --test-dir build --output-on-failure -j "$jobs"

begin_stage "AddressSanitizer + UBSan build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBF_SANITIZE=ON -DBF_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
begin_stage "AddressSanitizer + UBSan tests"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The folders whose code or tests run more than one thread: the playback timer thread
# (recordings, and the window's player in app), the link thread, the link's backends and the
# simulated camera (link, live, golden, sim, flash's worker) and the shared host pieces. The
# flash fault sweeps repeat the same copy threads hundreds of times; they run in the other two
# trees, too slow under TSan.
tsan_folders=()
for folder in host link live sim recordings flash golden app; do
  [ -d "tests/$folder" ] && tsan_folders+=("$folder")
done
begin_stage "ThreadSanitizer build (${tsan_folders[*]})"
# Line tables are all a race report needs, and they build faster than full debug information.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG=-g1 \
  -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DBF_TSAN=ON -DBF_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target "${tsan_folders[@]/#/test_}"
begin_stage "ThreadSanitizer tests"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
  -L "^($(IFS='|'; echo "${tsan_folders[*]}"))\$" \
  -E "CopyFaultSweep"
end_stage
# Fault matrix over every camera flow (scripts/faults.sh), on the ordinary tree.
begin_stage "Fault matrix"
scripts/faults.sh build

# Windows: the core, the simulated camera, bfk and the stand-in FTD2XX.dll cross-built, and
# their tests run under Wine. The dependencies are set up once and kept for later runs.
begin_stage "Windows dependencies (mingw-w64, Wine, libjpeg)"
scripts/windows-test.sh deps
begin_stage "Windows build (mingw-w64)"
scripts/windows-test.sh build
begin_stage "Windows tests under Wine"
scripts/windows-test.sh test
end_stage
