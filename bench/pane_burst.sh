#!/usr/bin/env bash
# The Focus thieves pane under a burst, side by side with the pane hidden, in
# one run on a private X session (Xvfb + openbox): how many of COUNT switches
# at 3 ms each start logs, and then the process's CPU while idle for 20 s
# with those holds in the pane's history.  Not a test: it only prints.
#
# Usage: bench/pane_burst.sh [CORVALIN_EXECUTABLE]     (default build/Corvalin)
#   CORVALIN_BENCH_BURST   switches in the burst (default 25000)
#   CORVALIN_BENCH_IDLE_S  seconds of idle measured after it (default 20)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
if [ -z "${CORVALIN_X_SESSION:-}" ]; then
  exe=$repo/build/Corvalin
  [ $# -gt 0 ] && case $1 in /*) exe=$1 ;; *) exe=$PWD/$1 ;; esac
  exec "$repo/tests/x_session.sh" --no-tray "$here/pane_burst.sh" "$exe"
fi
exe=${1:-$repo/build/Corvalin}
count=${CORVALIN_BENCH_BURST:-25000}
idle=${CORVALIN_BENCH_IDLE_S:-20}
fs=$(dirname "$exe")/tests/focus_switcher
work=$(mktemp -d /tmp/corvalin-pane.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/app"
cp "$exe" "$work/app/Corvalin"
cpu_us() {
  local sum=0 f v _
  for f in /proc/"$1"/task/*/schedstat; do read -r v _ <"$f" && sum=$((sum + v)); done
  echo $((sum / 1000))
}
run() {  # run LAYOUT_TEXT: prints "LINES IDLE_CPU_US"
  local pid n0 n1 c0 c1
  printf '[Options]\nRecordFile=%s\nShowIconInSystray=0\n' "$work/record.jsonl" >"$work/app/Corvalin.cfg"
  [ -n "$1" ] && echo "$1" >"$work/app/perspective.layout"
  "$work/app/Corvalin" >/dev/null 2>>"$work/err" & pid=$!
  pids+=($pid)
  for _ in $(seq 200); do
    xdotool search --onlyvisible --name '^Corvalin : Keep Watch!$' >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 2
  n0=$(wc -l <"$work/record.jsonl")
  "$fs" switch 3 "$count" >/dev/null 2>>"$work/err"
  sleep 2
  n1=$(wc -l <"$work/record.jsonl")
  c0=$(cpu_us "$pid"); sleep "$idle"; c1=$(cpu_us "$pid")
  kill "$pid"; wait "$pid" 2>/dev/null
  echo "$((n1 - n0)) $((c1 - c0))"
}
run "" >/dev/null 2>&1 || true  # the first start writes the layout
layout=$(cat "$work/app/perspective.layout" 2>/dev/null)
grep -q 'name=ThievesPane;[^|]*state=' <<<"$layout" || { echo "pane_burst: no layout written" >&2; exit 1; }
state=$(sed 's/.*name=ThievesPane;[^|]*state=\([0-9]*\).*/\1/;q' <<<"$layout")
with_state() { sed "s/\(name=ThievesPane;[^|]*state=\)[0-9]*/\1$1/" <<<"$layout"; }
read -r hidden_lines hidden_cpu < <(run "$(with_state $((state | 2)))")
read -r shown_lines shown_cpu < <(run "$(with_state $((state & ~2)))")
echo "$count switches at 3 ms, then ${idle} s idle with their holds kept:"
printf '  %-22s %8s %12s\n' "" "lines" "idle CPU"
printf '  %-22s %8s %10.2f %%\n' "pane hidden" "$hidden_lines" "$(echo "$hidden_cpu / ($idle * 10000)" | bc -l)"
printf '  %-22s %8s %10.2f %%\n' "pane shown" "$shown_lines" "$(echo "$shown_cpu / ($idle * 10000)" | bc -l)"
