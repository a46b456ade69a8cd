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

kill "$corvalin_pid"
finish
