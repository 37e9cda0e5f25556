#!/usr/bin/env bash
# Fails when product code references a function the device does not provide.
# Usage: tools/ce/check-ce-api.sh [BUILD_DIR]   (checks both programs)
#
# Reads the undefined names of each program's product objects: every layer's
# library but host/ (a device build drops it for the system's own), the
# entry point and the TLS engine (BearSSL). A name passes when the program's
# device libraries export it, the device headers turn it into another call,
# the program links it in
# (zlib.txt), or the device compiler supplies it; lists beside this
# script, one name a line, '#' comments.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
NM=${NM:-x86_64-w64-mingw32-nm}
CXXFILT=${CXXFILT:-x86_64-w64-mingw32-c++filt}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The libraries each program loads. Both link winsock.dll (Windows Sockets
# 1.1), not the host's ws2_32.
declare -A dlls=(
  [hpc]="coredll commctrl winsock"
  [ppc]="coredll commctrl winsock aygshell"
)
# The layers of tools/check-layers.sh above host/; the frame is per program.
layers="text store nntp settings dialogs views frame app"

names() { sed -e 's/#.*//' -e 's/[[:space:]]*$//' "$@" | grep -v '^$' || true; }

# A product library this check does not read would pass unseen.
shopt -s nullglob
for lib in "$build"/libpelora_*.a; do
  name=$(basename "$lib" .a); name=${name#libpelora_}
  case " host frame_hpc frame_ppc $layers " in
    *" $name "*) ;;
    *) echo "check-ce-api: $lib is not read; add its layer here" >&2; exit 1 ;;
  esac
done

bad=0
for kind in hpc ppc; do
  objs=()
  for layer in $layers; do
    [ "$layer" = frame ] && layer=frame_$kind
    objs+=("$build/libpelora_$layer.a")
  done
  objs+=("$build/CMakeFiles/pelora_$kind.dir/app/WinMain.cpp.obj")
  # The TLS engine built into both programs: its C library needs are checked too.
  objs+=("$build/libbearssl.a")
  for o in "${objs[@]}"; do
    [ -f "$o" ] || { echo "check-ce-api: $o missing; build first" >&2; exit 1; }
  done
  allow=()
  for d in ${dlls[$kind]}; do allow+=("$here/$d.txt"); done
  names "${allow[@]}" "$here/macros.txt" "$here/runtime.txt" "$here/zlib.txt" > "$work/allow"
  "$NM" --defined-only "${objs[@]}" 2>/dev/null | awk 'NF==3{print $3}' | sort -u > "$work/defined"
  # folder/object, raw name; then the demangled name without its parameters
  "$NM" -u -A "${objs[@]}" 2>/dev/null \
    | sed -nE 's/^([^:]*:)?([^:]+):[[:space:]]+[Uw][[:space:]]+(\S+)$/\1\2 \3/p' \
    | awk '{ split($1, p, ":"); folder = p[1]; o = p[2]
             sub(/.*libpelora_/, "", folder); sub(/.*libbearssl/, "bearssl", folder); sub(/(_hpc|_ppc)?\.a$/, "", folder)
             if (o == "") { o = p[1]; sub(/.*\//, "", o); folder = "app" }   # the entry point
             s = $2; sub(/^__imp_/, "", s); print folder "/" o "\t" s }' \
    | sort -u > "$work/all-used"
  cut -f2 "$work/all-used" | "$CXXFILT" | sed 's/(.*//' | paste "$work/all-used" - > "$work/named"
  awk -F'\t' -v kind="$kind" -v libs="${dlls[$kind]}" '
    FILENAME == ARGV[1] { allow[$0] = 1; next }
    FILENAME == ARGV[2] { defined[$0] = 1; next }
    FILENAME == ARGV[3] { if ($0 !~ /^#/ && NF >= 2) hint[$1] = $2; next }
    {
      if ($2 in defined || $2 in allow || $3 in allow) next
      h = ($3 in hint) ? hint[$3] : "not exported by " libs " on the device: use a call they have, or a stand-in in host/"
      print "pelora_" kind ": " $1 ": " $3 ": " h
      bad = 1
    }
    END { exit bad }' "$work/allow" "$work/defined" "$here/hints.txt" "$work/named" || bad=1
  # Nothing may pull in the unwinder: the device compilers have none.
  exe="$build/pelora_$kind.exe"
  if [ -f "$exe" ] && "$NM" "$exe" 2>/dev/null | grep -qE ' (_Unwind_Resume|__cxa_throw)$'; then
    echo "pelora_$kind: $exe: the exception unwinder is linked in: a throwing library call" \
         "(new without std::nothrow?); -Wl,-Map shows who pulls it"
    bad=1
  fi
done

if [ "$bad" -ne 0 ]; then
  echo "check-ce-api: product code calls what the device lacks (lists in tools/ce/)" >&2
  exit 1
fi
echo "check-ce-api: both programs call only what the device provides"
