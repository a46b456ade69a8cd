#!/usr/bin/env bash
# Prints Corvalin's figures on a private X session: idle tick cost, CPU over
# 60 s idle, peak memory, start-up time and append cost.  Not a test: it only
# reports.  Usage: bench/run_benchmarks.sh [idle-seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh test >/dev/null
scripts/build.sh >/dev/null
if [ -z "${CORVALIN_X_SESSION:-}" ]; then
  exec tests/x_session.sh "$0" "$@"
fi
idle_seconds=${1:-60}
dir=$(mktemp -d /tmp/corvalin-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT
cp build/Corvalin "$dir/"
hz=$(getconf CLK_TCK)

echo "== idle tick (real X server, no change)"
xterm -T bench-anchor -e sleep 600 & anchor=$!
until xdotool search --onlyvisible --name '^bench-anchor$' >/dev/null 2>&1; do sleep 0.05; done
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^bench-anchor$')"
build/bench/bench_idle_tick 20000
if command -v valgrind >/dev/null; then
  valgrind --tool=callgrind --callgrind-out-file="$dir/cg.out" build/bench/bench_idle_tick 1000 >/dev/null 2>&1 || true
  valgrind --tool=callgrind --callgrind-out-file="$dir/cg0.out" build/bench/bench_idle_tick 0 >/dev/null 2>&1 || true
  total() { grep -m1 '^summary:' "$1" | awk '{print $2}'; }
  if [ -s "$dir/cg.out" ] && [ -s "$dir/cg0.out" ]; then
    echo "idle tick: $(( ($(total "$dir/cg.out") - $(total "$dir/cg0.out")) / 1000 )) instructions per tick in our process (callgrind, 1000 ticks)"
  fi
fi

echo "== start-up"
start=$(date +%s%N)
"$dir/Corvalin" >/dev/null 2>&1 & pid=$!
until xdotool search --onlyvisible --name '^Corvalin : Keep Watch!$' >/dev/null 2>&1; do sleep 0.005; done
shown=$(date +%s%N)
echo "start to frame shown: $(( (shown - start) / 1000000 )) ms"
sleep 2
echo "peak RSS after start: $(awk '/VmHWM/ {print $2, $3}' /proc/$pid/status)"

echo "== ${idle_seconds} s idle with monitoring on"
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^bench-anchor$')"
read -r u0 s0 < <(awk '{print $14, $15}' /proc/$pid/stat)
sleep "$idle_seconds"
read -r u1 s1 < <(awk '{print $14, $15}' /proc/$pid/stat)
ticks=$(( u1 - u0 + s1 - s0 ))
awk -v t="$ticks" -v hz="$hz" -v s="$idle_seconds" \
  'BEGIN { printf "CPU: %.2f%% of one core (%d clock ticks of 1/%d s in %d s)\n", 100*t/hz/s, t, hz, s }'
echo "peak RSS after idling: $(awk '/VmHWM/ {print $2, $3}' /proc/$pid/status)"
kill $pid $anchor 2>/dev/null; wait $pid $anchor 2>/dev/null || true

echo "== appending to the Activity log"
build/bench/bench_append_lines
