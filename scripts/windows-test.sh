#!/usr/bin/env bash
# Cross-builds the core, the simulated camera, bfk, the stand-in FTD2XX.dll and their tests for
# 64-bit Windows with mingw-w64 (tree build-mingw) and runs the tests under Wine. Debian has no
# mingw builds of libjpeg or GoogleTest: libjpeg-turbo is built from Debian's own source package
# (once; build-mingw-deps is kept for the next run), GoogleTest from /usr/src/googletest.
#
#   scripts/windows-test.sh [deps|build|test|all]    (default all; scripts/test.sh runs the
#                                                     three steps as stages of their own)
# Runs headless: Wine needs no display for console programs, and none is used.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
step=${1:-all}
case "$step" in
  deps | build | test | all) ;;
  *)
    echo "usage: scripts/windows-test.sh [deps|build|test|all]" >&2
    exit 2
    ;;
esac

jobs=$(nproc)
deps=$root/build-mingw-deps
prefix=$deps/prefix

# Wine for the tests (and for bfk.exe, which writes headers.dat while the tree builds): its own
# prefix in the checkout, no debug output, no display, and no offer to download Mono or Gecko
# (nothing here needs .NET or HTML, and a first run must not wait for a dialog).
export WINEDEBUG=-all
export WINEPREFIX=$root/build-mingw-wine
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if command -v ccache >/dev/null; then export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}; fi

# One Wine session for the whole step, kept up between the programs: when it is left to stop by
# itself, a program starting while it shuts down fails ("wine client error ... Connection reset
# by peer"). Wine's own background processes (services, device drivers) are started here with
# nothing to inherit: started by the first test instead, they would keep that test's output
# pipe open, and ctest would wait for it forever.
held=0
hold_wineserver() {
  [ $held -eq 0 ] || return 0
  wineserver -w  # a server that is stopping by itself goes first
  wineserver -p
  held=1
  trap 'wineserver -k 2>/dev/null || true' EXIT
  wineboot </dev/null >/dev/null 2>&1
}

install_deps() {
  scripts/deps.sh --windows
  if [ ! -f "$prefix/lib/libjpeg.a" ]; then
    echo "Building libjpeg-turbo for mingw-w64 from Debian's source package"
    mkdir -p "$deps"
    fetched=$(cd "$deps" && apt-get source -qq --download-only libjpeg-turbo 2>&1) || true
    src=$(find "$deps" -maxdepth 1 -name 'libjpeg-turbo_*.orig.tar.gz' | head -1)
    [ -n "$src" ] || {
      echo "libjpeg-turbo sources could not be fetched (apt-get source libjpeg-turbo):" >&2
      echo "$fetched" >&2
      exit 1
    }
    rm -rf "$deps/src" "$deps/build" && mkdir -p "$deps/src"
    tar xzf "$src" -C "$deps/src" --strip-components=1
    cmake -S "$deps/src" -B "$deps/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF \
      >/dev/null
    cmake --build "$deps/build" -j "$jobs" --target jpeg-static
    mkdir -p "$prefix/lib" "$prefix/include"
    cp "$deps/src"/{jpeglib.h,jmorecfg.h,jerror.h} "$deps/build/jconfig.h" "$prefix/include/"
    # Last, so that an interrupted build is not taken for a finished one next time.
    cp "$deps/build/libjpeg.a" "$prefix/lib/"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w  # until wineboot's work is written out
    [ -f "$WINEPREFIX/system.reg" ] || {
      echo "wineboot did not create the Wine prefix $WINEPREFIX" >&2
      exit 1
    }
  fi
}

build_tree() {
  echo "== Windows build (mingw-w64) =="
  hold_wineserver  # bfk.exe writes headers.dat during the build
  # -O1 without debug information: the tree exists to run the tests under Wine, where no
  # debugger is used, and it builds in half the time of -O2 -g.
  cmake -S . -B build-mingw -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-O1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DBF_MINGW_DEPS_PREFIX="$prefix" \
    -DJPEG_INCLUDE_DIR="$prefix/include" -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" \
    -DBF_GTEST_SOURCE_DIR=/usr/src/googletest -DBF_BUILD_APP=OFF -DBF_BUILD_BENCH=OFF \
    -DBF_VIDEO=OFF >/dev/null
  cmake --build build-mingw -j "$jobs"
}

run_tests() {
  echo "== Windows tests under Wine =="
  hold_wineserver
  ctest --test-dir build-mingw --output-on-failure -j "$jobs"
}

case "$step" in
  deps) install_deps ;;
  build) build_tree ;;
  test) run_tests ;;
  all)
    install_deps
    build_tree
    run_tests
    ;;
esac
