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
echo "deb-src http://deb.debian.org/debian $VERSION_CODENAME main" > "$dir/sources.list"
apt=(apt-get -qq -o "Dir::Etc::sourcelist=$dir/sources.list" -o Dir::Etc::sourceparts=-
     -o "Dir::State::Lists=$dir/lists" -o "Dir::Cache=$dir/cache")
"${apt[@]}" update >&2
(cd "$dir/fetch" && "${apt[@]}" source --download-only bearssl) >&2 \
  || { echo "bearssl: apt-get source bearssl failed" >&2; exit 1; }
tar -C "$dir" -xf "$dir"/fetch/bearssl_0.6*.orig.tar.*
rm -rf "$dir/lists" "$dir/cache"   # the whole archive's index, 50 MB
[ -f "$src/inc/bearssl.h" ] || { echo "bearssl: no $src/inc/bearssl.h in the source package" >&2; exit 1; }
echo "$src"
