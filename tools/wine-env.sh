# Sourced: the Wine environment of the host build. Expects BUILD_DIR.
: "${BUILD_DIR:?BUILD_DIR not set}"
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEARCH=win64
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all

wine_prefix_ready() {
  [ -f "$WINEPREFIX/.pelora-ready" ] && return 0
  echo "wine: creating the prefix in $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
  local reg="$WINEPREFIX/fonts.reg"
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n"MS Shell Dlg"="IPAGothic"\r\n"MS Shell Dlg 2"="IPAGothic"\r\n"Tahoma"="IPAGothic"\r\n"MS UI Gothic"="IPAGothic"\r\n"MS Gothic"="IPAGothic"\r\n\r\n' > "$reg"
  wine regedit "$reg" >/dev/null 2>&1
  wineserver -w || true
  touch "$WINEPREFIX/.pelora-ready"
}
