#!/usr/bin/env bash
# Size, position and the maximised state survive an exit through the menu.
source "$(dirname "$0")/lib.sh"
title='^Corvalin : Keep Watch!$'
dir=$(install_copy)
cfg=$dir/Corvalin.cfg

start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear"; finish; }
xdotool windowsize --sync "$frame" 700 500
xdotool windowmove --sync "$frame" 100 120
sleep 0.5
check "the frame took the new size" [ "$(window_size "$frame")" = 700x500 ]
where=$(window_position "$frame")
quit_via_menu "$frame"
wait_exit "$pid"
check "exit through the menu ends the program normally" [ "$EXIT_STATUS" = 0 ]
check "saved position is the frame's outer corner" \
  [ "$(cfg_value "$cfg" Layout/SelDlg PosX),$(cfg_value "$cfg" Layout/SelDlg PosY)" = 100,120 ]
w=$(cfg_value "$cfg" Layout/SelDlg SizeW); h=$(cfg_value "$cfg" Layout/SelDlg SizeH)
check "saved size is the outer size around 700x500 ($w x $h)" \
  [ "$w" -ge 700 ] && [ "$w" -le 720 ] && [ "$h" -ge 500 ] && [ "$h" -le 560 ]
check "not maximised" [ "$(cfg_value "$cfg" Layout/SelDlg IsMaximized)" = 0 ]
check "the dock layout was written" grep -q '^PerspectiveSelDlg2=layout2|name=' "$dir/perspective.layout"

start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear again"; finish; }
sleep 0.5
check "the size came back" [ "$(window_size "$frame")" = 700x500 ]
check "the position came back ($where)" [ "$(window_position "$frame")" = "$where" ]
wmctrl -i -r "$frame" -b add,maximized_vert,maximized_horz
sleep 0.7
quit_via_menu "$frame"
wait_exit "$pid"
check "maximised is saved" [ "$(cfg_value "$cfg" Layout/SelDlg IsMaximized)" = 1 ]
check "the normal size is kept while maximised" \
  [ "$(cfg_value "$cfg" Layout/SelDlg SizeW)x$(cfg_value "$cfg" Layout/SelDlg SizeH)" = "${w}x${h}" ]

start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$title") || { fail "frame did not appear a third time"; finish; }
sleep 0.5
state=$(xprop -id "$frame" _NET_WM_STATE)
check "the frame starts maximised" \
  bash -c "grep -q MAXIMIZED_VERT <<<'$state' && grep -q MAXIMIZED_HORZ <<<'$state'"
wmctrl -i -r "$frame" -b remove,maximized_vert,maximized_horz
sleep 0.7
check "un-maximising returns to the normal size" [ "$(window_size "$frame")" = 700x500 ]
kill "$pid"; wait_exit "$pid"
check "the normal size survives a maximised run" \
  [ "$(cfg_value "$cfg" Layout/SelDlg SizeW)x$(cfg_value "$cfg" Layout/SelDlg SizeH)" = "${w}x${h}" ]
finish
