#!/usr/bin/env bash
# Fails when a product folder includes a folder above it or beside it. The
# order below is the one place the layers are written down; README.md and
# CMakeLists.txt follow it.
set -euo pipefail
cd "$(dirname "$0")/.."

# Bottom to top; folders on one line are one level and may not include each
# other.
layers=(
  "host"
  "text"
  "store"
  "nntp"
  "settings"
  "dialogs views"
  "frame"
  "app"
)

declare -A level
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do
    level[$folder]=$i
  done
done

bad=0
for folder in "${!level[@]}"; do
  [ -d "$folder" ] || continue
  mine=${level[$folder]}
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    target=$(sed -E 's/^[^"]*"([a-z]+)\/.*$/\1/' <<<"${rest#*:}")
    [ "$target" = "$folder" ] && continue
    theirs=${level[$target]:-}
    [ -n "$theirs" ] || continue
    if [ "$theirs" -ge "$mine" ]; then
      echo "$file:$line: $folder/ (layer $mine) includes $target/ (layer $theirs)" >&2
      bad=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z]+/' "$folder"/*.cpp "$folder"/*.h 2>/dev/null || true)
done

# The core's interfaces carry no resource ids: a .cpp may use them.
for folder in text store nntp settings; do
  while IFS= read -r hit; do
    echo "$hit: a header of $folder/ includes resource.h" >&2
    bad=1
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"resource\.h"' "$folder"/*.h 2>/dev/null || true)
done

if [ "$bad" -ne 0 ]; then
  echo "check-layers: includes against the layer order (see README.md)" >&2
  exit 1
fi
echo "check-layers: every include goes down"
