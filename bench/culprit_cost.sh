#!/usr/bin/env bash
# What naming the culprit costs a logged line on X11, and what the look at
# recently started processes catches.  Not a test: it only prints.
#
#   1. Corvalin under gdb (its line-cost report goes to an attached
#      debugger's output) with 1,000 sleeping processes of the bench's own:
#      switches the user asks for between two old windows (a key, then a
#      pager's request: the culprit read from the cache), the same windows
#      raised by an application's request with nobody at the keys (unprompted,
#      by long-lived processes: the look at recently started processes too),
#      then new thieves, each a process never seen (its chain read).  Each line's whole cost beside its culprit
#      part, and a full read of /proc/*/stat (`ps`'s way) timed in the same run.
#   2. A long-lived host opens a window each time a short script pokes it,
#      0, 100, 500 and 1,500 ms after the script started; 20 tries each: how
#      often the script is among the take's "recent" processes.
#
# Usage: bench/culprit_cost.sh [TRIES]   (default 20)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
if [ -z "${CORVALIN_X_SESSION:-}" ]; then
  exec "$repo/tests/x_session.sh" --no-tray "$here/culprit_cost.sh" "$@"
fi
tries=${1:-20}
exe=$repo/build/Corvalin
fs=$repo/build/tests/focus_switcher
work=$(mktemp -d /tmp/corvalin-culprit.XXXXXX)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  pkill -P $$ sleep 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
stats() { sort -g | awk '{ v[++n] = $1; s += $1 } END { if (!n) { print "n/a"; exit }
  printf "%7.1f / %7.1f", (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2, s / n }'; }

for _ in $(seq 1000); do sleep 3600 & done
echo "culprit_cost: $(ls /proc | grep -c '^[0-9]') processes running"

cp "$exe" "$work/Corvalin"
printf '[Options]\nRecordFile=%s\nShowIconInSystray=0\n' "$work/record.jsonl" >"$work/Corvalin.cfg"
CORVALIN_LINE_COST=1 gdb -q -batch -ex "run 2>$work/cost.log" --args "$work/Corvalin" \
  >"$work/gdb.log" 2>&1 </dev/null & pids+=($!)
for _ in $(seq 200); do
  xdotool search --onlyvisible --name '^Corvalin : Keep Watch!$' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1
costs() {  # the line-cost reports so far: whole and culprit, µs
  sed 's/line cost/\nline cost/g' "$work/cost.log" |
    sed -n 's/.*line cost \([0-9]*\) us .* culprit \([0-9]*\) us.*/\1 \2/p'
}
xterm -T 'Bench A' -e sleep 3600 & pids+=($!)
xterm -T 'Bench B' -e sleep 3600 & pids+=($!)
a=$(xdotool search --sync --onlyvisible --name '^Bench A$' | head -n1)
b=$(xdotool search --sync --onlyvisible --name '^Bench B$' | head -n1)
for i in $(seq 100); do
  xdotool key shift windowactivate --sync "$([ $((i % 2)) = 0 ] && echo "$a" || echo "$b")" 2>/dev/null
  sleep 0.1
done
sleep 1
phase() {  # phase NAME: the reports since the last phase
  local had
  had=$(cat "$work"/{asked,switches,thieves} 2>/dev/null | wc -l)
  costs | tail -n +$((had + 1)) >"$work/$1"
}
phase asked
sleep 1
for i in $(seq 100); do
  "$fs" raise "$([ $((i % 2)) = 0 ] && echo "$a" || echo "$b")" >/dev/null 2>&1
  sleep 0.1
done
sleep 1
phase switches
for _ in $(seq 40); do "$fs" steal 0 100 >/dev/null 2>&1; sleep 0.2; done
sleep 1
phase thieves
# The peer: every process's stat read, as a whole scan does it.
scan=$(python3 - <<'PY'
import os, time
best = None
for _ in range(20):
    t = time.perf_counter()
    for pid in os.listdir("/proc"):
        if pid.isdigit():
            try:
                open("/proc/%s/stat" % pid).read()
            except OSError:
                pass
    spent = (time.perf_counter() - t) * 1e6
    best = spent if best is None else min(best, spent)
print("%.0f" % best)
PY
)

echo "Per logged line on X11, µs median / mean (1,000 sleeping processes beside):"
printf '  %-44s %6s  %-17s  %-17s  %-17s\n' "" lines "whole line" "culprit part" "line without it"
for name in asked switches thieves; do
  case $name in
    asked) label="asked-for switches (chain from the cache)" ;;
    switches) label="old windows raised on request (+ recent)" ;;
    thieves) label="new thieves (chain read)" ;;
  esac
  printf '  %-44s %6s  %-17s  %-17s  %-17s\n' "$label" "$(wc -l <"$work/$name")" \
    "$(awk '{ print $1 }' "$work/$name" | stats)" "$(awk '{ print $2 }' "$work/$name" | stats)" \
    "$(awk '{ print $1 - $2 }' "$work/$name" | stats)"
done
echo "  the dearest culprit part of a raise (the first look reads every process): $(awk '{ print $2 }' "$work/switches" | sort -g | tail -n1) us"
echo "  peer: one full read of /proc/*/stat, best of 20 (python): $scan us"

# What the recent scan catches.
"$fs" host 300 >"$work/host.out" 2>&1 & host=$!; pids+=($host)
sleep 0.5
echo "Launchers caught among a take's recent processes (a host draws the window; $tries tries each):"
for delay in 0 100 500 1500; do
  caught=0 seen=0
  for i in $(seq "$tries"); do
    printf 'sleep %s\nkill -USR1 %s\nsleep 1\n' "$(awk "BEGIN { print $delay / 1000 }")" "$host" \
      >"$work/poke-$delay-$i.sh"
    before=$(grep -c . "$work/record.jsonl")
    bash "$work/poke-$delay-$i.sh" & poker=$!
    wait "$poker"
    sleep 0.3
    result=$(tail -n +$((before + 1)) "$work/record.jsonl" | python3 -c '
import json, sys
poker = int(sys.argv[1])
takes = [json.loads(l) for l in sys.stdin if "\"title\":\"hosted\"" in l]
if not takes: print("none")
else: print("yes" if any(p["pid"] == poker for p in (takes[0]["recent"] or [])) else "no")' "$poker")
    [ "$result" != none ] && seen=$((seen + 1))
    [ "$result" = yes ] && caught=$((caught + 1))
  done
  printf '  after %5s ms: %2d of %2d takes name the launcher\n' "$delay" "$caught" "$seen"
done
