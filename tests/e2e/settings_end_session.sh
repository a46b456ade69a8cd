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

# Under the open quit question: saved at once, the frame stays until the
# question is gone, then the program quits without asking again.
dir=$(install_copy)
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear"; finish; }
xdotool windowmove --sync "$frame" 210 220; sleep 0.3
activate "$frame"
xdotool key --clearmodifiers alt+x
question=$(wait_dialog '^Corvalin$' 5) || fail "no quit question"
kill -TERM "$pid"; sleep 1
check "saved at once under the question" [ "$(cfg_value "$dir/Corvalin.cfg" Layout/SelDlg PosX)" = 210 ]
check "still running while the question is open" kill -0 "$pid"
check "the question is still open" [ -n "$(dialog_windows '^Corvalin$')" ]
xdotool windowactivate --sync "$question" key --clearmodifiers alt+n
wait_exit "$pid" 10
check "answering No still ends the session" [ "$EXIT_STATUS" = 0 ]

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
