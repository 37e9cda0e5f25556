#!/usr/bin/env bash
# Builds both programs and the tests, then runs every test under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# A lower folder that includes a higher one fails before anything is built.
bash "$here/tools/check-layers.sh"
bash "$here/tools/setup.sh"
export BUILD_DIR="${BUILD_DIR:-$here/build}"
bash "$here/tools/build.sh"
# Product code calls only what the devices export, and compiles as their
# 32-bit code with the device branches taken.
bash "$here/tools/ce/check-ce-api.sh" "$BUILD_DIR"
bash "$here/tools/ce/device-compile.sh"
. "$here/tools/wine-env.sh"
# Wine binds its desktop to the display of the first process of the server,
# so a display must exist before any Wine process starts.
[ -n "${DISPLAY:-}" ] || start_private_display
inn=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  stop_private_display
  # Only an INN started here is stopped; one that ran before keeps running.
  [ "$inn" = started ] && bash "$here/tools/inn.sh" stop || true
}
trap cleanup EXIT

# A real news server on loopback for the tests that patrol one (test_nntp).
inn=$(bash "$here/tools/inn.sh" start)
export PELORA_INN_PORT=119
# Its reader daemons that speak TLS, left running for the next run, and the
# root their certificates come from.
export PELORA_INN_TLS_PORT=$(bash "$here/tools/inn.sh" tls)
export PELORA_INN_TLS_ROOT=/var/lib/news/pelora-tls/root.der

wine_prefix_ready

# Every test program checks at start that the ANSI code page is 932 and
# fails loudly otherwise.
# Keep one wine server and its service processes up for all tests; started
# here with their output closed, so that no test's output pipe stays open.
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
cd "$BUILD_DIR"
# One program at a time: they share one desktop, and a window of one would
# take the foreground from another.
ctest --output-on-failure "$@"
