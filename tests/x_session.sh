#!/usr/bin/env bash
# Runs a command inside a private X session: Xvfb on a free display, openbox
# as window manager and trayer as tray host, with HOME in a temporary folder.
# Stops exactly what it started.  Options: --no-wm, --no-tray.
# Usage: tests/x_session.sh [--no-wm] [--no-tray] COMMAND [ARGS...]
set -uo pipefail
want_wm=1
want_tray=1
while [ $# -gt 0 ]; do
  case "$1" in
    --no-wm) want_wm=0; want_tray=0; shift ;;
    --no-tray) want_tray=0; shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--no-wm] [--no-tray] COMMAND..." >&2; exit 2; }

session_dir=$(mktemp -d /tmp/corvalin-x.XXXXXX)
pids=()
cleanup() {
  for ((i=${#pids[@]}-1; i>=0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$session_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display number and writes it to the pipe.  -noreset:
# by default the server resets when its last client leaves, and a client
# connecting meanwhile is refused; the readiness probes below are such last
# clients, and openbox, refused, left about one session in a hundred without
# a window manager.
exec {fd}>"$session_dir/display"
Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$session_dir/xvfb.log" 2>&1 &
pids+=($!)
exec {fd}>&-
for _ in $(seq 100); do [ -s "$session_dir/display" ] && break; sleep 0.1; done
display=$(tr -d '\n' <"$session_dir/display")
[ -n "$display" ] || { echo "x_session: Xvfb did not start" >&2; cat "$session_dir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$display"

export HOME="$session_dir/home"
mkdir -p "$HOME"
export XDG_RUNTIME_DIR="$session_dir/runtime"
mkdir -m 0700 -p "$XDG_RUNTIME_DIR"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
export NO_AT_BRIDGE=1 GTK_A11Y=none
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER

if [ $want_wm = 1 ]; then
  openbox --sm-disable >"$session_dir/openbox.log" 2>&1 &
  wm_pid=$!
  pids+=($wm_pid)
  # The window manager is ready once it owns the EWMH check window.
  wm_ready=0
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && { wm_ready=1; break; }
    sleep 0.1
  done
  [ $wm_ready = 1 ] ||
    { echo "x_session: openbox is not managing the display after 10 s" >&2; cat "$session_dir/openbox.log" >&2; }
fi
if [ $want_tray = 1 ]; then
  trayer --edge bottom --align right --widthtype pixel --width 200 --heighttype pixel --height 24 \
         --SetDockType true --transparent false >"$session_dir/trayer.log" 2>&1 &
  pids+=($!)
  # Ready once it owns the tray selection, which comes after its window: a
  # program started before that would find no tray.
  for _ in $(seq 100); do
    python3 - <<'PY' && break
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XGetSelectionOwner.restype = ctypes.c_ulong
x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
d = x.XOpenDisplay(None)
sys.exit(0 if d and x.XGetSelectionOwner(d, x.XInternAtom(d, b"_NET_SYSTEM_TRAY_S0", 0)) else 1)
PY
    sleep 0.1
  done
fi
export CORVALIN_X_SESSION="$session_dir"
# For tests that take the display away from a program on purpose.
export CORVALIN_XVFB_PID=${pids[0]}
"$@"
status=$?
# Without its window manager nothing gets the focus, and a test's failures
# would seem to be the program's.
if [ $want_wm = 1 ] && ! kill -0 "$wm_pid" 2>/dev/null; then
  echo "x_session: openbox ended during the run" >&2
  cat "$session_dir/openbox.log" >&2
fi
exit $status
