#!/usr/bin/env bash
# Without any notification area: the icon fails after its retries with one
# error, and the program runs on; with ShowIconInSystray=0 nothing is said.
# Runs itself again inside a private X session without a tray host.
if [ -z "${DESKTOP_NO_TRAY:-}" ]; then
  DESKTOP_NO_TRAY=1 exec "$(dirname "$0")/../x_session.sh" --no-tray bash "$0"
fi
source "$(dirname "$0")/lib.sh"
quiet() { "$@" >/dev/null; }  # a check's command, status only
FRAME='^Corvalin : Keep Watch!$'

check "no tray host owns _NET_SYSTEM_TRAY_S0 in this session" \
  bash -c "xdotool search --classname trayer >/dev/null 2>&1; [ \$? -ne 0 ]"

dir=$(install_copy)
started=$(date +%s%N)
start_app "$dir"; pid=$LAST_PID
check "the error is shown" quiet wait_window '^Corvalin Error$' 20
shown=$(date +%s%N)
check "... after the 20 attempts of 30 ms ($(( (shown - started) / 1000000 )) ms)" \
  test $(( (shown - started) / 1000000 )) -ge 600
sleep 1
check "exactly one error box" test "$(count_windows 'Corvalin Error')" = 1
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Corvalin Error$' | head -n1)" 2>/dev/null
xdotool key --clearmodifiers Return
check "the box goes away when answered" wait_no_window '^Corvalin Error$' 5
sleep 1
check "no further error follows" test "$(count_windows 'Corvalin Error')" = 0
check "the program runs on" kill -0 "$pid"
frame=$(wait_window "$FRAME" 5)
check "... with its frame" test -n "$frame"
check "... which still answers (the log can be read)" bash -c "
  $(declare -f read_log activate active_window); [ -n \"\$(read_log $frame)\" ]"
# Without a tray, hiding still hides; a second start brings the frame back.
activate "$frame"
xdotool key --clearmodifiers alt+f; sleep 0.3; xdotool key h
check "Hide to Tray hides the frame, tray or not" wait_no_window "$FRAME" 5
run_watched "$dir/second.log" "$dir/Corvalin"
check "... and a second start shows it again (status $RUN_STATUS)" quiet wait_window "$FRAME" 5
stop_app "$pid"

printf '[Options]\nShowIconInSystray=0\n' > "$dir/Corvalin.cfg"
start_app "$dir"; pid=$LAST_PID
wait_window "$FRAME" >/dev/null || fail "frame did not appear"
sleep 1.5
check "ShowIconInSystray=0 reports nothing even without a tray" \
  test "$(count_windows 'Corvalin Error')" = 0
stop_app "$pid"
finish
