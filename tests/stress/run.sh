#!/usr/bin/env bash
# Stress run of the real program on a private X session (tests/x_session.sh,
# which this script starts for itself): hostile clients on the
# single-instance socket, concurrent second starts, a storm of windows with
# hostile titles, and a long focus soak.  Prints figures; the exit status is 1
# when anything crashed, hung, failed to hand over or lost a line.
# Not part of CTest: it takes minutes.  Uses the normal build:
#   scripts/build.sh && tests/stress/run.sh
# CORVALIN_BUILD selects another build folder; STRESS_SOAK_SECONDS (180) and
# STRESS_SOAK_MAX (100000) bound the soak; STRESS_KEEP_DIR, when set, gets
# the observer's record, the log and the program's output afterwards.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
if [ -z "${CORVALIN_X_SESSION:-}" ]; then
  exec "$root/tests/x_session.sh" "$here/run.sh" "$@"
fi
build=${CORVALIN_BUILD:-$root/build}
export CORVALIN_BIN=$build/Corvalin
switcher=$build/tests/focus_switcher
for f in "$CORVALIN_BIN" "$switcher"; do
  [ -x "$f" ] || { echo "stress: $f is missing; build first (scripts/build.sh)" >&2; exit 2; }
done
source "$root/tests/e2e/lib.sh"
storm=$E2E_TMP/window_storm
cc -O2 -Wall -o "$storm" "$here/window_storm.c" -lX11 || exit 2

FRAME_TITLE='^Corvalin : Keep Watch!$'
CRASHES=0 HANGS=0 LOST=0 FAILED=0
run_started=$SECONDS
say() { printf '%s\n' "$*"; }
problem() { say "  !! $*"; FAILED=$((FAILED + 1)); }
ms_since() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }

# Every change of _NET_ACTIVE_WINDOW, stamped, seen by a connection of our own.
watch=$E2E_TMP/watch.txt
"$switcher" watch >"$watch" 2>/dev/null &
E2E_PIDS+=($!)

dir=$(install_copy)
record=$dir/record.jsonl
printf '[Options]\nMonitorWindows=1\nRecordFile=%s\n' "$record" >"$dir/Corvalin.cfg"

start_main() {
  start_app "$dir"
  main_pid=$LAST_PID
  frame=$(wait_window "$FRAME_TITLE" 30) || { say "stress: the frame did not appear"; exit 1; }
  sleep 1  # hot key and tray icon come right after the frame
}
start_main
# A window of another program to give the focus to: a second start brings
# up a frame that is not active, and hides one that is.
decoy=$(start_xterm stress-decoy) || { say "stress: no xterm window"; exit 1; }

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$main_pid/status" 2>/dev/null; }
fd_count() { ls "/proc/$main_pid/fd" 2>/dev/null | wc -l; }
watch_lines() { wc -l <"$watch"; }
frame_visible() { xdotool search --onlyvisible --name "$FRAME_TITLE" 2>/dev/null | grep -qx "$frame"; }
give_focus_away() {
  [ "$(xdotool getactivewindow 2>/dev/null)" = "$frame" ] &&
    timeout 10 xdotool windowactivate --sync "$decoy" >/dev/null 2>&1
  return 0
}
# Brings a hidden frame back the way a user would: a second start.
show_frame() {
  frame_visible && return 0
  give_focus_away
  timeout 10 "$dir/Corvalin" >/dev/null 2>&1
  local end=$((SECONDS + 5))
  while [ $SECONDS -lt $end ]; do frame_visible && return 0; sleep 0.1; done
  return 1
}

