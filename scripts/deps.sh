#!/usr/bin/env bash
# Installs, with apt-get, whatever BrindleFlash needs to build and test that is missing.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++ git
  qt6-base-dev libgl-dev
  libftdi1-dev libjpeg62-turbo-dev libturbojpeg0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  tzdata
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
