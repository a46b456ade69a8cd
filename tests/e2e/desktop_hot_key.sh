#!/usr/bin/env bash
# The global hot key: Ctrl+Shift+P records the active window with monitoring
# off, whatever the lock keys and after a keymap change; the option values 0,
# 65542 and 16; a combination held by another client.
source "$(dirname "$0")/lib.sh"
quiet() { "$@" >/dev/null; }  # a check's command, status only
FRAME='^Corvalin : Keep Watch!$'
KEYTOOL=${X_KEY_TOOL:-$E2E_ROOT/build/tests/x_key_tool}
dir=$(install_copy)

# Starts the copy with the given option lines; sets pid.
launch_with() {  # launch_with OPTION_LINE...
  printf '[Options]\n' > "$dir/Corvalin.cfg"
  printf '%s\n' "$@" >> "$dir/Corvalin.cfg"
  start_app "$dir"; pid=$LAST_PID
}
# The same, then waits for the frame; sets frame.
start_with() {  # start_with OPTION_LINE...
  launch_with "$@"
  frame=$(wait_window "$FRAME") || fail "frame did not appear ($*)"
}
# Answers the error box.
dismiss_error() {
  xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Corvalin Error$' | head -n1)" 2>/dev/null
  xdotool key --clearmodifiers Return
  wait_no_window '^Corvalin Error$' 5
}
grab_state() { "$KEYTOOL" probe "$@"; }  # prints free or busy
xterm_lines() { read_log "$frame" | grep -c "xterm - $1 ("; }

# Default combination, monitoring off.
start_with MonitorWindows=0
a=$(start_xterm "Alpha")
b=$(start_xterm "Bravo")
check "Ctrl+Shift+P is grabbed by the program" test "$(grab_state p ctrl+shift)" = busy
check "... also with NumLock and CapsLock" test "$(grab_state p ctrl+shift+mod2+lock)" = busy
check "Ctrl+P stays free for others" test "$(grab_state p ctrl)" = free
activate "$a"
xdotool key ctrl+shift+p; sleep 0.3
check "the key does not take the focus away" test "$(active_window)" = "$a"
xdotool key ctrl+shift+p; sleep 0.3
log=$(read_log "$frame")
echo "$log"
check "one line for the active xterm, none for the repeat" \
  test "$(grep -c . <<<"$log")" = 1
check "... naming it with its window id" grep -Fq "xterm - Alpha ($a) " <<<"$log"
check "... numbered 001" grep -q '^001\. ' <<<"$log"

xdotool key Num_Lock; sleep 0.2
check "NumLock is on" test "$("$KEYTOOL" numlock)" = on
activate "$b"
xdotool key ctrl+shift+p; sleep 0.3
xdotool key Num_Lock; sleep 0.2
log=$(read_log "$frame")
check "with NumLock on the key still works" grep -Eq "^002\. .*xterm - Bravo \($b\) " <<<"$log"

# The keysym moves to another key: the grab must follow it.
old=$("$KEYTOOL" move p 200)
sleep 0.5
activate "$a"
xdotool key ctrl+shift+p; sleep 0.3
[ -n "$old" ] && "$KEYTOOL" move p "$old" >/dev/null
sleep 0.5
log=$(read_log "$frame")
check "after a keyboard mapping change the key still works" \
  grep -Eq "^003\. .*xterm - Alpha \($a\) " <<<"$log"
check "... and the grab is back on the original key afterwards" \
  test "$(grab_state p ctrl+shift)" = busy
stop_app "$pid"
check "the grab ends with the program" test "$(grab_state p ctrl+shift)" = free

# Option values.
start_with HotKey=0
check "HotKey=0 grabs nothing" test "$(grab_state p ctrl+shift)" = free
stop_app "$pid"
start_with HotKeyVK=0
check "HotKeyVK=0 grabs nothing" test "$(grab_state p ctrl+shift)" = free
check "... and reports nothing" test "$(count_windows 'Corvalin Error')" = 0
stop_app "$pid"
start_with HotKeyVK=65542 MonitorWindows=0
check "HotKeyVK=65542 grabs Ctrl+Shift+P like 6" test "$(grab_state p ctrl+shift)" = busy
activate "$b"
xdotool key ctrl+shift+p; sleep 0.3
check "... and records the active window" \
  grep -Eq "^001\. .*xterm - Bravo \($b\) " <<<"$(read_log "$frame")"
stop_app "$pid"
start_with HotKeyVK=16 HotKey=123
check "HotKeyVK=16 grabs the key alone (F12)" test "$(grab_state F12 none)" = busy
check "... not with Ctrl+Shift" test "$(grab_state F12 ctrl+shift)" = free
stop_app "$pid"
launch_with HotKey=7 HotKeyVK=6
check "an unmapped key code reports the error" quiet wait_window '^Corvalin Error$' 20
dismiss_error
stop_app "$pid"

# Another client holds the NumLock variant of the combination.
"$KEYTOOL" hold p ctrl+shift+mod2 >"$E2E_TMP/hold.out" &
holder=$!; E2E_PIDS+=("$holder")
wait_count 1 5 bash -c "grep -c held '$E2E_TMP/hold.out'" || fail "holder did not grab"
launch_with MonitorWindows=1
check "a held combination reports the error" quiet wait_window '^Corvalin Error$' 20
sleep 1
check "... exactly once" test "$(count_windows 'Corvalin Error')" = 1
dismiss_error
sleep 1
check "... and not again" test "$(count_windows 'Corvalin Error')" = 0
frame=$(wait_window "$FRAME") || fail "frame did not appear after the error"
check "the variants grabbed before the refusal are given back" \
  test "$(grab_state p ctrl+shift)" = free
check "the program runs on" kill -0 "$pid"
activate "$a"
check "... and its monitor still logs" \
  grep -Fq "xterm - Alpha ($a) " <<<"$(read_log "$frame")"
stop_app "$pid"
kill "$holder"
finish