# Lines logged so far: the record file when Corvalin writes one, else the
# highest line number in the Activity log (read as a user would, which
# brings the frame to the front: that change is observed and logged too).
mode=log
[ -s "$record" ] && mode=record
read_activity_log() {
  show_frame
  timeout 120 bash -c 'source "$1"; read_log "$2"' _ "$root/tests/e2e/lib.sh" "$frame"
}
logged_now() {
  if [ $mode = record ]; then
    wc -l <"$record"
    return
  fi
  local try n=0
  for try in 1 2 3; do
    n=$(read_activity_log | awk 'match($0, /^[0-9]+\./) { n = substr($0, 1, RLENGTH - 1) + 0; if (n > m) m = n }
                                 END { print m + 0 }')
    [ "$n" -gt 0 ] && break
  done
  echo "$n"
}

# Waits until neither the observer nor the record file has moved for a
# second (30 s at most).
settle() {
  local last="" now end=$((SECONDS + 30))
  while [ $SECONDS -lt $end ]; do
    now="$(watch_lines) $([ $mode = record ] && wc -l <"$record" 2>/dev/null)"
    [ "$now" = "$last" ] && return 0
    last=$now
    sleep 1
  done
}

# Marks the observer's and the log's counts at a quiet moment.
checkpoint() {  # sets MARK_WATCH MARK_LOGGED
  settle
  MARK_LOGGED=$(logged_now)
  [ $mode = log ] && settle
  MARK_WATCH=$(watch_lines)
}

# Changes of the active window between two marks that a focus logger must
# log: to a window other than the last one named (None is no window).
observed_between() {  # observed_between FROM_LINE TO_LINE
  awk -v a="$1" -v b="$2" 'NR > b { exit } { w = $2 } w == 0 { next }
    NR <= a { prev = w; next } w != prev { n++; prev = w } END { print n + 0 }' "$watch"
}

# Compares the changes observed with the lines logged since the last mark.
account() {  # account LABEL  (uses and moves the marks)
  local from_w=$MARK_WATCH from_l=$MARK_LOGGED observed logged lost
  checkpoint
  observed=$(observed_between "$from_w" "$MARK_WATCH")
  logged=$((MARK_LOGGED - from_l))
  lost=$((observed - logged))
  if [ $lost -gt 0 ]; then
    LOST=$((LOST + lost))
    say "  $1: changes observed $observed, lines logged $logged, lines lost $lost"
  elif [ $lost -lt 0 ]; then
    say "  $1: changes observed $observed, lines logged $logged, lines lost 0 ($((-lost)) lines more than changes)"
  else
    say "  $1: changes observed $observed, lines logged $logged, lines lost 0"
  fi
}

# The first instance is still there; if not, counts a crash and starts anew.
check_alive() {  # check_alive LABEL
  if kill -0 "$main_pid" 2>/dev/null; then
    say "  $1: Corvalin runs (pid $main_pid, VmRSS $(rss_kb) kB, $(fd_count) fds)"
    return 0
  fi
  wait "$main_pid" 2>/dev/null
  say "  !! $1: Corvalin ended with status $? ($(tail -n 3 "$dir/out.log" | tr '\n' ' '))"
  CRASHES=$((CRASHES + 1))
  start_main
  checkpoint
  return 1
}

# Whether the observer named the frame active within 2 s after START_US.
frame_shown_after() {  # frame_shown_after START_US
  awk -v s="$1" -v f="$frame" '$1 >= s && $1 <= s + 2000000 && $2 == f { found = 1 } END { exit !found }' "$watch"
}

# A real second start while the frame is not active: it must end with 255
# within 2 s and bring the frame up.  One that shows a box instead (the
# first instance did not answer) is stopped after 3 s.
handover() {  # handover LABEL
  show_frame
  give_focus_away
  local t0 p status="" elapsed box="" w
  t0=$(date +%s%N)
  "$dir/Corvalin" >/dev/null 2>&1 &
  p=$!
  while :; do
    if ! kill -0 "$p" 2>/dev/null; then
      wait "$p"
      status=$?
      break
    fi
    elapsed=$(ms_since "$t0")
    if [ "$elapsed" -ge 3000 ] && [ -z "$box" ]; then
      for w in $(windows_of "$p"); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q DIALOG && box=$w
      done
    fi
    if [ -n "$box" ] || [ "$elapsed" -ge 10000 ]; then
      kill "$p" 2>/dev/null
      wait "$p" 2>/dev/null
      break
    fi
    sleep 0.01
  done
  elapsed=$(ms_since "$t0")
  sleep 0.5
  local shown=no
  frame_shown_after "$((t0 / 1000))" && shown=yes
  if [ -n "$box" ]; then
    problem "$1: no hand-over; the second start shows a box (stopped after $elapsed ms)"
  elif [ -z "$status" ]; then
    say "  !! $1: the second start hung (stopped after $elapsed ms)"
    HANGS=$((HANGS + 1))
  else
    say "  $1: second start ended with $status in $elapsed ms, frame shown: $shown"
    [ "$status" -gt 128 ] && [ "$status" -ne 255 ] && CRASHES=$((CRASHES + 1))
    [ "$status" = 255 ] && [ "$elapsed" -le 2000 ] && [ $shown = yes ] || problem "$1: hand-over failed"
  fi
}

say "Corvalin stress run: $CORVALIN_BIN on $DISPLAY; lines counted from the $([ $mode = record ] && echo 'record file' || echo 'Activity log (no record file)')"
checkpoint

# --- 1: hostile clients on the single-instance socket -------------------------
socket_path=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -type s | head -n1)
say "[1] 1000 hostile local-socket clients over 4 s, 8 kinds in turn, while focus changes every 20 ms"
if [ -z "$socket_path" ]; then
  problem "no socket in $XDG_RUNTIME_DIR"
