#!/usr/bin/env bash
# Runs a command inside a umockdev test bed with an emulated FTDI bridge and the simulated camera
# behind it, so that the window or bfk reaches the camera through libftdi1 and libusb, on the
# default camera selection "ftdi", as they would reach real hardware:
#
#   scripts/with-usb-bridge.sh build/app/BrindleFlash
#   scripts/with-usb-bridge.sh --chip ft232h --camera type=1 -- build/cli/bfk copy -o flash.bfk
#   scripts/with-usb-bridge.sh --bridges 2 -- build/cli/bfk devices
#
# Options of the emulated bridge (bf-usb-bridge --help) go before "--". The bridge program is
# build/sim/bf-usb-bridge (built here when missing), or $BF_USB_BRIDGE.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bridge="${BF_USB_BRIDGE:-$root/build/sim/bf-usb-bridge}"
if [ ! -x "$bridge" ]; then
  "$root/scripts/deps.sh"
  cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$root/build" --target bf_usb_bridge
fi
bridge_args=()
for arg in "$@"; do
  if [ "$arg" = "--" ]; then
    while [ "$1" != "--" ]; do
      bridge_args+=("$1")
      shift
    done
    shift
    break
  fi
done
if [ $# -eq 0 ]; then
  echo "usage: scripts/with-usb-bridge.sh [BRIDGE OPTIONS --] COMMAND [ARG...]" >&2
  exit 2
fi
# The emulated bridge is reached through the ftdi backend; a simulated camera chosen in the
# environment (scripts/run.sh chooses one) would bypass it.
case "${BRINDLEFLASH_CAMERA:-ftdi}" in
  ftdi | ftdi:*) ;;
  *) export BRINDLEFLASH_CAMERA=ftdi ;;
esac
exec umockdev-wrapper "$bridge" "${bridge_args[@]}" -- "$@"
