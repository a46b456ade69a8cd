#!/usr/bin/env bash
# A Wayland compositor that tells no program the focus (weston): the
# program says what it can see, on stderr and in its window, and logs no
# false line while native windows take the focus.  Inside
# tests/wayland/weston_session.sh.
source "$(dirname "$0")/lib.sh"

dir=$(install_copy)
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\n' >"$dir/Corvalin.cfg"
start_app "$dir"
app=$LAST_PID
wait_count 1 20 grep -c 'only the windows of X11 applications can be seen' "$dir/out.log"
check "says that only X11 applications' windows can be seen" \
  grep -q 'tells no program which window has the focus, so only the windows of X11 applications can be seen' "$dir/out.log"

# Native windows open (headless weston gives nothing the keyboard, so no
# window is active in X11's sense either): nothing may be logged for them.
GDK_BACKEND=wayland zenity --info --title 'Gtk Native' --text native >/dev/null 2>&1 & E2E_PIDS+=($!)
GDK_BACKEND=wayland zenity --info --title 'Gtk Later' --text native >/dev/null 2>&1 & E2E_PIDS+=($!)
sleep 2
check "no line for native windows" \
  bash -c '! grep -qE "Gtk|Not a valid window" "$1" 2>/dev/null' _ "$dir/focus.jsonl"
check "monitoring survives it all" kill -0 "$app"
finish
