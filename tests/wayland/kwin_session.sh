#!/usr/bin/env bash
# Runs a command inside a private headless KWin (Plasma's compositor) with
# Xwayland, on a session bus of its own, with HOME and XDG_RUNTIME_DIR in a
# temporary folder.  The command gets WAYLAND_DISPLAY, DISPLAY and
# DBUS_SESSION_BUS_ADDRESS of that session.  Stops exactly what it started.
# Usage: tests/wayland/kwin_session.sh COMMAND [ARGS...]
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND..." >&2; exit 2; }

# `$0 --restart` from inside the session: KWin killed and a new one started
# on the same bus and socket, without Xwayland.
start_kwin() {  # start_kwin [--xwayland]
  rm -f "$session_dir/env"
  KWIN_SESSION_DIR=$session_dir "$session_dir/kwin_wayland" --virtual "$@" --socket "$(cat "$session_dir/socket")" \
    --width 1280 --height 1024 --no-lockscreen --no-global-shortcuts --no-kactivities \
    --exit-with-session "$session_dir/holder.sh" >>"$session_dir/kwin.log" 2>&1 &
  echo $! >"$session_dir/kwin.pid"
  local pid=$!
  for _ in $(seq 200); do
    [ -s "$session_dir/env" ] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "kwin_session: KWin did not start" >&2
  tail -n 20 "$session_dir/kwin.log" >&2
  return 1
}
if [ "$1" = --restart ]; then
  session_dir=${CORVALIN_KWIN_SESSION:?not inside a KWin session}
  old=$(cat "$session_dir/kwin.pid")
  kill -9 "$old"
  for _ in $(seq 50); do kill -0 "$old" 2>/dev/null || break; sleep 0.1; done
  kill "$(cat "$session_dir/holder.pid")" 2>/dev/null
  start_kwin
  exit
fi

# The bus first: dbus-run-session ends its daemon when we return.
if [ -z "${CORVALIN_KWIN_BUS:-}" ]; then
  CORVALIN_KWIN_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
unset CORVALIN_KWIN_BUS

kwin=$(command -v kwin_wayland) || { echo "kwin_session: kwin_wayland is not installed" >&2; exit 1; }
session_dir=$(mktemp -d /tmp/corvalin-kwin.XXXXXX)
kwin_pid=""
cleanup() {
  # The placeholder session program ends first; KWin follows it out.
  [ -s "$session_dir/holder.pid" ] && kill "$(cat "$session_dir/holder.pid")" 2>/dev/null
  if [ -n "$kwin_pid" ]; then
    for _ in $(seq 50); do kill -0 "$kwin_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$kwin_pid" 2>/dev/null
    wait "$kwin_pid" 2>/dev/null
  fi
  # A KWin started again inside the session is no child of ours.
  local again
  again=$(cat "$session_dir/kwin.pid" 2>/dev/null)
  [ -n "$again" ] && [ "$again" != "$kwin_pid" ] && kill "$again" 2>/dev/null
  rm -rf "$session_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export HOME="$session_dir/home"
export XDG_RUNTIME_DIR="$session_dir/runtime"
mkdir -p "$HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
export NO_AT_BRIDGE=1 GTK_A11Y=none
unset DISPLAY WAYLAND_DISPLAY SESSION_MANAGER XDG_SESSION_TYPE
# Debian's binary carries a file capability that a container may refuse to
# grant ("Operation not permitted"); a plain copy runs without it.
cp "$kwin" "$session_dir/kwin_wayland"

# KWin starts its session program once Wayland and Xwayland are up: ours
# writes down where they are and waits to be stopped.
cat >"$session_dir/holder.sh" <<'EOF'
#!/bin/sh
echo $$ >"$KWIN_SESSION_DIR/holder.pid"
printf 'WAYLAND_DISPLAY=%s\nDISPLAY=%s\n' "$WAYLAND_DISPLAY" "$DISPLAY" >"$KWIN_SESSION_DIR/env.tmp"
mv "$KWIN_SESSION_DIR/env.tmp" "$KWIN_SESSION_DIR/env"
exec sleep 3600
EOF
chmod +x "$session_dir/holder.sh"
echo "corvalin-kwin-$$" >"$session_dir/socket"
start_kwin --xwayland
kwin_pid=$(cat "$session_dir/kwin.pid")
[ -s "$session_dir/env" ] || exit 1
set -a
. "$session_dir/env"
set +a
export XDG_SESSION_TYPE=wayland CORVALIN_KWIN_SESSION="$session_dir"
"$@"
