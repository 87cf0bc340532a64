#!/usr/bin/env bash
# Cross-builds the core, the simulated camera, bfk and their tests for 64-bit Windows with
# mingw-w64 and runs the tests under Wine. Debian has no mingw builds of libjpeg or GoogleTest:
# libjpeg-turbo is built from Debian's own source package, GoogleTest from /usr/src/googletest.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh --windows

jobs=$(nproc)
deps=$root/build-mingw-deps
prefix=$deps/prefix
if [ ! -f "$prefix/lib/libjpeg.a" ]; then
  mkdir -p "$deps"
  (cd "$deps" && apt-get source -qq --download-only libjpeg-turbo >/dev/null 2>&1)
  src=$(find "$deps" -maxdepth 1 -name 'libjpeg-turbo_*.orig.tar.gz' | head -1)
  [ -n "$src" ] || { echo "libjpeg-turbo sources could not be fetched" >&2; exit 1; }
  rm -rf "$deps/src" && mkdir -p "$deps/src" && tar xzf "$src" -C "$deps/src" --strip-components=1
  cmake -S "$deps/src" -B "$deps/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF \
    >/dev/null
  cmake --build "$deps/build" -j "$jobs" --target jpeg-static
  mkdir -p "$prefix/lib" "$prefix/include"
  cp "$deps/build/libjpeg.a" "$prefix/lib/"
  cp "$deps/src"/{jpeglib.h,jmorecfg.h,jerror.h} "$deps/build/jconfig.h" "$prefix/include/"
fi

export WINEDEBUG=-all
export WINEPREFIX=$root/build-mingw-wine
wineboot -i >/dev/null 2>&1 || true

echo "== Windows build (mingw-w64, tests under Wine) =="
cmake -S . -B build-mingw -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DBF_MINGW_DEPS_PREFIX="$prefix" \
  -DJPEG_INCLUDE_DIR="$prefix/include" -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" \
  -DBF_GTEST_SOURCE_DIR=/usr/src/googletest -DBF_BUILD_APP=OFF -DBF_BUILD_BENCH=OFF -DBF_VIDEO=OFF >/dev/null
cmake --build build-mingw -j "$jobs"
ctest --test-dir build-mingw --output-on-failure -j "$jobs"
