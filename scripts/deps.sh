#!/usr/bin/env bash
# Installs, with apt-get, whatever BrindleFlash needs to build and test that is missing.
# Extra package names given as arguments are installed too (scripts/fuzz.sh asks for clang);
# --windows adds the Windows cross-build (scripts/windows-test.sh).
set -euo pipefail

# --windows first: what the mingw-w64 cross-build and its Wine test run need as well.
windows=0
if [ "${1:-}" = "--windows" ]; then
  windows=1
  shift
fi

packages=(
  cmake ninja-build pkg-config g++ git
  qt6-base-dev libgl-dev qt6-translations-l10n
  libftdi1-dev libjpeg62-turbo-dev libturbojpeg0-dev
  umockdev libumockdev-dev  # the emulated FTDI bridge of the usb tests and scripts/with-usb-bridge.sh
  libgtest-dev libgmock-dev libbenchmark-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg dpkg-dev
  binutils-mingw-w64-x86-64  # windres: the tests compile the Windows version resource
  tzdata
  clang-format
  "$@"
)
if [ $windows -eq 1 ]; then
  packages+=(g++-mingw-w64-x86-64 wine64 wine googletest)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
need_sources=0
# A commented-out deb-src line does not count.
if [ $windows -eq 1 ] && ! grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
  /etc/apt/sources.list /etc/apt/sources.list.d/; then
  need_sources=1
fi
[ ${#missing[@]} -eq 0 ] && [ $need_sources -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
if [ $need_sources -eq 1 ]; then
  # The Windows build compiles libjpeg-turbo from Debian's source package.
  echo "Adding Debian source packages to apt's sources"
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/brindleflash-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  "${sudo_cmd[@]}" apt-get update -qq
fi
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
