#!/usr/bin/env bash
# Builds the programs and runs one in a device-sized Wine desktop:
#   tools/run.sh [hpc|ppc]
# With no display it runs under Xvfb, saves a screenshot and prints its path.
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
bash "$here/tools/build.sh" --target "pelora_$kind"
. "$here/tools/wine-env.sh"
wine_prefix_ready

exe="$BUILD_DIR/pelora_$kind.exe"
if [ -n "${DISPLAY:-}" ]; then
  exec wine explorer /desktop=Pelora,$size "$exe"
fi

shot="$BUILD_DIR/pelora_$kind.png"
export DISPLAY=:$(( 90 + RANDOM % 9 ))
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true' EXIT
sleep 1
wine explorer /desktop=Pelora,$size "$exe" </dev/null >/dev/null 2>&1 &
sleep "${PELORA_SHOT_DELAY:-6}"
import -window root -crop "${size}+0+0" +repage "$shot"
echo "screenshot: $shot"
