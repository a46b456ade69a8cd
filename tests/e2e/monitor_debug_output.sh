#!/usr/bin/env bash
# Each logged line sends "1" to an attached debugger: under gdb the text
# appears on the program's error stream once per line; without a debugger
# nothing is written.
source "$(dirname "$0")/lib.sh"

# Corvalin's error stream without the toolkit's own warnings.
debug_ones() { sed 's/(Corvalin:[0-9]*):.*$//' "$1" | tr -cd '1' | wc -c; }

run_and_log() {  # run_and_log DIR LAUNCHER... ; sets LINES_LOGGED
  local dir=$1; shift
  "$@" &
  E2E_PIDS+=($!)
  local frame a
  frame=$(wait_window '^Corvalin : Keep Watch!$' 60) || { fail "frame did not appear"; return; }
  a=$(start_xterm "debug output")
  activate "$a"
  LINES_LOGGED=$(read_log "$frame" | grep -c '^[0-9]\{3,\}\. ')
  pkill -f "$dir/Corvalin"
  wait_no_window '^Corvalin : Keep Watch!$' 20
  sleep 0.5
}

dir=$(install_copy)
run_and_log "$dir" gdb -q -batch -ex "run 2>$dir/err.log" --args "$dir/Corvalin"
check "under a debugger: one \"1\" per logged line ($LINES_LOGGED lines)" \
  [ "$(debug_ones "$dir/err.log")" = "$LINES_LOGGED" -a "$LINES_LOGGED" -ge 2 ]

dir=$(install_copy)
run_and_log "$dir" bash -c "exec '$dir/Corvalin' 2>'$dir/err.log'"
check "without a debugger nothing is written" [ "$(debug_ones "$dir/err.log")" = 0 ]
finish
