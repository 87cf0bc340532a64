#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS] [TARGET...]: fuzzes every target (or the ones named) for SECONDS each
# (default 60) in a clang tree where the whole code is instrumented (BF_FUZZ), one after the
# other, and prints per target: executions, coverage (cov = edges, ft = features, from
# libFuzzer's final stats), the corpus size and the crashes found.
#
# Inputs that reach new code are kept in $BF_FUZZ_TREE/corpus/NAME (seeded from
# tests/fuzz/corpus/NAME, never written back); crashes, leaks, timeouts and out-of-memory inputs
# go to $BF_FUZZ_TREE/findings/NAME, and the log of each run to $BF_FUZZ_TREE/fuzz-NAME.log.
# Once a finding is fixed, copy it into tests/fuzz/corpus/NAME so that every tree replays it.
# Exits 1 when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
tree=${BF_FUZZ_TREE:-build-fuzz}

scripts/deps.sh clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBF_FUZZ=ON -DBF_BUILD_BENCH=OFF >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for f in tests/fuzz/*.cpp; do
    name=$(basename "$f" .cpp)
    [ "$name" = replay_main ] || targets+=("$name")
  done
fi
cmake --build "$tree" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
export QT_QPA_PLATFORM=offscreen

summary=()
found=0
for name in "${targets[@]}"; do
  corpus=$tree/corpus/$name
  findings=$tree/findings/$name
  log=$tree/fuzz-$name.log
  mkdir -p "$corpus" "$findings"
  cp -n tests/fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null || true
  touch "$findings/.started"
  echo "== fuzz_$name for ${seconds} s"
  status=0
  "$tree/tests/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -rss_limit_mb=2560 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?

  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  # The last status line: "#N  DONE  cov: C ft: F corp: U/S ..." (or the last one before a crash).
  last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\)\/.*/\1/p' <<<"$last")
  crashes=$(find "$findings" -type f -newer "$findings/.started" \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) | wc -l)
  if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    found=1
    grep -m1 -E 'ERROR: |SUMMARY: |==[0-9]+==' "$log" || true
  fi
  summary+=("$(printf '%-20s execs %10s  cov %6s  ft %7s  corpus %5s  crashes %3s  (exit %s)' \
    "$name" "${execs:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$crashes" "$status")")
done

echo
echo "== Fuzzing, ${seconds} s per target"
printf '%s\n' "${summary[@]}"
exit "$found"
