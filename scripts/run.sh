#!/usr/bin/env bash
# Builds BrindleFlash and starts it on the simulated camera. Extra arguments go to the program
# (a recording file to open, for example). BRINDLEFLASH_CAMERA may be set to choose another
# camera (ftdi, ftdi:1, d2xx, sim:key=value,...).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target BrindleFlash headers_dat bfk
export BRINDLEFLASH_CAMERA="${BRINDLEFLASH_CAMERA:-sim}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting offscreen (set DISPLAY to see the window)." >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec build/app/BrindleFlash "$@"
