#!/usr/bin/env bash
# Real processes switch the focus; the Activity log names each of them.
source "$(dirname "$0")/lib.sh"

dir=$(install_copy)
start_app "$dir"
corvalin_pid=$LAST_PID
frame=$(wait_window '^Corvalin : Keep Watch!$') || { fail "frame did not appear"; finish; }

a=$(start_xterm "Alpha - one")
b=$(start_xterm "Beta")
activate "$a"
activate "$b"
activate "$a"
log=$(read_log "$frame")
printf '%s\n' "$log" > "$E2E_TMP/log.txt"
cat "$E2E_TMP/log.txt"

line_re='^[0-9]{3,}\.  [0-9]{2}:[0-9]{2}:[0-9]{3}     .+ - .* \(-?[0-9]+\) $'
check "every line has the activity format" \
  bash -c "grep -v '^\$' '$E2E_TMP/log.txt' | grep -Evq '$line_re' && exit 1 || exit 0"
check "numbers run 001, 002, ... without gaps" bash -c "
  n=1; while read -r num _; do
    [ \"\$num\" = \"\$(printf '%03d.' \$n)\" ] || exit 1; n=\$((n+1)); done < <(grep -v '^\$' '$E2E_TMP/log.txt')"
check "xterm Alpha logged with its window id" grep -Fq "xterm - Alpha - one ($a) " "$E2E_TMP/log.txt"
check "xterm Beta logged with its window id" grep -Fq "xterm - Beta ($b) " "$E2E_TMP/log.txt"
check "A, B, A gives three xterm lines in order" bash -c "
  grep -o 'xterm - [A-Za-z -]*' '$E2E_TMP/log.txt' | tr '\n' '|' | grep -q 'xterm - Alpha - one |xterm - Beta |xterm - Alpha - one |'"
check "Corvalin's own frame is logged with its id" grep -Fq "Corvalin - Corvalin : Keep Watch! ($frame) " "$E2E_TMP/log.txt"

# Clear Log through its accelerator: the next line is 001 and names the
# frame, which has the focus, although it was the window logged last.
activate "$frame"
press ctrl+l
sleep 0.3
log=$(read_log "$frame")
check "Ctrl+L empties the log; numbering starts again at 001" \
  bash -c "[ \"\$(grep -c . <<<\"\$1\")\" = 1 ] && grep -Fq '001.' <<<\"\$1\" && grep -Fq 'Corvalin - Corvalin : Keep Watch! ($frame)' <<<\"\$1\"" _ "$log"

# Monitoring off through Ctrl+M: focus changes leave no trace; on again, the
# next change continues the numbering.
press ctrl+m
activate "$b"
activate "$a"
press_in_frame() { activate "$frame"; press "$@"; }
press_in_frame ctrl+m   # back on; the frame is in front and was logged last
activate "$b"
log=$(read_log "$frame")
printf '%s\n' "$log" > "$E2E_TMP/log2.txt"
check "while off, nothing was logged; afterwards lines go on at 002" \
  bash -c "grep -q '^002\.  .* xterm - Beta ($b) \$' '$E2E_TMP/log2.txt' && ! grep -q 'Alpha' '$E2E_TMP/log2.txt'"

# Text typed at the end of the log stays where it was typed, and the next
# line starts a line of its own.
activate "$frame"
press ctrl+End
xdotool type --delay 20 'typed note'
activate "$a"
log=$(read_log "$frame")
check "typed text stays on its line; the next logged line starts a new one" \
  bash -c "grep -Pzq 'typed note\n[0-9]{3}\.  [0-9:]+     xterm - Alpha - one \($a\) \n' <<<\"\$1\"" _ "$log"

# Windows that appear and vanish within a tick or two must not upset the
# monitor: every X request on them is trapped.
for i in $(seq 25); do
  xterm -T "blink $i" -geometry 20x2 -e true >/dev/null 2>&1 &
done
wait_no_window '^blink ' 20
sleep 0.5
check "Corvalin survives windows vanishing mid-query" kill -0 "$corvalin_pid"
activate "$a"
log=$(read_log "$frame")
check "and goes on logging afterwards" grep -Fq "xterm - Alpha - one ($a) " <<<"$log"

kill "$corvalin_pid"
finish
