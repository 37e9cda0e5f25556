#!/usr/bin/env bash
# Installs what the host build needs on a Debian machine; quiet when all is there.
set -euo pipefail

need=()
# openssl makes the test certificates (tools/inn.sh tls); ca-certificates
# holds the roots built into the programs, python3 turns them into a table.
for p in mingw-w64 libz-mingw-w64-dev wine wine64 xvfb fonts-ipafont-gothic locales imagemagick cmake make openssl \
         ca-certificates python3; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
