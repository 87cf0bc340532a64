#!/usr/bin/env bash
# Builds the .deb with cpack, unpacks it into a staging folder as dpkg would install it, and
# runs the installed programs from there: bfk on a sample recording, and the window offscreen
# opening that recording. Usage: deb_install_test.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work/stage" "$work/home" "$work/run"

cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/brindleflash_*.deb)
echo "package: $(basename "$deb")"

# Dependencies were computed from the programs' libraries.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libftdi1 libturbojpeg libavformat libavcodec libswscale; do
  grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib"; exit 1; }
done
[ "$(dpkg-deb -f "$deb" Version)" = 1.1.3.183 ] || { echo "wrong version"; exit 1; }

dpkg-deb -x "$deb" "$work/stage"
usr=$work/stage/usr
for f in bin/BrindleFlash bin/bfk lib/brindleflash/bfk-video.so share/brindleflash/headers.dat \
         share/applications/brindleflash.desktop share/mime/packages/brindleflash.xml \
         share/icons/hicolor/scalable/apps/brindleflash.svg \
         share/icons/hicolor/48x48/apps/brindleflash.png \
         share/icons/hicolor/256x256/apps/brindleflash.png \
         lib/udev/rules.d/99-brindleflash-ftdi.rules share/man/man1/bfk.1.gz; do
  [ -e "$usr/$f" ] || { echo "missing from the package: /usr/$f"; exit 1; }
done
grep -q '^MimeType=application/x-brindleflash-recording;' "$usr/share/applications/brindleflash.desktop"
grep -q 'pattern="\*.bfk"' "$usr/share/mime/packages/brindleflash.xml"

# The installed programs, from a folder without headers.dat and with no settings of the user's:
# they must find the table in the data folder on their own.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
cd "$work/run"
[ "$("$usr/bin/bfk" --version)" = "bfk 1.1.3.183" ]
"$usr/bin/bfk" sample -o sample.bfk --frames 12 --recordings 1
"$usr/bin/bfk" info sample.bfk | grep -q '^frames: 12$'
"$usr/bin/bfk" video sample.bfk -o sample.mp4 | grep -q '^12 frames written'
[ "$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 sample.mp4)" = 12 ]

# The window: started offscreen with the recording, it must map (or hold open) that file.
# It runs until closed, so it is watched until the file shows up, then ended.
QT_QPA_PLATFORM=offscreen "$usr/bin/BrindleFlash" "$PWD/sample.bfk" >"$work/window.log" 2>&1 &
pid=$!
opened=no
for _ in $(seq 1 300); do
  if ! kill -0 "$pid" 2>/dev/null; then break; fi
  if grep -q "$PWD/sample.bfk" "/proc/$pid/maps" 2>/dev/null ||
     ls -l "/proc/$pid/fd" 2>/dev/null | grep -q "$PWD/sample.bfk"; then
    opened=yes
    break
  fi
  sleep 0.1  # poll interval; the deadline is 300 polls
done
alive=no
kill -0 "$pid" 2>/dev/null && alive=yes
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
if [ "$opened" != yes ]; then
  echo "BrindleFlash did not open the recording (alive: $alive)"
  cat "$work/window.log"
  exit 1
fi
echo "installed BrindleFlash and bfk ran from $work/stage"
rm -rf "$work"
