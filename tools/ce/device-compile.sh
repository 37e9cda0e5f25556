#!/usr/bin/env bash
# Compiles every product source once more as the device would see it: 32-bit,
# _WIN32_WCE and UNDER_CE defined, warnings as errors, per program. Nothing is
# linked (there is no device C library here); what this catches is a device
# branch that does not compile and code that assumes 64-bit pointers.
# Usage: tools/ce/device-compile.sh [FOLDER...]   (default: every product folder)
set -euo pipefail
cd "$(dirname "$0")/../.."
CXX=${DEVICE_CXX:-i686-w64-mingw32-g++}
command -v "$CXX" >/dev/null || { echo "device-compile: $CXX not found (package mingw-w64)" >&2; exit 1; }

# host/ stays out: a device build takes the system's own in its place, and
# its headers stand in for the SDK's here only for the names they declare.
folders=${*:-text store nntp settings dialogs views frame app}
# The TLS engine, BearSSL, is compiled too, with the configuration both
# programs use (tools/bearssl/config.h).
bearssl=$(bash tools/bearssl/fetch.sh "${BUILD_DIR:-build}")
CC=${DEVICE_CC:-i686-w64-mingw32-gcc}
export CXX CC COMMON="-std=c++17 -fsyntax-only -Wall -Wextra -Wno-unused-parameter -Werror
  -fno-exceptions -fno-rtti -DUNICODE -D_UNICODE -DUNDER_CE -DNOMINMAX
  -D_WIN32_WINNT=0x0601 -DWINVER=0x0601 -D_WIN32_IE=0x0600 -I. -Ires -Ihost -I$bearssl/inc"
export ENGINE="-std=c99 -fsyntax-only -Wall -Werror -DUNDER_CE -D_WIN32_WCE=0x300
  -include tools/bearssl/config.h -I$bearssl/inc -I$bearssl/src"

compile() {  # program source defines...
  local kind=$1 source=$2 out
  shift 2
  # shellcheck disable=SC2086
  case $kind in
    bearssl) out=$("$CC" $ENGINE "$source" 2>&1) || { printf 'bearssl: %s\n%s\n' "$source" "$out"; return 1; } ;;
    *) out=$("$CXX" $COMMON "$@" "$source" 2>&1) || { printf 'pelora_%s: %s\n%s\n' "$kind" "$source" "$out"; return 1; } ;;
  esac
}
export -f compile

count=0
{
  for kind in hpc ppc; do
    case $kind in
      hpc) defs="-D_WIN32_WCE=0x211 -DPELORA_HPC"; other=FrameBarsPpc.cpp ;;
      ppc) defs="-D_WIN32_WCE=0x300 -DPELORA_PPC"; other=FrameBarsHpc.cpp ;;
    esac
    for folder in $folders; do
      for source in "$folder"/*.cpp; do
        [ "$(basename "$source")" = "$other" ] || echo "$kind $source $defs"
      done
    done
  done
  [ -n "$*" ] || for source in "$bearssl"/src/*/*.c; do echo "bearssl $source"; done
} > "${TMPDIR:-/tmp}/device-compile.$$"
count=$(wc -l < "${TMPDIR:-/tmp}/device-compile.$$")
status=0
xargs -P "$(nproc)" -L 1 bash -c 'compile "$@"' _ < "${TMPDIR:-/tmp}/device-compile.$$" || status=1
rm -f "${TMPDIR:-/tmp}/device-compile.$$"
if [ "$status" -ne 0 ]; then
  echo "device-compile: sources above do not compile as the device's code" >&2
  exit 1
fi
echo "device-compile: $count sources (BearSSL's among them) compile as the device's 32-bit code"
