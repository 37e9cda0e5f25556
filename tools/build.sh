#!/usr/bin/env bash
# Configures and builds the host build in $BUILD_DIR (default build/).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="${BUILD_DIR:-$here/build}"
export LC_ALL=C
# The TLS engine's sources, fetched into the build folder once.
bash "$here/tools/bearssl/fetch.sh" "$BUILD_DIR" >/dev/null
cmake -S "$here" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-toolchain.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" "$@"
