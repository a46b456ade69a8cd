#!/usr/bin/env bash
# MonitorWindows and AlwaysOnTop survive a restart, are written as 1 or 0,
# and the program adds no other option to the file.
source "$(dirname "$0")/lib.sh"
title='^Corvalin : Keep Watch!$'
dir=$(install_copy)
cfg=$dir/Corvalin.cfg

start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear"; finish; }
check "not on top by default" bash -c "! xprop -id $frame _NET_WM_STATE | grep -q ABOVE"
quit_via_menu "$frame"; wait_exit "$pid"
check "a first exit writes exactly the two options" \
  [ "$(awk '/^\[Options\]/{o=1;next} /^\[/{o=0} o' "$cfg" | sort | tr '\n' ' ')" = "AlwaysOnTop=0 MonitorWindows=1 " ]

# Options the user wrote: 5 reads as true, the read-only ones stay untouched;
# one appended after [Layout] is not read, and said once.
printf '[Options]\nAlwaysOnTop=5\nMonitorWindows=5\nMinimizeOnClose=0\nHotKey=80\n[Layout]\nNotifyUnprompted=1\n' > "$cfg"
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear"; finish; }
sleep 0.5
check "AlwaysOnTop=5 starts the frame on top" bash -c "xprop -id $frame _NET_WM_STATE | grep -q ABOVE"
activate "$frame"
press ctrl+m
quit_via_menu "$frame"; wait_exit "$pid"
check "AlwaysOnTop written back as 1" [ "$(cfg_value "$cfg" Options AlwaysOnTop)" = 1 ]
check "an option under [Layout] is said once on stderr, with its section" \
  [ "$(grep -c '^NotifyUnprompted under \[Layout\]$' "$dir/out.log")" = 1 ]
check "Ctrl+M switched monitoring off, saved as 0" [ "$(cfg_value "$cfg" Options MonitorWindows)" = 0 ]
check "read-only options are left as they were" \
  [ "$(cfg_value "$cfg" Options MinimizeOnClose),$(cfg_value "$cfg" Options HotKey)" = 0,80 ]
check "no option added beyond the two written ones" \
  bash -c "! grep -Eq '^(MinimizeOnRun|HotKeyVK|ShowIconInSystray)=' '$cfg'"

# Monitoring off after the restart: switching windows logs nothing.
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear"; finish; }
a=$(start_xterm "Settings A"); b=$(start_xterm "Settings B")
activate "$a"; activate "$b"
log=$(read_log "$frame")
check "monitoring stays off after the restart" bash -c "! grep -q 'Settings' <<<'$log'"
check "still on top after the restart" bash -c "xprop -id $frame _NET_WM_STATE | grep -q ABOVE"
quit_via_menu "$frame"; wait_exit "$pid"
check "monitoring still saved as off" [ "$(cfg_value "$cfg" Options MonitorWindows)" = 0 ]
finish
