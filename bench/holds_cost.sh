#!/usr/bin/env bash
# Two figures of the hold report, in one run on a private X session (Xvfb +
# openbox): what the input query adds to a logged line on X11, beside the
# line without it (from the line-cost report), and how fast --report reads a
# large record file, beside `wc -l` on the same file.  Not a test: it only
# prints.  See bench/README.md.
#
# Usage: bench/holds_cost.sh [CORVALIN_EXECUTABLE]     (default build/Corvalin)
#   CORVALIN_BENCH_SWITCHES   focus switches logged for the line cost (default 400)
#   CORVALIN_BENCH_REPORT_MB  size of the generated record file (default 1024)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)

if [ -z "${CORVALIN_X_SESSION:-}" ]; then
  exe=$repo/build/Corvalin
  if [ $# -gt 0 ]; then
    case $1 in /*) exe=$1 ;; *) exe=$PWD/$1 ;; esac
  fi
  exec "$repo/tests/x_session.sh" --no-tray "$here/holds_cost.sh" "$exe"
fi

exe=${1:-$repo/build/Corvalin}
switches=${CORVALIN_BENCH_SWITCHES:-400}
report_mb=${CORVALIN_BENCH_REPORT_MB:-1024}
work=$(mktemp -d /tmp/corvalin-holds.XXXXXX)
pids=()
cleanup() {
  local i
  for ((i=${#pids[@]}-1; i>=0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  for i in "${pids[@]}"; do wait "$i" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
say() { echo "holds_cost: $*" >&2; }

[ -x "$exe" ] || { say "no executable at $exe"; exit 1; }
fs=$(dirname "$exe")/tests/focus_switcher
if [ ! -x "$fs" ]; then
  fs=$work/focus_switcher
  cc -O2 -o "$fs" "$repo/tests/tools/focus_switcher.c" -lX11 || { say "cannot build focus_switcher"; exit 1; }
fi

# median and mean of the numbers on stdin
stats() { sort -g | awk '{ v[++n] = $1; s += $1 } END { if (!n) { print "n/a"; exit }
  printf "%.1f / %.1f", (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2, s / n }'; }

# --- what the input query adds to a line --------------------------------------
# The line cost goes to an attached debugger's output: Corvalin runs under gdb.
mkdir "$work/corvalin"
cp "$exe" "$work/corvalin/Corvalin"
printf '[Options]\nRecordFile=%s\nShowIconInSystray=0\n' "$work/record.jsonl" >"$work/corvalin/Corvalin.cfg"
CORVALIN_LINE_COST=1 gdb -q -batch -ex "run 2>$work/cost.log" --args "$work/corvalin/Corvalin" \
  >"$work/gdb.log" 2>&1 </dev/null & pids+=($!)
for _ in $(seq 200); do
  xdotool search --onlyvisible --name '^Corvalin : Keep Watch!$' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1
say "logging $switches switches at 100 ms dwell"
"$fs" switch 100 "$switches" >/dev/null 2>>"$work/errors"
sleep 1
pattern='s/.*line cost \([0-9]*\) us (sample \([0-9]*\), log \([0-9]*\), record \([0-9]*\)) input \([0-9]*\) us.*/\1 \2 \3 \4 \5/p'
# The debugger's output has no line breaks of its own.
sed 's/line cost/\nline cost/g' "$work/cost.log" | sed -n "$pattern" >"$work/costs"
lines=$(wc -l <"$work/costs")
idle=$(awk 'NR > 1 { print }' "$work/record.jsonl" | grep -c '"idle_ms":[0-9]')

echo "Line cost on X11, $lines lines, µs median / mean ($idle of them with an idle time):"
printf '  %-34s %s\n' "whole line" "$(awk '{ print $1 }' "$work/costs" | stats)"
printf '  %-34s %s\n' "line without the input query" "$(awk '{ print $1 - $5 }' "$work/costs" | stats)"
printf '  %-34s %s\n' "input query (XScreenSaverQueryInfo)" "$(awk '{ print $5 }' "$work/costs" | stats)"
printf '  %-34s %s\n' "sample (query included)" "$(awk '{ print $2 }' "$work/costs" | stats)"
printf '  %-34s %s\n' "log" "$(awk '{ print $3 }' "$work/costs" | stats)"
printf '  %-34s %s\n' "record" "$(awk '{ print $4 }' "$work/costs" | stats)"
# The same query in a tight loop, from a client of its own (ctypes, so the
# figure includes about a microsecond of Python per call).
python3 - <<'PY'
import ctypes, time
x = ctypes.cdll.LoadLibrary("libX11.so.6")
xss = ctypes.cdll.LoadLibrary("libXss.so.1")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
xss.XScreenSaverAllocInfo.restype = ctypes.c_void_p
xss.XScreenSaverQueryInfo.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
d = x.XOpenDisplay(None)
root, info = x.XDefaultRootWindow(d), xss.XScreenSaverAllocInfo()
n = 20000
t = time.perf_counter()
for _ in range(n):
    xss.XScreenSaverQueryInfo(d, root, info)
print("  %-34s %.1f (%d in a loop)" % ("the query alone, one round trip", (time.perf_counter() - t) / n * 1e6, n))
PY
corvalin=$(xdotool search --onlyvisible --name '^Corvalin : Keep Watch!$' getwindowpid 2>/dev/null | head -n1)
[ -n "$corvalin" ] && kill "$corvalin" 2>/dev/null
wait "${pids[0]}" 2>/dev/null

# --- the Focus thieves pane while shown -----------------------------------------
# The process's CPU over the same switches with the pane hidden and shown, in
# turns (hidden, shown, hidden, shown), each from the layout the first start
# wrote with only the pane's hidden flag changed.  The pane redraws at most
# every 250 ms, so its cost per line depends on the pace: 50 ms dwell here.
cpu_us() {  # microseconds on CPU of all threads of a process
  local sum=0 f v _
  for f in /proc/"$1"/task/*/schedstat; do read -r v _ <"$f" && sum=$((sum + v)); done
  echo $((sum / 1000))
}
pane_run() {  # pane_run SWITCHES: prints "CPU_US LINES" for one start
  local folder=$work/corvalin pid n0 n1 c0 c1
  "$folder/Corvalin" >/dev/null 2>>"$work/pane.err" & pid=$!
  pids+=($pid)
  for _ in $(seq 200); do
    xdotool search --onlyvisible --name '^Corvalin : Keep Watch!$' >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 2
  n0=$(wc -l <"$work/record.jsonl"); c0=$(cpu_us "$pid")
  "$fs" switch 50 "$1" >/dev/null 2>>"$work/errors"
  sleep 1
  n1=$(wc -l <"$work/record.jsonl"); c1=$(cpu_us "$pid")
  kill "$pid"; wait "$pid" 2>/dev/null
  echo "$((c1 - c0)) $((n1 - n0))"
}
pane_switches=$(( switches / 2 ))
say "the thieves pane: 4 runs of $pane_switches switches at 50 ms dwell"
pane_run 10 >/dev/null  # writes the layout
layout=$work/corvalin/perspective.layout
if grep -q 'name=ThievesPane;[^|]*state=' "$layout" 2>/dev/null; then
  hidden=$(sed 's/.*name=ThievesPane;[^|]*state=\([0-9]*\).*/\1/;q' "$layout")
  with_state() { sed "s/\(name=ThievesPane;[^|]*state=\)[0-9]*/\1$1/" "$layout"; }
  shown_layout=$(with_state $((hidden & ~2)))  # 2: the toolkit's hidden flag
  hidden_layout=$(with_state $((hidden | 2)))
  : >"$work/pane.hidden"; : >"$work/pane.shown"
  for mode in hidden shown hidden shown; do
    if [ $mode = shown ]; then echo "$shown_layout" >"$layout"; else echo "$hidden_layout" >"$layout"; fi
    pane_run "$pane_switches" >>"$work/pane.$mode"
  done
  per_line() { awk '{ c += $1; n += $2 } END { if (n) printf "%.0f µs (%d lines)", c / n, n; else print "n/a" }' "$1"; }
  echo "CPU of the whole process per logged line, 50 ms dwell, the same switches:"
  printf '  %-34s %s\n' "Focus thieves pane hidden" "$(per_line "$work/pane.hidden")"
  printf '  %-34s %s\n' "Focus thieves pane shown" "$(per_line "$work/pane.shown")"
else
  say "no ThievesPane in the layout the first start wrote: pane figures skipped"
fi

# --- --report beside wc -l -------------------------------------------------------
big=$work/big.jsonl
say "generating a $report_mb MB record file"
python3 - "$big" "$report_mb" <<'PY'
import random, sys, time
path, mb = sys.argv[1], int(sys.argv[2])
random.seed(7)
programs = ["xterm", "firefox-esr", "updater", "thunderbird", "code", "Not a valid window"]
t, number, size, limit = 1796745600000, 0, 0, mb * 1024 * 1024
with open(path, "w") as out:
    while size < limit:
        chunk = []
        for _ in range(10000):
            number += 1
            gap = random.randint(20, 60000)
            t += gap
            if number > 100000:
                number = 1  # a new run
            m = random.randrange(len(programs))
            ms = t % 1000
            stamp = time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(t // 1000))
            chunk.append('{"time":"%s.%03d+00:00","number":%d,"module":"%s","path":"/usr/bin/%s",'
                         '"pid":%d,"class":"Class","title":"a window title of some length \\u2013 %d",'
                         '"handle":%d,"seen":"event","held_ms":%s,"idle_ms":%d,"unprompted":%s,'
                         '"request":%s}\n' % (stamp, ms, number, programs[m], programs[m], 4000 + m,
                         number, 20971520 + m, "null" if number == 1 else gap,
                         random.randint(0, 90000), random.choice(["true", "false", "null"]),
                         random.choice(['"pager"', '"application"', "null"])))
        text = "".join(chunk)
        out.write(text)
        size += len(text)
PY
bytes=$(stat -c %s "$big")
timed() {  # timed COMMAND...: "SECONDS MAX_RSS_KIB", output dropped
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>&1
  cat "$work/time"
}
cat "$big" >/dev/null  # both read it from the page cache
read -r wc_s wc_kib <<<"$(timed wc -l "$big")"
read -r rp_s rp_kib <<<"$(timed "$exe" --report "$big")"
echo "Reading a $((bytes / 1048576)) MiB record ($(wc -l <"$big") lines) from the page cache:"
awk -v b="$bytes" -v s="$wc_s" -v k="$wc_kib" 'BEGIN { printf "  %-16s %6.2f s  %8.1f MB/s  max RSS %.1f MiB\n", "wc -l", s, b / 1e6 / s, k / 1024 }'
awk -v b="$bytes" -v s="$rp_s" -v k="$rp_kib" 'BEGIN { printf "  %-16s %6.2f s  %8.1f MB/s  max RSS %.1f MiB\n", "Corvalin --report", s, b / 1e6 / s, k / 1024 }'
