#!/usr/bin/env bash
# Installs, with apt-get, whatever BrindleFlash needs to build and test that is missing.
# Extra package names given as arguments are installed too (scripts/fuzz.sh asks for clang).
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++ git
  qt6-base-dev libgl-dev qt6-translations-l10n
  libftdi1-dev libjpeg62-turbo-dev libturbojpeg0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg dpkg-dev
  binutils-mingw-w64-x86-64  # windres: the tests compile the Windows version resource
  tzdata
  clang-format
  "$@"
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
