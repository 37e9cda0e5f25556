# Sourced: the Wine environment of the host build. Expects BUILD_DIR.
: "${BUILD_DIR:?BUILD_DIR not set}"
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEARCH=win64
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all

# Bump when the registry set-up below changes, so existing prefixes catch up.
PELORA_PREFIX_VERSION=2

wine_prefix_ready() {
  [ "$(cat "$WINEPREFIX/.pelora-ready" 2>/dev/null)" = "$PELORA_PREFIX_VERSION" ] && return 0
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the prefix in $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  # Japanese fonts for the dialog and UI faces. All windows go into one
  # virtual desktop: without a window manager, Wine waits two seconds for
  # every top-level window it hides.
  local reg="$WINEPREFIX/pelora.reg"
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n"MS Shell Dlg"="IPAGothic"\r\n"MS Shell Dlg 2"="IPAGothic"\r\n"Tahoma"="IPAGothic"\r\n"MS UI Gothic"="IPAGothic"\r\n"MS Gothic"="IPAGothic"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Default"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Default"="1024x768"\r\n\r\n' > "$reg"
  wine regedit "$reg" >/dev/null 2>&1
  wineserver -w || true
  echo "$PELORA_PREFIX_VERSION" > "$WINEPREFIX/.pelora-ready"
}

# A display of our own under Xvfb on a free number, for scripts run without
# one; stop_private_display ends it.
private_display_pid=""
start_private_display() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    private_display_pid=$!
    export DISPLAY=":$n"
    break
  done
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
}
stop_private_display() {
  [ -n "$private_display_pid" ] && kill "$private_display_pid" 2>/dev/null || true
  private_display_pid=""
}

# Runs pelora_KIND in a Wine desktop of SIZE through the whole job (a patrol,
# the first group, its first article) with tools/rundriver, which must be
# built, and turns its shots into OUTPUT-{groups,subjects,article}.png,
# printing each path; fails when one is missing.
run_whole_job() {
  local kind=$1 size=$2 out=$3 view status=0
  rm -f "$out"-{groups,subjects,article}.{bmp,png}
  timeout 600 wine explorer /desktop=Pelora$kind,$size "$BUILD_DIR/tools/rundriver.exe" \
    "$(winepath -w "$BUILD_DIR/pelora_$kind.exe")" "$(winepath -w "$out")" </dev/null || true
  for view in groups subjects article; do
    if [ -f "$out-$view.bmp" ]; then
      convert "$out-$view.bmp" "$out-$view.png" && rm -f "$out-$view.bmp"
      echo "screenshot: $out-$view.png"
    else
      echo "no screenshot of the $view view" >&2
      status=1
    fi
  done
  return $status
}
