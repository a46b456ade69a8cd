#!/usr/bin/env bash
# Corvalin.exe under Wine at 100 %, 150 % and 200 %: the frame is told the
# scale, and the toolbar draws its images at the matching size (16, 24 and
# 32 px), not a 16 px image stretched.  Inside tests/x_session.sh.
# Usage: tests/windows/wine_dpi.sh CORVALIN_EXE WIN_PROBE_EXE
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: $0 CORVALIN_EXE WIN_PROBE_EXE" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "wine_dpi: run me inside tests/x_session.sh" >&2; exit 2; }

source "$(dirname "$0")/../e2e/lib.sh"
TMP=$E2E_TMP
PIDS=()
export WINEPREFIX="$TMP/prefix" WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="

e2e_before_cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
}

APP="$TMP/app"
mkdir -p "$APP"
cp "$1" "$APP/Corvalin.exe"
cp "$2" "$TMP/win_probe.exe"
probe() { wine "$TMP/win_probe.exe" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

wineboot -i >/dev/null 2>&1
check "fresh Wine prefix set up" test -d "$WINEPREFIX/drive_c/windows"

# Wine takes the DPI from this value.  Each process reads it for the screen,
# but windows get the one the desktop process read when it started, so the
# prefix's processes, the desktop included, are ended after the change.
set_dpi() {
  wine reg add 'HKEY_CURRENT_CONFIG\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}

for dpi in 96 144 192; do
  image=$((16 * dpi / 96))
  set_dpi "$dpi"
  wine "$APP/Corvalin.exe" >/dev/null 2>&1 &
  pid=$!; PIDS+=("$pid")
  frame=$(probe find "Corvalin : Keep Watch!" 30000)
  [[ $frame =~ ^[0-9]+$ ]] || frame=""
  check "at $dpi DPI the frame opens" [ -n "$frame" ]
  if [ -n "$frame" ]; then
    sleep 1  # the toolbar is realised once the frame is shown
    figures=$(probe dpi "$frame")
    sed "s/^/  $dpi DPI: /" <<<"$figures"
    check "at $dpi DPI the screen reports $dpi" grep -qx "screen-dpi=$dpi" <<<"$figures"
    check "at $dpi DPI the frame is given $dpi" grep -qx "window-dpi=$dpi" <<<"$figures"
    check "at $dpi DPI the toolbar images are ${image}x$image" \
      grep -qx "toolbar-image=${image}x$image" <<<"$figures"
  fi
  # Everything of this prefix ends, so the next start reads the new DPI.
  wineserver -k 2>/dev/null
  wait_exit "$pid" 20
done
finish
