#!/usr/bin/env bash
# The end of the session saves: termination signals, also under an open
# question, and the loss of the X server.
source "$(dirname "$0")/lib.sh"
title='^Corvalin : Keep Watch!$'

for signal in TERM HUP INT; do
  dir=$(install_copy)
  start_app "$dir"; pid=$LAST_PID
  frame=$(wait_window "$title") || { fail "frame did not appear"; finish; }
  xdotool windowmove --sync "$frame" 150 160; sleep 0.3
  kill -s "$signal" "$pid"
  wait_exit "$pid" 10
  check "SIG$signal ends the program normally" [ "$EXIT_STATUS" = 0 ]
  check "SIG$signal saved the position" \
    [ "$(cfg_value "$dir/Corvalin.cfg" Layout/SelDlg PosX),$(cfg_value "$dir/Corvalin.cfg" Layout/SelDlg PosY)" = 150,160 ]
  check "SIG$signal saved the dock layout" grep -q '^PerspectiveSelDlg2=layout2|' "$dir/perspective.layout"
done

# Under an open box (the quit question, a file dialog): saved at once, the
# box closed as cancelled, and the program ends within a second without
# asking again.
dir=$(install_copy)
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear"; finish; }
xdotool windowmove --sync "$frame" 210 220; sleep 0.3
activate "$frame"
xdotool key --clearmodifiers alt+x
question=$(wait_dialog '^Corvalin$' 5) || fail "no quit question"
kill -TERM "$pid"; sent=$(date +%s%N)
wait_exit "$pid" 5
took=$(( ($(date +%s%N) - sent) / 1000000 ))
check "SIGTERM under the question ends the program normally within a second ($took ms)" \
  [ "$EXIT_STATUS" = 0 ] && [ "$took" -lt 1000 ]
check "... saved" [ "$(cfg_value "$dir/Corvalin.cfg" Layout/SelDlg PosX)" = 210 ]
dir=$(install_copy)
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear"; finish; }
xdotool windowmove --sync "$frame" 230 240; sleep 0.3
activate "$frame"
xdotool key --clearmodifiers ctrl+s
wait_dialog '^Save Log As$' 5 >/dev/null || fail "no file dialog"
kill -HUP "$pid"; sent=$(date +%s%N)
wait_exit "$pid" 5
took=$(( ($(date +%s%N) - sent) / 1000000 ))
check "SIGHUP under a file dialog ends the program within a second ($took ms)" \
  [ "$EXIT_STATUS" = 0 ] && [ "$took" -lt 1000 ]
check "... saved" [ "$(cfg_value "$dir/Corvalin.cfg" Layout/SelDlg PosX)" = 230 ]

# A private X server, killed under the running program.
dir=$(install_copy)
export SETTINGS_DIR=$dir E2E_ROOT CORVALIN_BIN
"$E2E_ROOT/tests/x_session.sh" bash -c '
  source "$E2E_ROOT/tests/e2e/lib.sh"
  start_app "$SETTINGS_DIR"; pid=$LAST_PID
  frame=$(wait_window "^Corvalin : Keep Watch!\$") || exit 3
  xdotool windowmove --sync "$frame" 170 180; sleep 0.3
  kill -KILL "$CORVALIN_XVFB_PID"
  wait_exit "$pid" 10
  echo "$EXIT_STATUS" > "$SETTINGS_DIR/status"' 2>/dev/null
check "the program ended when its X server died" [ "$(cat "$dir/status" 2>/dev/null)" = 1 ]
check "it saved the position first" \
  [ "$(cfg_value "$dir/Corvalin.cfg" Layout/SelDlg PosX),$(cfg_value "$dir/Corvalin.cfg" Layout/SelDlg PosY)" = 170,180 ]
check "and the options" [ "$(cfg_value "$dir/Corvalin.cfg" Options MonitorWindows)" = 1 ]
check "and the dock layout" grep -q '^PerspectiveSelDlg2=layout2|' "$dir/perspective.layout"
check "it said why on stderr" grep -q 'connection to the display was lost' "$dir/out.log"
finish
