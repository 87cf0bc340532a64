#!/usr/bin/env bash
# Installs, with apt-get, every package that any stage of scripts/test.sh uses and that is
# missing: the Linux trees, the tests' tools and the Windows cross-build with Wine, all before
# the first stage. Extra package names given as arguments are installed too (scripts/fuzz.sh
# asks for clang). `scripts/deps.sh --list` prints the names and installs nothing
# (scripts/check-programs.sh reads them). --windows is still accepted and changes nothing.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++ git ccache
  qt6-base-dev libgl-dev qt6-translations-l10n
  libftdi1-dev libjpeg62-turbo-dev libturbojpeg0-dev
  libssl-dev  # SHA-256 (libcrypto) of copied recordings
  umockdev libumockdev-dev  # the emulated FTDI bridge of the usb tests and scripts/with-usb-bridge.sh
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev  # bfk's command-line parsing (header-only)
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg dpkg-dev
  tzdata
  clang-format-14
  # The version resource test of the ordinary tree runs windres, and windres preprocesses with
  # the mingw C compiler; the Windows stages need the rest.
  binutils-mingw-w64-x86-64 gcc-mingw-w64-x86-64 g++-mingw-w64-x86-64
  wine64 wine googletest
)

if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi
[ "${1:-}" = "--windows" ] && shift
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
need_sources=0
# The Windows build compiles libjpeg-turbo from Debian's source package; a commented-out
# deb-src line does not count.
if ! grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
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
  echo "Adding Debian source packages to apt's sources"
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/brindleflash-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
