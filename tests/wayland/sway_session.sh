#!/usr/bin/env bash
# Runs a command inside a private headless sway session with XWayland:
# WAYLAND_DISPLAY, SWAYSOCK and DISPLAY point at it, HOME and the runtime
# folder are temporary.  sway refuses to run as root, so it runs as nobody;
# its XWayland then lets root's clients in.  Stops exactly what it started.
# With --bar, swaybar runs with its tray, and a session bus run by nobody is
# shared by sway, swaybar and the command;
# without it the command gets no session bus.
# Usage: tests/wayland/sway_session.sh [--bar] COMMAND [ARGS...]
set -uo pipefail
# Starts sway as nobody on the session's folder, config and sockets, and
# waits for its sockets.
start_sway() {
  setsid setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin HOME="$session_dir" XDG_RUNTIME_DIR="$runtime" "${bus_env[@]}" \
    SWAYSOCK="$SWAYSOCK" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$session_dir/config" >>"$session_dir/sway.log" 2>&1 &
  echo $! >"$session_dir/sway.pid"
  for _ in $(seq 100); do
    [ -S "$SWAYSOCK" ] && [ -S "$runtime/wayland-1" ] && return 0
    sleep 0.1
  done
  echo "sway_session: sway did not start" >&2; cat "$session_dir/sway.log" >&2; return 1
}
if [ "${1:-}" = --restart ]; then
  # Inside a session: sway (and what it started) killed, and a new one
  # started on the same socket names, without XWayland.  Uses the folder of
  # the session's own run.
  session_dir=${CORVALIN_SWAY_SESSION:?not inside a sway session}
  old=$(cat "$session_dir/sway.pid")
  kill -- "-$old" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$old" 2>/dev/null || break; sleep 0.1; done
  runtime="$session_dir/runtime"
  rm -f "$runtime/wayland-1" "$runtime/wayland-1.lock" "$SWAYSOCK"
  sed -i 's/^xwayland enable$/xwayland disable/' "$session_dir/config"
  bus_env=()
  [ -S "$runtime/bus" ] && bus_env=(DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus")
  start_sway; exit
fi
bar=0
[ "${1:-}" = --bar ] && { bar=1; shift; }
[ $# -gt 0 ] || { echo "usage: $0 [--bar] COMMAND..." >&2; exit 2; }
session_dir=$(mktemp -d /tmp/corvalin-sway.XXXXXX)
chmod 0755 "$session_dir"
sway_pid=""
bus_pid=""
cleanup() {
  # sway's XWayland and what sway started run in sway's process group.
  [ -n "$sway_pid" ] && kill -- "-$sway_pid" 2>/dev/null && wait "$sway_pid" 2>/dev/null
  # A sway started again inside the session is no child of ours.
  local again
  again=$(cat "$session_dir/sway.pid" 2>/dev/null)
  [ -n "$again" ] && [ "$again" != "$sway_pid" ] && kill -- "-$again" 2>/dev/null
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null && wait "$bus_pid" 2>/dev/null
  rm -rf "$session_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# sway's XWayland runs as nobody: on a fresh machine it would make the
# shared X socket folder its own, and other X servers would refuse it.
mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
runtime="$session_dir/runtime"
mkdir -m 0700 "$runtime" && chown nobody "$runtime"
printf 'output HEADLESS-1 resolution 1280x720\nxwayland enable\n' >"$session_dir/config"
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
bus_env=()
if [ $bar = 1 ]; then
  # A session bus admits only its own user unless told; the folder keeps
  # everyone but nobody and root out anyway.
  cat >"$session_dir/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$runtime/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
  setpriv --reuid=nobody --regid=nogroup --clear-groups dbus-daemon --config-file="$session_dir/bus.conf" --nofork >"$session_dir/bus.log" 2>&1 &
  bus_pid=$!
  for _ in $(seq 50); do [ -S "$runtime/bus" ] && break; sleep 0.1; done
  [ -S "$runtime/bus" ] || { echo "sway_session: no session bus" >&2; cat "$session_dir/bus.log" >&2; exit 1; }
  bus_env=(DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus")
  printf 'bar {\n  position top\n  tray_output *\n}\n' >>"$session_dir/config"
fi
# The IPC socket's name is fixed, so that a sway started again (by
# `$0 --restart` from inside the session) is found where the first one was.
SWAYSOCK="$runtime/sway-ipc.sock"
start_sway || exit 1
sway_pid=$(cat "$session_dir/sway.pid")

export XDG_RUNTIME_DIR="$runtime"
export SWAYSOCK WAYLAND_DISPLAY=wayland-1 XDG_SESSION_TYPE=wayland
# sway starts XWayland for the first X client and names it to its children.
for _ in $(seq 50); do
  swaymsg -q exec "echo \$DISPLAY >$runtime/display"
  sleep 0.1
  DISPLAY=$(cat "$runtime/display" 2>/dev/null)
  [ -n "$DISPLAY" ] && break
done
export DISPLAY
for _ in $(seq 100); do
  as_nobody env DISPLAY="$DISPLAY" xhost +si:localuser:root >/dev/null 2>&1 && break
  sleep 0.1
done
export HOME="$session_dir/home"
mkdir -p "$HOME"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
export NO_AT_BRIDGE=1 GTK_A11Y=none SHELL=/bin/sh
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER
[ $bar = 1 ] && export "${bus_env[@]}"
export CORVALIN_SWAY_SESSION="$session_dir"
"$@"
