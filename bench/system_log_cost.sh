#!/usr/bin/env bash
# What the system log adds to a logged line on X11: the line-cost report of
# Corvalin with the record file on, the system log off, on, and on with
# journald stopped (its socket full), each over the same switches; and what
# sd_journal_send costs by itself, and does with journald stopped.  Runs on
# its own Xvfb + openbox beside a private journald (tests/e2e/journal_session.sh,
# as root).  Not a test: it only prints.  See bench/README.md.
#
# Usage: bench/system_log_cost.sh [CORVALIN_EXECUTABLE]     (default build/Corvalin)
#   CORVALIN_BENCH_SWITCHES   focus switches per run (default 200; below the
#                             system log's backlog of 256, so that the run
#                             with journald stopped loses none)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)

if [ -z "${CORVALIN_X_SESSION:-}" ]; then
  exe=$repo/build/Corvalin
  if [ $# -gt 0 ]; then
    case $1 in /*) exe=$1 ;; *) exe=$PWD/$1 ;; esac
  fi
  exec "$repo/tests/x_session.sh" --no-tray \
    "$repo/tests/e2e/journal_session.sh" "$here/system_log_cost.sh" "$exe"
fi

exe=${1:-$repo/build/Corvalin}
switches=${CORVALIN_BENCH_SWITCHES:-200}
work=$(mktemp -d /tmp/corvalin-syslog.XXXXXX)
pids=()
cleanup() {
  kill -CONT "$JOURNALD_PID" 2>/dev/null
  local i
  for ((i=${#pids[@]}-1; i>=0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  for i in "${pids[@]}"; do wait "$i" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
say() { echo "system_log_cost: $*" >&2; }

[ -x "$exe" ] || { say "no executable at $exe"; exit 1; }
fs=$(dirname "$exe")/tests/focus_switcher
if [ ! -x "$fs" ]; then
  fs=$work/focus_switcher
  cc -O2 -o "$fs" "$repo/tests/tools/focus_switcher.c" -lX11 || { say "cannot build focus_switcher"; exit 1; }
fi

# median and mean of the numbers on stdin
stats() { sort -g | awk '{ v[++n] = $1; s += $1 } END { if (!n) { print "n/a"; exit }
  printf "%7.1f / %7.1f", (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2, s / n }'; }

# run NAME SYSTEMLOG [stop]: Corvalin under gdb (the line cost goes to an
# attached debugger's output), `switches` focus switches at 100 ms dwell.
run() {
  local name=$1 on=$2 stop=${3:-}
  mkdir "$work/$name"
  cp "$exe" "$work/$name/Corvalin"
  printf '[Options]\nRecordFile=%s\nShowIconInSystray=0\nSystemLog=%s\n' "$work/$name/record.jsonl" "$on" \
    >"$work/$name/Corvalin.cfg"
  CORVALIN_LINE_COST=1 gdb -q -batch -ex "run 2>$work/$name/cost.log" --args "$work/$name/Corvalin" \
    >"$work/$name/gdb.log" 2>&1 </dev/null & pids+=($!)
  local gdb=$!
  for _ in $(seq 200); do
    xdotool search --onlyvisible --name '^Corvalin : Keep Watch!$' >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 1
  [ -n "$stop" ] && kill -STOP "$JOURNALD_PID"
  say "$name: logging $switches switches at 100 ms dwell"
  "$fs" switch 100 "$switches" >/dev/null 2>>"$work/errors"
  sleep 1
  [ -n "$stop" ] && kill -CONT "$JOURNALD_PID" && sleep 1
  local corvalin
  corvalin=$(xdotool search --onlyvisible --name '^Corvalin : Keep Watch!$' getwindowpid 2>/dev/null | head -n1)
  [ -n "$corvalin" ] && kill "$corvalin" 2>/dev/null
  wait "$gdb" 2>/dev/null
  # The debugger's output has no line breaks of its own.
  sed 's/line cost/\nline cost/g' "$work/$name/cost.log" |
    sed -n 's/.*line cost \([0-9]*\) us (sample \([0-9]*\), log \([0-9]*\), record \([0-9]*\)) input \([0-9]*\) us system \([0-9]*\) us.*/\1 \2 \3 \4 \5 \6/p' \
    >"$work/$name/costs"
  echo "$corvalin" >"$work/$name/pid"
}

run off 0
run on 1
run stalled 1 stop

echo "Line cost on X11 with the record file on, µs median / mean:"
printf '  %-26s %6s  %-17s  %-17s  %-17s\n' "" lines "whole line" "record" "system log"
for name in off on stalled; do
  label=$name
  case $name in off) label="system log off" ;; on) label="system log on" ;; stalled) label="on, journald stopped" ;; esac
  printf '  %-26s %6s  %-17s  %-17s  %-17s\n' "$label" "$(wc -l <"$work/$name/costs")" \
    "$(awk '{ print $1 }' "$work/$name/costs" | stats)" "$(awk '{ print $4 }' "$work/$name/costs" | stats)" \
    "$(awk '{ print $6 }' "$work/$name/costs" | stats)"
done
for name in on stalled; do
  pid=$(cat "$work/$name/pid")
  entries=$(journalctl --directory="$JOURNAL_DIR" -t Corvalin _PID="$pid" -o cat 2>/dev/null | wc -l)
  echo "  $name: $(grep -c . "$work/$name/record.jsonl") record lines, $entries journal entries"
done

# sd_journal_send itself, as it would cost on the GUI thread: the same 18
# fields in a loop, and then with journald stopped.
python3 - "$JOURNALD_PID" <<'PY'
import ctypes, os, signal, sys, threading, time
lib = ctypes.CDLL("libsystemd.so.0")
fields = [b"MESSAGE=012.  05:03:083     xterm - vim notes.txt (12582924)", b"MESSAGE_ID=95ba86bebfff41c28796767ac976a5ac",
          b"SYSLOG_IDENTIFIER=CorvalinBench", b"PRIORITY=6", b"OBJECT_PID=1"] + \
         [b"CORVALIN_%s=%s" % (k, v) for k, v in [(b"TIME", b"2026-12-08T17:05:03.083+01:00"), (b"NUMBER", b"12"),
          (b"MODULE", b"xterm"), (b"PATH", b"/usr/bin/xterm"), (b"PID", b"4242"), (b"CLASS", b"XTerm"),
          (b"TITLE", b"vim notes.txt"), (b"HANDLE", b"12582924"), (b"SEEN", b"event"), (b"HELD_MS", b"5210"),
          (b"IDLE_MS", b"2"), (b"UNPROMPTED", b"false"), (b"REQUEST", b"")]]
args = fields + [None]
n, costs = 2000, []
for _ in range(n):
    t = time.perf_counter()
    lib.sd_journal_send(*args)
    costs.append((time.perf_counter() - t) * 1e6)
costs.sort()
print("  %-40s %.1f / %.1f (median / mean of %d in a loop, µs)" % ("sd_journal_send, journald running",
      costs[n // 2], sum(costs) / n, n))
os.kill(int(sys.argv[1]), signal.SIGSTOP)
sent = [0]
def send():
    while sent[0] < 100:
        lib.sd_journal_send(*args)
        sent[0] += 1
worker = threading.Thread(target=send, daemon=True)
worker.start()
worker.join(3)
state = "blocked after %d sends, still waiting after 3 s" % sent[0] if worker.is_alive() else "did not block (%d sends)" % sent[0]
print("  %-40s %s" % ("sd_journal_send, journald stopped", state))
os.kill(int(sys.argv[1]), signal.SIGCONT)
worker.join(3)
PY
