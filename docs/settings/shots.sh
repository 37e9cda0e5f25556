#!/usr/bin/env bash
# Screenshots of the property pages and the file chooser in a 640x240 Wine
# desktop under Xvfb: docs/settings/*.png. Needs a built tools/shots.
# With "ppc" the Pocket PC templates in a 240x320 desktop (ppc-*.png; needs
# a built pelora_ppc). PELORA_SHOT_CASE and PELORA_SHOT_OUT name another
# set of shots and folder (the other dialogs: Dialogs, docs/dialogs).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
export BUILD_DIR="${BUILD_DIR:-$here/build}"
. "$here/tools/wine-env.sh"
wine_prefix_ready
out="$here/${PELORA_SHOT_OUT:-docs/settings}"
mkdir -p "$out"
size=640x240
export PELORA_SHOT_PREFIX= PELORA_SHOT_MODULE=
if [ "${1:-hpc}" = ppc ]; then
  size=240x320
  export PELORA_SHOT_PREFIX=ppc- PELORA_SHOT_MODULE="Z:${BUILD_DIR//\//\\}\\pelora_ppc.exe"
fi
work=$(mktemp -d)
export DISPLAY=:$(( 80 + RANDOM % 9 ))
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
export PELORA_SHOT_DIR="Z:${work//\//\\}"
wine explorer /desktop=Pelora,$size "$BUILD_DIR/tools/shots.exe" \
  "${PELORA_SHOT_CASE:-PagesAndChooser}" >/dev/null 2>&1 &
runner=$!
deadline=$((SECONDS + 90))
while kill -0 $runner 2>/dev/null && [ $SECONDS -lt $deadline ]; do
  for ready in "$work"/*.ready; do
    [ -e "$ready" ] || continue
    name=$(basename "$ready" .ready)
    import -window root -crop "${size}+0+0" +repage "$out/$name.png"
    rm -f "$ready"
  done
  sleep 0.2
done
wait $runner || true
ls "$out"/*.png
