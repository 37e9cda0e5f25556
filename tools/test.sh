#!/usr/bin/env bash
# Builds both programs and the tests, then runs every test under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/setup.sh"
export BUILD_DIR="${BUILD_DIR:-$here/build}"
bash "$here/tools/build.sh"
. "$here/tools/wine-env.sh"
wine_prefix_ready

# Every test program checks at start that the ANSI code page is 932 and
# fails loudly otherwise.
# Keep one wine server and its service processes up for all tests; started
# here with their output closed, so that no test's output pipe stays open.
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
cd "$BUILD_DIR"
status=0
if [ -n "${DISPLAY:-}" ]; then
  ctest --output-on-failure -j 2 "$@" || status=$?
else
  xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j 2 "$@" || status=$?
fi
wineserver -k >/dev/null 2>&1 || true
exit $status