else
  say "  socket $socket_path; Corvalin has $(fd_count) fds"
  t0=$(date +%s%N)
  "$switcher" switch 20 500 >"$E2E_TMP/switch1.out" 2>&1 &
  switch_pid=$!
  python3 "$here/hostile_clients.py" "$socket_path" 1000 4 6 >"$E2E_TMP/hostile.txt" 2>&1 &
  hostile_pid=$!
  for k in 1 2 3; do
    sleep 1.5
    handover "hand-over $k during the flood"
  done
  wait "$hostile_pid"
  wait "$switch_pid"
  sed 's/^/  /' "$E2E_TMP/hostile.txt"
  say "  flood and switching took $(ms_since "$t0") ms"
  sleep 2.5  # the server's deadline for what is left
  handover "hand-over after the flood"
  say "  Corvalin has $(fd_count) fds after the flood"

  say "[1b] 1000 silent holders connecting at once"
  python3 "$here/hostile_clients.py" "$socket_path" 1000 0 6 silent >"$E2E_TMP/holders.txt" 2>&1 &
  hostile_pid=$!
  sleep 0.5
  handover "hand-over 0.5 s into the burst"
  wait "$hostile_pid"
  sed 's/^/  /' "$E2E_TMP/holders.txt"
  handover "hand-over after the burst"
  say "  Corvalin has $(fd_count) fds after the burst"
fi
check_alive "after [1]"
account "[1]"

# --- 2: 100 concurrent second starts ------------------------------------------
say "[2] 100 concurrent second starts"
show_frame
give_focus_away
out=$(python3 "$here/second_starts.py" 100 10 30 "$dir/Corvalin")
read -r _ n _ ok _ other _ hung _ over _ slowest _ start_us <<<"$(head -n1 <<<"$out")"
say "  exited with 255: $ok of $n, other: $other, hung: $hung, over 10 s: $over, slowest: $slowest ms"
sed -n '2p' <<<"$out" | sed 's/^/  other /'
HANGS=$((HANGS + hung))
CRASHES=$((CRASHES + $(sed -n '2p' <<<"$out" | tr ' ' '\n' | grep -c '^-')))
[ "$ok" = "$n" ] && [ "$over" = 0 ] || problem "[2] not all 100 second starts handed over within 10 s"
sleep 0.5
frame_shown_after "$start_us" && shown=yes || shown=no
# Each start shows the frame, or hides it when it is active: where it ends
# is a matter of timing.
say "  frame shown: $shown; visible at the end: $(frame_visible && echo yes || echo no)"
[ $shown = yes ] || problem "[2] the frame was not shown"
check_alive "after [2]"
account "[2]"

