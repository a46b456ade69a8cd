#!/usr/bin/env bash
# Corvalin.exe under Wine at 100 %, 150 % and 200 %: the frame is told the
# scale, and the toolbar draws its images at the matching size (16, 24 and
# 32 px), not a 16 px image stretched.  Inside tests/x_session.sh.
# Usage: tests/windows/wine_dpi.sh CORVALIN_EXE WIN_PROBE_EXE
set -uo pipefail
source "$(dirname "$0")/wine_lib.sh" wine_dpi "$@"

APP="$TMP/app"
mkdir -p "$APP"
cp "$1" "$APP/Corvalin.exe"

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
