#!/usr/bin/env bash
# Command-line switches of the real executable: exit status, usage and version
# (also without a display), and which files appear beside it.
source "$(dirname "$0")/lib.sh"

run_switch() {  # run_switch DIR ARGS... ; sets STATUS, OUT
  local dir=$1; shift
  "$dir/Corvalin" "$@" >"$dir/switch.log" 2>&1 </dev/null &
  local pid=$!
  wait_exit "$pid" 15
  STATUS=$EXIT_STATUS
  OUT=$(cat "$dir/switch.log")
}

dir=$(install_copy)
for sw in -h --help; do
  run_switch "$dir" "$sw"
  check "$sw exits with 255" [ "$STATUS" = 255 ]
  check "$sw prints the usage with both switches" \
    bash -c "grep -q -- '-h, --help' <<<\"\$1\" && grep -q -- '-p, --portable' <<<\"\$1\"" _ "$OUT"
  check "$sw offers no verbose switch" bash -c "! grep -qi verbose <<<\"\$1\"" _ "$OUT"
done
version=$(sed -n 's/^project(Corvalin VERSION \([0-9.]*\).*/\1/p' "$E2E_ROOT/CMakeLists.txt")
run_switch "$dir" --version
check "--version prints 'Corvalin $version' and exits with 255, as --help" \
  bash -c '[ "$1" = 255 ] && [ "$2" = "Corvalin $3" ]' _ "$STATUS" "$OUT" "$version"
# Neither needs a display.
env -u DISPLAY -u WAYLAND_DISPLAY "$dir/Corvalin" --help >"$dir/switch.log" 2>&1 </dev/null &
wait_exit $! 15
check "--help without a display prints the usage, status 255" \
  bash -c '[ "$1" = 255 ] && grep -q -- "-p, --portable" "$2"' _ "$EXIT_STATUS" "$dir/switch.log"
env -u DISPLAY -u WAYLAND_DISPLAY "$dir/Corvalin" --version >"$dir/switch.log" 2>&1 </dev/null &
wait_exit $! 15
check "--version without a display prints the version, status 255" \
  bash -c '[ "$1" = 255 ] && [ "$(cat "$2")" = "Corvalin $3" ]' _ "$EXIT_STATUS" "$dir/switch.log" "$version"
# Nor does the report, which ends with its own status.
printf '%s\n' '{"time":"2026-12-08T17:05:03.083+01:00","number":1,"module":"xterm","handle":7}' >"$dir/focus.jsonl"
env -u DISPLAY -u WAYLAND_DISPLAY "$dir/Corvalin" --report "$dir/focus.jsonl" >"$dir/switch.log" 2>&1 </dev/null &
wait_exit $! 15
check "--report without a display prints the table, status 0" \
  bash -c '[ "$1" = 0 ] && grep -q "^xterm  *1  *0  *0  *0  *-  *-  *-  *-  *2026-12-08 " "$2"' _ "$EXIT_STATUS" "$dir/switch.log"
env -u DISPLAY -u WAYLAND_DISPLAY "$dir/Corvalin" --report "$dir/missing.jsonl" >"$dir/switch.log" 2>&1 </dev/null &
wait_exit $! 15
check "--report of a file that cannot be read: status 2" [ "$EXIT_STATUS" = 2 ]
rm "$dir/focus.jsonl"
run_switch "$dir" /p
check "/p is not a switch: exit 255" [ "$STATUS" = 255 ]
check "/p is reported as an unexpected parameter" grep -q "Unexpected parameter '/p'" <<<"$OUT"
run_switch "$dir" notes.txt
check "a plain word is no parameter: exit 255" [ "$STATUS" = 255 ]
check "the word is reported" grep -q "Unexpected parameter 'notes.txt'" <<<"$OUT"
run_switch "$dir" -q
check "unknown switch exits with 255" [ "$STATUS" = 255 ]
check "unknown switch is named" grep -q "Unknown option 'q'" <<<"$OUT"
check "no settings file after early exits" [ ! -e "$dir/Corvalin.cfg" ]
check "no window was opened by early exits" bash -c "! xdotool search --name 'Corvalin : Keep Watch!' >/dev/null 2>&1"

# Portable mode keeps its files in the program directory too.
start_app "$dir" Corvalin -p
pid=$LAST_PID
frame=$(wait_window '^Corvalin : Keep Watch!$') || fail "-p: frame did not appear"
activate "$frame"
press alt+x
wait_dialog '^Corvalin$' 10 >/dev/null || fail "-p: no quit question"
answer_yes
wait_exit "$pid" 15
check "-p: quits with status 0 after Yes" [ "$EXIT_STATUS" = 0 ]
check "-p: Corvalin.cfg written beside the executable" grep -q '^\[Options\]' "$dir/Corvalin.cfg"
check "-p: perspective.layout written beside the executable" grep -q '^PerspectiveSelDlg2=layout2|' "$dir/perspective.layout"

# A Wayland session: the program runs on XWayland's X display and says what
# it can see; without an X display it stops with the reason.
rm -f "$dir/Corvalin.cfg"
XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-test GDK_BACKEND=wayland \
  "$dir/Corvalin" >"$dir/wayland.log" 2>&1 </dev/null &
pid=$!; E2E_PIDS+=("$pid")
frame=$(wait_window '^Corvalin : Keep Watch!$' 20)
check "Wayland session: runs through XWayland" test -n "$frame"
check "Wayland session: says only X11 applications' windows can be seen" \
  grep -q 'only the windows of X11 applications can be seen' "$dir/wayland.log"
stop_app "$pid"
DISPLAY= XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-test "$dir/Corvalin" >"$dir/nox.log" 2>&1 </dev/null &
wait_exit $! 15
check "Wayland session without XWayland: exits non-zero and says why" \
  bash -c '[ "$1" != 0 ] && [ "$1" != 124 ] && grep -qi display "$2"' _ "$EXIT_STATUS" "$dir/nox.log"

# Without a display the program says so and stops.
DISPLAY= "$dir/Corvalin" >"$dir/nodisplay.log" 2>&1 </dev/null &
wait_exit $! 15
check "no display: exits non-zero" [ "$EXIT_STATUS" != 0 ] && [ "$EXIT_STATUS" != 124 ]
check "no display: says why" grep -qi 'display' "$dir/nodisplay.log"
finish
