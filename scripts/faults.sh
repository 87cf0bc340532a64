#!/usr/bin/env bash
# Runs the whole fault matrix (every device call of each camera flow under every fault mode of
# the simulated camera) and prints, per flow: faults injected, survived, wrong successes, bytes
# lost. Builds ./build first (configuring it when it is not yet), or the tree given as $1.
# Exits non-zero when an oracle broke that is not one of the open defects the tests list.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${1:-build}
if [ ! -f "$tree/build.ninja" ]; then
  cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$tree" --target test_faults -j "$(nproc)" >/dev/null

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
BF_FAULT_MATRIX=full "$tree/tests/test_faults" >"$log" 2>&1 || status=$?

printf '%-22s %8s %8s %8s %15s %10s %12s\n' flow calls injected survived wrong_successes bytes_lost undetectable
grep '^faultmatrix:' "$log" | sed 's/^faultmatrix: *//; s/[a-z_]*=//g' |
  while read -r flow calls sampled injected survived wrong lost flips; do
    shown=$calls
    [ "$sampled" != "$calls" ] && shown="$sampled/$calls"
    printf '%-22s %8s %8s %8s %15s %10s %12s\n' "$flow" "$shown" "$injected" "$survived" "$wrong" \
      "$lost" "$flips"
  done
echo "(undetectable: a flipped bit in bytes no check covers; the link has no checksum)"
known=$(grep -c '^known defect:' "$log" || true)
if [ "$known" != 0 ]; then
  echo "open defects ($known runs):"
  grep '^known defect:' "$log" | sed 's/^known defect: /  /'
fi
if [ "$status" != 0 ]; then
  grep -E 'Failure|Failed|FAILED|ERROR|Sanitizer' -A2 "$log" | head -60
  echo "fault matrix: FAILED"
fi
exit "$status"
