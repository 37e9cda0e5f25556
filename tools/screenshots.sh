#!/usr/bin/env bash
# Screenshots of the group, subject and article views for the README, made as
# a user would: each program in a device-sized Wine desktop under Xvfb, a
# patrol from the demo news server (with ConvertMime on), then Return twice,
# with keys typed by xdotool. Writes docs/screen-{hpc,ppc}-{groups,subjects,
# article}.png, and docs/screen-{hpc,ppc}-mime-{subjects,article}.png of the
# group japan.comp.misc, whose last articles are UTF-8, EUC-JP and Shift_JIS.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/setup.sh"
command -v xdotool >/dev/null || { apt-get update -qq; DEBIAN_FRONTEND=noninteractive apt-get install -y -qq xdotool >/dev/null; }
export BUILD_DIR="${BUILD_DIR:-$here/build}"
bash "$here/tools/build.sh" --target pelora_hpc pelora_ppc demonews >/dev/null
. "$here/tools/wine-env.sh"
# A prefix of its own, so the shots never touch the settings of run.sh.
export WINEPREFIX="$BUILD_DIR/shotprefix"
wine_prefix_ready

port="${PELORA_DEMO_PORT:-1129}"
spool="$BUILD_DIR/shotspool"
rm -rf "$spool" && mkdir -p "$spool" && cp -r "$here/tools/demonews/spool/." "$spool/"

export DISPLAY=:$(( 80 + RANDOM % 9 ))
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  kill $xvfb 2>/dev/null || true
}
trap cleanup EXIT
sleep 1
wine "$BUILD_DIR/tools/demonews.exe" -p "$port" -s "$(winepath -w "$spool")" </dev/null >/dev/null 2>&1 &
server=$!
sleep 2

shot() { import -window root -crop "$1+0+0" +repage "$here/docs/$2.png"; echo "docs/$2.png"; }

for kind in hpc ppc; do
  case $kind in hpc) size=640x240 ;; ppc) size=240x320 ;; esac
  data="$WINEPREFIX/drive_c/Shots/$kind"
  rm -rf "$data" && mkdir -p "$data"
  printf 'japan.comp.handheld\r\njapan.comp.misc\r\nfj.rec.travel\r\n' > "$data/group.dat"
  reg="$WINEPREFIX/shots.reg"
  printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\tidewell]\r\n\r\n[HKEY_CURRENT_USER\\Software\\tidewell\\Pelora]\r\n"Server"="127.0.0.1"\r\n"Port"=dword:%08x\r\n"DataPath"="C:\\\\Shots\\\\%s\\\\"\r\n"Limit"=dword:00000032\r\n"ConvertMime"=dword:00000001\r\n\r\n' \
    "$port" "$kind" > "$reg"
  wine regedit "$reg" >/dev/null 2>&1
  wine explorer /desktop=Pelora$kind,$size "$BUILD_DIR/pelora_$kind.exe" </dev/null >/dev/null 2>&1 &
  desktop=$!
  sleep 5
  # Focus the group list, fetch (I), close the end-of-patrol box (Return).
  xdotool mousemove 60 60 click 1
  sleep 0.5
  xdotool key i
  sleep 6
  xdotool key Return
  sleep 2
  xdotool key Home
  sleep 1
  shot $size screen-$kind-groups
  xdotool key Return
  sleep 2
  shot $size screen-$kind-subjects
  xdotool key Return
  sleep 2
  shot $size screen-$kind-article
  # Back to the groups, the second group, its first UTF-8 article (the
  # thirteenth; the first Down may only wake the list).
  xdotool key Escape
  sleep 1
  xdotool key Escape
  sleep 1
  xdotool key Down Return
  sleep 2
  for _ in $(seq 13); do xdotool key Down; sleep 0.2; done
  sleep 1
  shot $size screen-$kind-mime-subjects
  xdotool key Return
  sleep 2
  shot $size screen-$kind-mime-article
  xdotool key alt+x
  # The demo server runs on in its own desktop for the next program.
  for _ in $(seq 50); do kill -0 $desktop 2>/dev/null || break; sleep 0.2; done
  kill $desktop 2>/dev/null || true
  sleep 1
done
