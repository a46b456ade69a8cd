#!/usr/bin/env bash
# The tray icon where the tray takes StatusNotifierItems only: swaybar's tray
# inside tests/wayland/sway_session.sh --bar.  The item registers with the
# watcher, shows its icon, title and menu, Activate and the menu act like the
# XEmbed icon, odd calls get errors, and Exit asks before quitting.
source "$(dirname "$0")/lib.sh"
FRAME='^Corvalin : Keep Watch!$'
WATCHER=(org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.kde.StatusNotifierWatcher)
items() { busctl --user get-property "${WATCHER[@]}" RegisteredStatusNotifierItems 2>/dev/null; }
mapped() { xwininfo -id "$frame" | grep -q 'Map State: IsViewable'; }
wait_state() {  # wait_state mapped|unmapped
  local end=$((SECONDS + 5))
  while [ $SECONDS -lt $end ]; do
    if mapped; then [ "$1" = mapped ] && return 0; else [ "$1" = unmapped ] && return 0; fi
    sleep 0.1
  done
  return 1
}

dir=$(install_copy)
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$FRAME") || { fail "frame did not appear"; finish; }
name="org.kde.StatusNotifierItem-$pid-1"
check "the item is registered with swaybar's watcher as $name" \
  wait_count 1 10 bash -c "$(declare -f items); $(declare -p WATCHER); items | grep -c '\"$name/StatusNotifierItem\"'"
# A bar restarted by a reload brings a new watcher, which must learn of us.
watcher_owner() { busctl --user call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus GetNameOwner s "${WATCHER[0]}" 2>/dev/null; }
first=$(watcher_owner)
swaymsg -q reload
check "the watcher of the reloaded bar has the item too" \
  wait_count 1 10 bash -c "$(declare -f items watcher_owner); $(declare -p WATCHER)
    [ \"\$(watcher_owner)\" != '$first' ] && items | grep -c '\"$name/StatusNotifierItem\"'"
item=("$name" /StatusNotifierItem org.kde.StatusNotifierItem)
menu=("$name" /MenuBar com.canonical.dbusmenu)

check "Title, Category and Status read back" test "$(
  for p in Title Category Status; do busctl --user get-property "${item[@]}" "$p"; done | tr '\n' ' ')" \
  = 's "Corvalin" s "ApplicationStatus" s "Active" '
busctl --user --json=short get-property "${item[@]}" IconPixmap | python3 -c '
import colorsys, json, sys
icons = json.load(sys.stdin)["data"]
assert [(w, h) for w, h, _ in icons] == [(16, 16), (32, 32)], [(w, h) for w, h, _ in icons]
# resources/corvalin.svg, in its 32-unit grid: a dark frame from the top-left
# corner, the top-right corner clear (the shadow is offset down), and six
# tiles red, green, blue / yellow, orange, purple.  The renderer blends the
# frame into the title bar at 16 px, so colours are told apart by hue, which
# also shows a misread byte order; alpha leads each pixel.
tiles = [((6, 13), 5, "red"), ((15, 13), 120, "green"), ((24, 13), 215, "blue"),
         ((6, 23), 45, "yellow"), ((15, 23), 28, "orange"), ((24, 23), 280, "purple")]
for w, h, argb in icons:
    assert len(argb) == w * h * 4, (w, h, len(argb))
    def at(ux, uy):
        i = (int(uy * h / 32) * w + int(ux * w / 32)) * 4
        return argb[i:i + 4]
    a, r, g, b = at(0, 0)
    assert a == 255 and max(r, g, b) < 128, (w, "top-left", [a, r, g, b])
    assert at(31, 0)[0] == 0, (w, "top-right", at(31, 0))
    for (ux, uy), hue, name in tiles:
        a, r, g, b = at(ux, uy)
        hh, ss, vv = colorsys.rgb_to_hsv(r / 255, g / 255, b / 255)
        off = abs((hh * 360 - hue + 180) % 360 - 180)
        assert a == 255 and ss > 0.4 and vv > 0.4 and off < 15, (w, name, [a, r, g, b])
' && pass "IconPixmap holds the 16 and 32 px icon as ARGB32" || fail "IconPixmap"

# The host's primary click: hides the active frame, shows it again.
busctl --user call "${item[@]}" Activate ii 0 0
check "Activate hides the frame" wait_state unmapped
busctl --user call "${item[@]}" Activate ii 0 0
check "Activate again shows it" wait_state mapped

layout=$(busctl --user call "${menu[@]}" GetLayout iias -- 0 -1 0)
check "the menu is Restore, a separator and Exit" \
  bash -c "[[ '$layout' == *'\"label\" s \"Restore\"'*'\"type\" s \"separator\"'*'\"label\" s \"Exit\"'* ]]"

# What no host sends: wrong argument types, unknown items.  The error must
# be the program's reply, not busctl's own complaint.
refused() { local out; ! out=$(busctl --user call "$@" 2>&1) && [[ $out == "Call failed"* ]]; }
odd=0
refused "${menu[@]}" Event s clicked || odd=1
refused "${menu[@]}" Event isvu 99 clicked s x 0 || odd=1
refused "${menu[@]}" GetLayout iias -- 42 -1 0 || odd=1
refused "${item[@]}" Activate s x || odd=1
check "odd calls get error replies" test "$odd" = 0
check "... and the program lives on" kill -0 "$pid"

busctl --user call "${item[@]}" Activate ii 0 0
wait_state unmapped
busctl --user call "${menu[@]}" Event isvu 1 clicked s "" 0
check "menu item Restore shows the hidden frame" wait_state mapped

busctl --user call "${menu[@]}" Event isvu 3 clicked s "" 0
question=$(wait_dialog '^Corvalin$' 5)
check "menu item Exit asks \"Quit program?\"" test -n "$question"
answer_yes
wait_exit "$pid" 10
check "answering Yes ends the program (status $EXIT_STATUS)" test "$EXIT_STATUS" = 0
check "the item leaves the watcher" bash -c "! busctl --user get-property ${WATCHER[*]} RegisteredStatusNotifierItems | grep -q '$name/'"
check "no tray error was reported" bash -c "! grep -q 'Could not set tray icon' '$dir/out.log'"
finish