# --- 3: a storm of hostile windows --------------------------------------------
say "[3] 10000 windows with hostile titles and bogus _NET_WM_PID, created, activated, destroyed"
t0=$(date +%s%N)
say "  $("$storm" 10000 4)"
say "  storm took $(ms_since "$t0") ms"
check_alive "after [3]"
handover "hand-over after the storm"
account "[3]"

# --- 4: soak ------------------------------------------------------------------
soak_seconds=${STRESS_SOAK_SECONDS:-180}
soak_max=${STRESS_SOAK_MAX:-100000}
say "[4] soak: focus_switcher at 1 ms dwell, up to $soak_max switches in about $soak_seconds s"
rss_before=$(rss_kb)
from_l=$MARK_LOGGED
# A short run first gives the pace; the switcher prints its loop's start
# and end in microseconds.
t0=$(date +%s%N)
"$switcher" switch 1 2000 >"$E2E_TMP/calibrate.out" 2>&1
calib_ms=$(ms_since "$t0")
per_switch_us=$(awk '$1 == "start" { s = $2 } $1 == "end" { e = $2 } END { printf "%d", (e - s) / 2000 }' "$E2E_TMP/calibrate.out")
[ "${per_switch_us:-0}" -gt 0 ] || per_switch_us=1500
count=$(( (soak_seconds * 1000 - calib_ms - 3000) * 1000 / per_switch_us ))
[ $count -gt $((soak_max - 2000)) ] && count=$((soak_max - 2000))
[ $count -lt 0 ] && count=0
t0=$(date +%s%N)
"$switcher" switch 1 "$count" >"$E2E_TMP/soak.out" 2>&1
soak_ms=$(( $(ms_since "$t0") + calib_ms ))
settle
rss_after=$(rss_kb)
say "  switches requested $((count + 2000)) in $soak_ms ms, $(awk -v n=$((count + 2000)) -v t="$soak_ms" 'BEGIN { printf "%.2f", t / n }') ms each"
check_alive "after [4]"
account "[4]"
soak_lines=$((MARK_LOGGED - from_l))
say "  VmRSS before $rss_before kB, after $rss_after kB: $(awk -v a="$rss_before" -v b="$rss_after" -v n="$soak_lines" \
  'BEGIN { if (n > 0) printf "%.1f bytes per logged line over %d lines", (b - a) * 1024 / n, n; else print "no lines" }')"
say "  VmHWM $(awk '/^VmHWM:/ { print $2 }' "/proc/$main_pid/status") kB"

# --- end ------------------------------------------------------------------------
handover "final hand-over"
if [ -n "${STRESS_KEEP_DIR:-}" ]; then
  mkdir -p "$STRESS_KEEP_DIR"
  cp "$watch" "$dir/out.log" "$STRESS_KEEP_DIR/"
  if [ $mode = record ]; then cp "$record" "$STRESS_KEEP_DIR/"; else read_activity_log >"$STRESS_KEEP_DIR/activity_log.txt"; fi
fi
kill -TERM "$main_pid"
wait_exit "$main_pid" 15
case $EXIT_STATUS in
  0) say "Corvalin ended on SIGTERM with status 0" ;;
  124) say "  !! Corvalin did not end within 15 s of SIGTERM"; HANGS=$((HANGS + 1)); kill -9 "$main_pid" ;;
  *) say "  !! Corvalin ended on SIGTERM with status $EXIT_STATUS"; CRASHES=$((CRASHES + 1)) ;;
esac
say "Summary: crashes $CRASHES, hangs $HANGS, lines lost $LOST, failed expectations $FAILED; $((SECONDS - run_started)) s in all"
[ $CRASHES -eq 0 ] && [ $HANGS -eq 0 ] && [ $LOST -eq 0 ] && [ $FAILED -eq 0 ]
