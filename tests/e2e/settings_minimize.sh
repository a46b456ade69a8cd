#!/usr/bin/env bash
# MinimizeOnRun starts hidden and leaves the earlier window active;
# MinimizeOnClose turns the close box into hiding.
source "$(dirname "$0")/lib.sh"
title='^Corvalin : Keep Watch!$'

dir=$(install_copy)
printf '[Options]\nMinimizeOnRun=1\n' > "$dir/Corvalin.cfg"
here=$(start_xterm "Working here")
activate "$here"
start_app "$dir"; pid=$LAST_PID
# The tray icon shows that start-up has finished.
wait_window '^Corvalin$' 20 >/dev/null || fail "tray icon did not appear"
sleep 1
check "MinimizeOnRun: no frame is shown" [ "$(count_windows "$title")" = 0 ]
# The hand-back goes through the window manager: give it a moment on a
# busy machine.
for _ in $(seq 50); do
  active_now=$(active_window)
  [ "$active_now" = "$here" ] && break
  sleep 0.1
done
check "MinimizeOnRun: the earlier window is still active" [ "$active_now" = "$here" ] || echo "  active: $active_now $(xdotool getwindowname "$active_now" 2>/dev/null), expected $here"
check "MinimizeOnRun: the program is running" kill -0 "$pid"
kill -TERM "$pid"; wait_exit "$pid"
check "MinimizeOnRun is kept, not rewritten" [ "$(cfg_value "$dir/Corvalin.cfg" Options MinimizeOnRun)" = 1 ]

dir=$(install_copy)
printf '[Options]\nMinimizeOnClose=1\n' > "$dir/Corvalin.cfg"
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear"; finish; }
wmctrl -i -c "$frame"  # by id: a scan of all windows fails on one that is just vanishing
check "MinimizeOnClose: the close box hides the frame" wait_no_window "$title" 5
sleep 0.5
check "MinimizeOnClose: no quit question" [ -z "$(dialog_windows '^Corvalin$')" ]
check "MinimizeOnClose: the program keeps running" kill -0 "$pid"
kill -TERM "$pid"; wait_exit "$pid"
check "a hidden frame ends normally on SIGTERM" [ "$EXIT_STATUS" = 0 ]

dir=$(install_copy)
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear"; finish; }
wmctrl -i -c "$frame"  # by id: a scan of all windows fails on one that is just vanishing
asked=$(wait_dialog '^Corvalin$' 5)
check "without MinimizeOnClose the close box asks" [ -n "$asked" ]
check "the frame stays while it asks" [ "$(count_windows "$title")" = 1 ]
answer_yes
wait_exit "$pid"
check "and Yes quits" [ "$EXIT_STATUS" = 0 ]
finish
