#!/usr/bin/env bash
# Runs a command inside a private headless weston session with XWayland:
# a compositor that tells no client which window has the focus.  Stops
# exactly what it started.  Usage: tests/wayland/weston_session.sh COMMAND...
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND..." >&2; exit 2; }
session_dir=$(mktemp -d /tmp/corvalin-weston.XXXXXX)
weston_pid=""
cleanup() {
  # weston's XWayland runs in weston's process group.
  [ -n "$weston_pid" ] && kill -- "-$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$session_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export XDG_RUNTIME_DIR="$session_dir/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
setsid weston --backend=headless-backend.so --xwayland --socket=wayland-1 --idle-time=0 \
  >"$session_dir/weston.log" 2>&1 &
weston_pid=$!
display=""
for _ in $(seq 100); do
  display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$session_dir/weston.log")
  [ -n "$display" ] && [ -S "$XDG_RUNTIME_DIR/wayland-1" ] && break
  sleep 0.1
done
[ -n "$display" ] || { echo "weston_session: weston did not start" >&2; cat "$session_dir/weston.log" >&2; exit 1; }
export WAYLAND_DISPLAY=wayland-1 DISPLAY=$display XDG_SESSION_TYPE=wayland
export HOME="$session_dir/home"
mkdir -p "$HOME"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
export NO_AT_BRIDGE=1 GTK_A11Y=none
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER SWAYSOCK
"$@"
