#!/usr/bin/env bash
# Focus changes far shorter than one 50 ms sample are logged: a window that
# takes the focus for 5 ms and gives it back, and a burst at 10 ms dwell.
# FOCUS_SWITCHER drives them with EWMH activation requests to openbox.
source "$(dirname "$0")/lib.sh"

dir=$(install_copy)
start_app "$dir"
frame=$(wait_window '^Corvalin : Keep Watch!$') || { fail "frame did not appear"; finish; }
sleep 1  # the hot key and tray icon come right after the frame is shown

"$FOCUS_SWITCHER" thief 20 5 60 >"$E2E_TMP/thief.out" 2>"$E2E_TMP/thief.err"
"$FOCUS_SWITCHER" switch 10 40 >"$E2E_TMP/burst.out" 2>"$E2E_TMP/burst.err"

log=$(read_log "$frame")
printf '%s\n' "$log" >"$E2E_TMP/log.txt"
# By title: a second run of the switcher may get the first one's window ids.
lines_of() { grep -cE -- " - $1-[0-9]+ \([0-9]+\) $" "$E2E_TMP/log.txt"; }
between() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
# Each window also gets a line when openbox focuses it on mapping.
check "each of 20 thefts of 5 ms is logged with the thief's title ($(lines_of bench-thief))" \
  between "$(lines_of bench-thief)" 20 21
check "the victim is logged each time it gets the focus back ($(lines_of bench-victim))" \
  between "$(lines_of bench-victim)" 20 21
# The X server tells a change, not the value it changed to: when this
# process is held up for longer than the dwell (a loaded machine), two
# switches can fold into one.  One such fold is allowed; sampling alone would
# log a handful of the 40.
check "a burst of 40 switches at 10 ms dwell is logged whole, or with one fold ($(lines_of bench-switch-A) + $(lines_of bench-switch-B))" \
  bash -c '[ "$1" -ge 19 ] && [ "$2" -ge 19 ] && [ $(($1 + $2)) -ge 39 ] && [ $(($1 + $2)) -le 42 ]' _ \
  "$(lines_of bench-switch-A)" "$(lines_of bench-switch-B)"
check "numbering has no gaps" bash -c "
  n=1; while read -r num _; do
    [ \"\$num\" = \"\$(printf '%03d.' \$n)\" ] || exit 1; n=\$((n+1)); done < <(grep -v '^\$' '$E2E_TMP/log.txt')"
finish
