#!/usr/bin/env bash
# Runs a command inside a private headless GNOME Shell (Wayland, with
# Xwayland on demand), on private session and system buses, with HOME in a
# temporary folder.  Stops exactly what it started.
#
# --extension DIR (repeatable) installs the extension folder DIR as a user
# extension and enables it before the shell starts: the shell loads a newly
# installed extension only when it starts.
#
# Inside, WAYLAND_DISPLAY, DISPLAY and XAUTHORITY (Xwayland),
# DBUS_SESSION_BUS_ADDRESS and GNOME_SESSION_DIR are set; the shell's output
# is in $GNOME_SESSION_DIR/shell.log.
# Usage: tests/wayland/gnome_session.sh [--extension DIR]... COMMAND [ARGS...]
set -uo pipefail

if [ "${1:-}" = --inside ]; then
  # Second stage, on the private session bus of dbus-run-session.
  shift
  extensions=()
  while [ "${1:-}" = --extension ]; do extensions+=("$2"); shift 2; done
  uuids=()
  for dir in "${extensions[@]}"; do
    uuid=$(basename "$dir")
    mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
    cp -r "$dir" "$XDG_DATA_HOME/gnome-shell/extensions/$uuid"
    uuids+=("'$uuid'")
  done
  list=$(IFS=,; echo "[${uuids[*]}]")
  # dconf writes under XDG_CONFIG_HOME; its service starts on the session bus.
  gsettings set org.gnome.shell disable-user-extensions false
  gsettings set org.gnome.shell enabled-extensions "$list"
  # No screen lock, no welcome tour in the way of the test's windows.
  gsettings set org.gnome.desktop.screensaver lock-enabled false 2>/dev/null
  gsettings set org.gnome.desktop.session idle-delay 0 2>/dev/null
  gsettings set org.gnome.shell welcome-dialog-last-shown-version '999' 2>/dev/null

  wayland=corvalin-wl-$$
  gnome-shell --headless --wayland --wayland-display="$wayland" --virtual-monitor 1280x720 \
    >"$GNOME_SESSION_DIR/shell.log" 2>&1 &
  shell=$!
  stop_shell() { kill "$shell" 2>/dev/null; wait "$shell" 2>/dev/null; }
  trap stop_shell EXIT
  trap 'exit 130' INT TERM
  # The shell is up once it answers on the bus and its extensions are read.
  ready=0
  for _ in $(seq 300); do
    kill -0 "$shell" 2>/dev/null || break
    if gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
         --method org.gnome.Shell.Extensions.ListExtensions >/dev/null 2>&1 &&
       [ -S "$XDG_RUNTIME_DIR/$wayland" ]; then
      ready=1; break
    fi
    sleep 0.1
  done
  if [ $ready = 0 ]; then
    echo "gnome_session: GNOME Shell did not start" >&2
    tail -n 30 "$GNOME_SESSION_DIR/shell.log" >&2
    exit 1
  fi
  export WAYLAND_DISPLAY=$wayland
  # Xwayland (started by mutter on the first X11 client) and its cookie.
  display=$(grep -o 'Using public X11 display :[0-9]*' "$GNOME_SESSION_DIR/shell.log" | grep -o ':[0-9]*$')
  [ -n "$display" ] && export DISPLAY=$display
  cookie=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)
  [ -n "$cookie" ] && export XAUTHORITY=$cookie
  "$@"
  exit $?
fi

[ $# -gt 0 ] || { echo "usage: $0 [--extension DIR]... COMMAND..." >&2; exit 2; }

session_dir=$(mktemp -d /tmp/corvalin-gnome.XXXXXX)
system_bus=
cleanup() {
  [ -n "$system_bus" ] && { kill "$system_bus" 2>/dev/null; wait "$system_bus" 2>/dev/null; }
  rm -rf "$session_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# HOME and the XDG folders before dbus-run-session, so that the bus's
# services (dconf above all) see the same ones as the shell.
export HOME="$session_dir/home"
export XDG_RUNTIME_DIR="$session_dir/runtime"
mkdir -p "$HOME" && mkdir -m 0700 -p "$XDG_RUNTIME_DIR"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
export GNOME_SESSION_DIR="$session_dir"
export NO_AT_BRIDGE=1 GTK_A11Y=none XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER DISPLAY WAYLAND_DISPLAY

# GNOME Shell wants a system bus (logind, accounts, …); a private one that
# lets everything through keeps it off the machine's.
cat >"$session_dir/system-bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$session_dir/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$session_dir/system-bus.conf" --nofork --nopidfile \
  >"$session_dir/system-bus.log" 2>&1 &
system_bus=$!
for _ in $(seq 50); do [ -S "$session_dir/system_bus_socket" ] && break; sleep 0.1; done
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$session_dir/system_bus_socket"

dbus-run-session -- bash "$0" --inside "$@"
