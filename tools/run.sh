#!/usr/bin/env bash
# Builds the programs and runs one in a device-sized Wine desktop, talking to
# the demo news server on 127.0.0.1:
#   tools/run.sh [hpc|ppc]
# With no display it runs under Xvfb, saves a screenshot and prints its path.
# PELORA_DEMO_PORT chooses the demo server's port (default 1119).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
kind="${1:-hpc}"
case "$kind" in
  hpc) size=640x240 ;;
  ppc) size=240x320 ;;
  *) echo "usage: tools/run.sh [hpc|ppc]" >&2; exit 2 ;;
esac
bash "$here/tools/setup.sh"
export BUILD_DIR="${BUILD_DIR:-$here/build}"
bash "$here/tools/build.sh" --target "pelora_$kind" demonews
. "$here/tools/wine-env.sh"
wine_prefix_ready

port="${PELORA_DEMO_PORT:-1119}"
# The server reads a copy of the sample spool, so that articles added to it
# (tools/demonews/make_spool.py --add GROUP "$BUILD_DIR/demospool") stay out of
# the repository; new sample files are copied in, added ones are kept.
spool="$BUILD_DIR/demospool"
(cd "$here/tools/demonews/spool" && find . -type f) | while read -r f; do
  if [ ! -e "$spool/$f" ]; then
    mkdir -p "$(dirname "$spool/$f")"
    cp "$here/tools/demonews/spool/$f" "$spool/$f"
  fi
done

# First run: point the program at the demo server and subscribe the demo
# groups, so that a new user sees a patrol and then reads offline.
key='HKCU\Software\tidewell\Pelora'
if ! wine reg query "$key" /v Server >/dev/null 2>&1; then
  data="$WINEPREFIX/drive_c/Pelora"
  mkdir -p "$data"
  reg="$WINEPREFIX/pelora-demo.reg"
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\tidewell\\Pelora]\r\n"Server"="127.0.0.1"\r\n"Port"=dword:%08x\r\n"DataPath"="C:\\\\Pelora\\\\"\r\n"Limit"=dword:00000032\r\n\r\n' \
    "$port" > "$reg"
  wine regedit "$reg" >/dev/null 2>&1
  if [ ! -f "$data/group.dat" ]; then
    printf 'japan.comp.handheld\r\njapan.comp.misc\r\nfj.rec.travel\r\n' > "$data/group.dat"
  fi
  echo "first run: settings point at the demo server on 127.0.0.1:$port"
fi

wine "$BUILD_DIR/tools/demonews.exe" -p "$port" -s "$(winepath -w "$spool")" </dev/null >"$BUILD_DIR/demonews.log" 2>&1 &
server=$!
stop_server() { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }
sleep 1
if ! kill -0 "$server" 2>/dev/null; then
  echo "demonews did not start (port $port in use?): $(cat "$BUILD_DIR/demonews.log")" >&2
fi

exe="$BUILD_DIR/pelora_$kind.exe"
if [ -n "${DISPLAY:-}" ]; then
  trap stop_server EXIT
  wine explorer /desktop=Pelora,$size "$exe" || true
  exit 0
fi

shot="$BUILD_DIR/pelora_$kind.png"
export DISPLAY=:$(( 90 + RANDOM % 9 ))
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'stop_server; wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true' EXIT
sleep 1
wine explorer /desktop=Pelora,$size "$exe" </dev/null >/dev/null 2>&1 &
sleep "${PELORA_SHOT_DELAY:-6}"
import -window root -crop "${size}+0+0" +repage "$shot"
echo "screenshot: $shot"
