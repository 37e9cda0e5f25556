#!/usr/bin/env bash
# Builds the programs and runs one in a device-sized Wine desktop, talking to
# the demo news server on 127.0.0.1:
#   tools/run.sh [hpc|ppc]
# With a display the program is yours to use. Without one it shows the whole
# job under Xvfb: a patrol, then the first group and its first article, and
# prints the paths of the three screenshots it took.
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
. "$here/tools/wine-env.sh"
interactive=1
[ -n "${DISPLAY:-}" ] || interactive=0
if [ $interactive = 1 ]; then
  bash "$here/tools/build.sh" --target "pelora_$kind" demonews
else
  bash "$here/tools/build.sh" --target "pelora_$kind" demonews rundriver
  # Before any Wine process: Wine binds its desktop to the first display.
  start_private_display
fi
server=
cleanup() {
  [ -n "$server" ] && { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }
  if [ $interactive = 0 ]; then
    wineserver -k >/dev/null 2>&1 || true
    stop_private_display
  fi
}
trap cleanup EXIT
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
# groups, so that a new user sees a patrol and then reads offline. Every
# setting a first run needs is written here.
first_run_settings() {
  local data="$WINEPREFIX/drive_c/Pelora"
  mkdir -p "$data"
  local reg="$WINEPREFIX/pelora-demo.reg"
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\tidewell\\Pelora]\r\n'
    printf '"Server"="127.0.0.1"\r\n"Port"=dword:%08x\r\n' "$port"
    printf '"DataPath"="C:\\\\Pelora\\\\"\r\n"Limit"=dword:00000032\r\n'
    # The fast patrol, compressed, and today's articles (UTF-8 and others)
    # converted.
    printf '"Pipelining"=dword:00000001\r\n"Compress"=dword:00000001\r\n"ConvertMime"=dword:00000001\r\n'
    # A poster, so that a post written at once goes out with the next patrol.
    printf '"UserName"="Demo User"\r\n"MailAddress"="demo@example.test"\r\n'
    printf '\r\n'
  } > "$reg"
  wine regedit "$reg" >/dev/null 2>&1
  if [ ! -f "$data/group.dat" ]; then
    printf 'japan.comp.handheld\r\njapan.comp.misc\r\nfj.rec.travel\r\n' > "$data/group.dat"
  fi
}
if ! wine reg query 'HKCU\Software\tidewell\Pelora' /v Server >/dev/null 2>&1; then
  first_run_settings
  echo "first run: settings point at the demo server on 127.0.0.1:$port"
fi

wine "$BUILD_DIR/tools/demonews.exe" -p "$port" -s "$(winepath -w "$spool")" </dev/null >"$BUILD_DIR/demonews.log" 2>&1 &
server=$!
sleep 1
if ! kill -0 "$server" 2>/dev/null; then
  echo "demonews did not start (port $port in use?): $(cat "$BUILD_DIR/demonews.log")" >&2
fi

exe="$BUILD_DIR/pelora_$kind.exe"
if [ $interactive = 1 ]; then
  wine explorer /desktop=Pelora,$size "$exe" || true
  exit 0
fi

# No display: the driver runs the program through a patrol and the reading
# of the first article, saving the screen after each step.
run_whole_job "$kind" "$size" "$BUILD_DIR/run-$kind"
