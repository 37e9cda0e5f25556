#!/usr/bin/env bash
# Screenshots of the group, subject and article views for the README: each
# program in a device-sized Wine desktop under Xvfb, driven by
# tools/rundriver through a patrol from the demo news server, the first group
# and its first article. Writes docs/screen-{hpc,ppc}-{groups,subjects,article}.png,
# and docs/screen-{hpc,ppc}-thread-subjects.png with the list by conversation.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/setup.sh"
export BUILD_DIR="${BUILD_DIR:-$here/build}"
bash "$here/tools/build.sh" --target pelora_hpc pelora_ppc demonews rundriver >/dev/null
. "$here/tools/wine-env.sh"
# A prefix of its own, so the shots never touch the settings of run.sh.
export WINEPREFIX="$BUILD_DIR/shotprefix"
start_private_display
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  stop_private_display
}
trap cleanup EXIT
wine_prefix_ready

port="${PELORA_DEMO_PORT:-1129}"
spool="$BUILD_DIR/shotspool"
rm -rf "$spool" && mkdir -p "$spool" && cp -r "$here/tools/demonews/spool/." "$spool/"
wine "$BUILD_DIR/tools/demonews.exe" -p "$port" -s "$(winepath -w "$spool")" </dev/null >/dev/null 2>&1 &
server=$!
sleep 2

for kind in hpc ppc; do
  case $kind in hpc) size=640x240 ;; ppc) size=240x320 ;; esac
  data="$WINEPREFIX/drive_c/Shots/$kind"
  rm -rf "$data" && mkdir -p "$data"
  printf 'japan.comp.handheld\r\njapan.comp.misc\r\nfj.rec.travel\r\n' > "$data/group.dat"
  reg="$WINEPREFIX/shots.reg"
  printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\tidewell]\r\n\r\n[HKEY_CURRENT_USER\\Software\\tidewell\\Pelora]\r\n"Server"="127.0.0.1"\r\n"Port"=dword:%08x\r\n"DataPath"="C:\\\\Shots\\\\%s\\\\"\r\n"Limit"=dword:00000032\r\n"ConvertMime"=dword:00000001\r\n\r\n' \
    "$port" "$kind" > "$reg"
  wine regedit "$reg" >/dev/null 2>&1
  run_whole_job $kind $size "$here/docs/screen-$kind"
  # Again with the list by conversation; only its subject view is kept.
  # The Pocket PC's narrow screen shows the subjects beside a narrow sender.
  rm -rf "$data" && mkdir -p "$data"
  printf 'japan.comp.handheld\r\njapan.comp.misc\r\nfj.rec.travel\r\n' > "$data/group.dat"
  sender=; [ $kind = ppc ] && sender='"fromWidth"=dword:00000046\r\n'
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\tidewell\\Pelora\\SubjectView]\r\n"ThreadView"=dword:00000001\r\n'"$sender"'\r\n' > "$reg"
  wine regedit "$reg" >/dev/null 2>&1
  run_whole_job $kind $size "$here/docs/screen-$kind-thread"
  rm -f "$here/docs/screen-$kind-thread-groups.png" "$here/docs/screen-$kind-thread-article.png"
done
