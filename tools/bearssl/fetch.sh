#!/usr/bin/env bash
# Fetches BearSSL, the TLS engine of both programs, from Debian's source
# package into the build folder (never into the repository), once; prints the
# folder of its sources. The archive is asked through a sources file and lists
# of the build's own, so the machine's own apt lists stay as they are; apt
# checks the download against the archive's signed index.
# Usage: tools/bearssl/fetch.sh BUILD_DIR
set -euo pipefail
build=$(mkdir -p "$1" && cd "$1" && pwd)
dir=$build/bearssl
src=$dir/bearssl-0.6
if [ -f "$src/inc/bearssl.h" ]; then
  echo "$src"
  exit 0
fi
exec 9>"$build/.bearssl.lock"
flock 9
[ -f "$src/inc/bearssl.h" ] && { echo "$src"; exit 0; }
. /etc/os-release
rm -rf "$dir"
mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/fetch"
# The Debian archive the machine already takes its own packages from.
mirror=$(sed -n 's|^URIs:[[:space:]]*\([^[:space:]]*/debian\)/*[[:space:]]*$|\1|p' \
           /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1 || true)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" { for (i = 2; i <= NF; ++i) if ($i ~ /^[a-z]+:\/\/.*\/debian\/?$/) { sub(/\/$/, "", $i); print $i; exit } }' \
                               /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | head -n 1 || true)
[ -n "$mirror" ] || { echo "bearssl: no Debian archive among the machine's apt sources" >&2; exit 1; }
echo "deb-src $mirror $VERSION_CODENAME main" > "$dir/sources.list"
apt=(apt-get -qq -o "Dir::Etc::sourcelist=$dir/sources.list" -o Dir::Etc::sourceparts=-
     -o "Dir::State::Lists=$dir/lists" -o "Dir::Cache=$dir/cache")
"${apt[@]}" update >&2
(cd "$dir/fetch" && "${apt[@]}" source --download-only bearssl) >&2 \
  || { echo "bearssl: apt-get source bearssl failed" >&2; exit 1; }
tar -C "$dir" -xf "$dir"/fetch/bearssl_0.6*.orig.tar.*
rm -rf "$dir/lists" "$dir/cache"   # the whole archive's index, 50 MB
[ -f "$src/inc/bearssl.h" ] || { echo "bearssl: no $src/inc/bearssl.h in the source package" >&2; exit 1; }
echo "$src"
