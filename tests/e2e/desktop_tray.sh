#!/usr/bin/env bash
# The tray icon in a real XEmbed tray host (trayer): embedded, a left click
# hides and shows the frame, the right-click menu restores and exits.
source "$(dirname "$0")/lib.sh"
quiet() { "$@" >/dev/null; }  # a check's command, status only
FRAME='^Corvalin : Keep Watch!$'
frame_visible() { xdotool search --onlyvisible --name "$FRAME" >/dev/null 2>&1; }
wait_hidden() {
  local end=$((SECONDS + 10))
  while frame_visible && [ $SECONDS -lt $end ]; do sleep 0.1; done
  ! frame_visible
}
# Opens the icon's menu and picks the item at POSITION (1 Restore, 2 Exit).
tray_menu() {  # tray_menu X Y POSITION
  local before
  before=$(windows_of "$pid" | wc -l)
  click_at "$1" "$2" 3
  wait_count $((before + 1)) 5 bash -c "xdotool search --onlyvisible --pid $pid | wc -l" ||
    { fail "right click opened no menu"; return 1; }
  local i
  for ((i = 0; i < $3; i++)); do xdotool key Down; done
  xdotool key Return
  sleep 0.3
}

dir=$(install_copy)
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$FRAME") || { fail "frame did not appear"; finish; }

centre=$(wait_tray_icon Corvalin)
check "the icon is embedded in the tray host" test -n "$centre"
if [ -z "$centre" ]; then
  # What there was instead: the program's words, the host's, and the panel.
  echo "--- program output"; cat "$dir/out.log"
  echo "--- trayer log"; cat "$CORVALIN_X_SESSION/trayer.log" 2>/dev/null
  echo "--- window tree"; xwininfo -root -tree 2>&1 | grep -v -E '^\s*$' | head -60
  finish
fi
set -- $centre; x=$1; y=$2
geometry=$(tray_icon_geometry Corvalin)
check "the icon has a real size in the panel (${geometry% * *})" \
  test "$(echo "$geometry" | cut -d' ' -f1)" -ge 8

# Left click: hidden frame comes back and is raised; active frame hides.
xdotool key --clearmodifiers alt+f; sleep 0.3; xdotool key h
check "Hide to Tray hides the frame" wait_hidden
click_at "$x" "$y" 1
check "left click on the icon shows the hidden frame" quiet wait_window "$FRAME" 5
check "... and activates it" bash -c "sleep 0.3; [ \"\$(xdotool getactivewindow)\" = $frame ]"
click_at "$x" "$y" 1
check "left click while the frame is active hides it" wait_hidden

# Minimised frames come back restored.
click_at "$x" "$y" 1
wait_window "$FRAME" 5 >/dev/null
xdotool windowminimize --sync "$frame" 2>/dev/null; sleep 0.3
check "minimising hides the frame" wait_hidden
click_at "$x" "$y" 1
check "left click restores a minimised frame" quiet wait_window "$FRAME" 5
check "... un-minimised" bash -c "! xprop -id $frame _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN"

# Menu: Restore.
xdotool key --clearmodifiers alt+f; sleep 0.3; xdotool key h
wait_hidden
tray_menu "$x" "$y" 1
check "menu item Restore shows the frame" quiet wait_window "$FRAME" 5

# Menu: Exit asks first; No keeps everything.
tray_menu "$x" "$y" 2
# The tray icon's own window is titled "Corvalin" too: wait for the dialog.
question=$(wait_dialog '^Corvalin$' 5)
check "menu item Exit asks \"Quit program?\" in a dialog of the program" test -n "$question"
xdotool windowactivate --sync "$question" 2>/dev/null; xdotool key --clearmodifiers alt+n; sleep 0.5
check "answering No keeps the program" kill -0 "$pid"
check "... and the icon" quiet tray_icon_geometry Corvalin
tray_menu "$x" "$y" 2
question=$(wait_dialog '^Corvalin$' 5)
[ -n "$question" ] && { xdotool windowactivate --sync "$question" 2>/dev/null; xdotool key --clearmodifiers alt+y; }
wait_exit "$pid" 10
check "answering Yes ends the program (status $EXIT_STATUS)" test "$EXIT_STATUS" = 0
check "the icon leaves the tray" bash -c "$(declare -f tray_icon_geometry); ! tray_icon_geometry Corvalin"

# ShowIconInSystray=0: no icon at all, no error.
printf '[Options]\nShowIconInSystray=0\n' > "$dir/Corvalin.cfg"
start_app "$dir"; pid=$LAST_PID
wait_window "$FRAME" >/dev/null || fail "frame did not appear without icon"
sleep 1
check "ShowIconInSystray=0 puts no icon in the tray" bash -c "$(declare -f tray_icon_geometry); ! tray_icon_geometry Corvalin"
check "... and reports nothing" test "$(count_windows 'Corvalin Error')" = 0
stop_app "$pid"
finish
