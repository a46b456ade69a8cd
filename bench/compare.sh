#!/usr/bin/env bash
# Corvalin side by side with `xprop -spy -root _NET_ACTIVE_WINDOW` and a bare
# wxGTK frame (alone, and with a 20 Hz wxTimer), all in one run on a private
# X session (Xvfb + openbox + trayer).  Prints one table; a figure it cannot
# get reads n/a.  Not a test: it only reports.  See bench/README.md.
#
# Usage: bench/compare.sh [CORVALIN_EXECUTABLE]      (default build/Corvalin)
#   CORVALIN_BENCH_IDLE   seconds of the idle CPU window (default 30)
#   CORVALIN_BENCH_TRACE  seconds of the strace and callgrind windows (default 10)
#   CORVALIN_BENCH_CACHE  where the helpers are compiled (default ~/.cache/corvalin-bench)
#   CORVALIN_BENCH_KEEP=1 keeps the logs (server.log, xprop.log, corvalin.log, phase.*)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)

if [ -z "${CORVALIN_X_SESSION:-}" ]; then
  exe=$repo/build/Corvalin
  if [ $# -gt 0 ]; then
    case $1 in /*) exe=$1 ;; *) exe=$PWD/$1 ;; esac
  fi
  # x_session.sh gives the session a private HOME: keep the cache in ours.
  export CORVALIN_BENCH_CACHE=${CORVALIN_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/corvalin-bench}
  exec "$repo/tests/x_session.sh" "$here/compare.sh" "$exe"
fi

exe=${1:-$repo/build/Corvalin}
idle_s=${CORVALIN_BENCH_IDLE:-30}
trace_s=${CORVALIN_BENCH_TRACE:-10}
work=$(mktemp -d /tmp/corvalin-compare.XXXXXX)
cache=${CORVALIN_BENCH_CACHE:-$work/bin}
NA='n/a'
DASH='–'

pids=()
cleanup() {
  local i
  for ((i=${#pids[@]}-1; i>=0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  for i in "${pids[@]}"; do wait "$i" 2>/dev/null; done
  if [ "${CORVALIN_BENCH_KEEP:-0}" = 1 ]; then say "logs kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

forget() {  # forget PID: reaped, so never to be killed at exit
  local keep=() p
  for p in "${pids[@]}"; do [ "$p" = "$1" ] || keep+=("$p"); done
  pids=("${keep[@]}")
}
say() { echo "compare: $*" >&2; }
now_us() { date +%s%6N; }

# Stops one child and reaps it (Corvalin is single-instance: the next one
# may start only once this one is gone).
stop() {
  local pid=$1 n
  kill "$pid" 2>/dev/null
  for n in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  forget "$pid"
}

# --- helpers, compiled once per source version ------------------------------
mkdir -p "$cache"
helper() {  # helper NAME SOURCE FLAGS...: prints the binary; fails when it cannot build
  local name=$1 src=$here/$2; shift 2
  local compiler=cc
  case $src in *.cpp) compiler=g++ ;; esac
  local key bin
  key=$({ cat "$src"; echo "$compiler $*"; } | cksum | cut -d' ' -f1)
  bin=$cache/$name-$key
  if [ ! -x "$bin" ]; then
    if ! nice "$compiler" -O2 -o "$bin.tmp.$$" "$src" "$@" >"$work/build-$name.log" 2>&1; then
      say "cannot build $name:"; cat "$work/build-$name.log" >&2
      rm -f "$bin.tmp.$$"
      return 1
    fi
    mv "$bin.tmp.$$" "$bin"
  fi
  echo "$bin"
}
say "compiling helpers into $cache"
fs=$(helper focus_switcher ../tests/tools/focus_switcher.c -lX11) || fs=""
ml=$(helper map_launcher map_launcher.c -lX11) || ml=""
bare=""
controls=""
if wx_flags=$(wx-config --cxxflags --libs 2>/dev/null); then
  # shellcheck disable=SC2086  # wx-config's flags are words
  bare=$(helper bare_frame bare_frame.cpp $wx_flags) || bare=""
  # shellcheck disable=SC2046  # wx-config's flags are words
  controls=$(helper controls_frame controls_frame.cpp $(wx-config --cxxflags --libs std,aui)) || controls=""
else
  say "wx-config not found: no bare frame"
fi
have_corvalin=0
[ -x "$exe" ] && have_corvalin=1 || say "no executable at $exe: the Corvalin column stays n/a"

# --- results ------------------------------------------------------------------
declare -A R
cols=(corv xprop bare timer)
rows=(sw100 sw30 sw10 sw3 thief lat_line lat_field cpu cpu1k ipt spt start rss per_line rss10k)
declare -A LABEL=(
  [sw100]="switches logged of 40, 100 ms dwell"
  [sw30]="switches logged of 40, 30 ms dwell"
  [sw10]="switches logged of 40, 10 ms dwell"
  [sw3]="switches logged of 40, 3 ms dwell"
  [thief]="5 ms focus thefts logged of 20"
  [lat_line]="latency ms min/med/max, line out (n)"
  [lat_field]="latency ms, record's time field (n)"
  [cpu]="idle CPU % of one core, ${idle_s} s"
  [cpu1k]="... again after 1,000 more lines"
  [ipt]="instructions per idle 50 ms tick"
  [spt]="system calls per idle 50 ms tick"
  [start]="start to frame MapNotify ms min/med/max (× bare)"
  [rss]="VmRSS after start, MiB"
  [per_line]="bytes per logged line, 1,000 lines after 1,000"
  [rss10k]="VmRSS after 10,000 switches, MiB"
)
for r in "${rows[@]}"; do for c in "${cols[@]}"; do R[$r,$c]=$NA; done; done
for r in sw100 sw30 sw10 sw3 thief lat_line lat_field; do R[$r,bare]=$DASH; R[$r,timer]=$DASH; done
for c in xprop bare timer; do R[lat_field,$c]=$DASH; R[rss10k,$c]=$DASH; R[per_line,$c]=$DASH; done
R[start,xprop]=$DASH; R[start,timer]=$DASH
corv_na="$NA (no executable)"
if [ $have_corvalin = 0 ]; then for r in "${rows[@]}"; do R[$r,corv]=$corv_na; done; fi
[ -n "$bare" ] || for r in "${rows[@]}"; do
  [ "${R[$r,bare]}" = "$DASH" ] || R[$r,bare]="$NA (no build)"
  [ "${R[$r,timer]}" = "$DASH" ] || R[$r,timer]="$NA (no build)"
done
notes=()

cpu_ns() {  # nanoseconds on CPU of all threads of a process
  local sum=0 f v _
  for f in /proc/"$1"/task/*/schedstat; do
    read -r v _ <"$f" 2>/dev/null && sum=$((sum + v))
  done
  echo "$sum"
}
thousands() {  # 1234567.8 /s -> 1,234,568 /s
  awk '{ n = sprintf("%.0f", $1); out = ""
         while (length(n) > 3) { out = "," substr(n, length(n) - 2) out; n = substr(n, 1, length(n) - 3) }
         $1 = n out; print }'
}
# malloc's bytes in use in a process, as glibc's malloc_stats() tells them on
# its stderr (LOG), called from an attached gdb: unlike VmRSS, memory freed
# and kept for reuse does not count, so a thousand lines show.
heap_bytes() {  # heap_bytes PID LOG
  local before
  before=$(wc -l <"$2")
  timeout 60 gdb -q -batch -p "$1" -ex 'call ((void (*)(void)) malloc_stats)()' >/dev/null 2>&1
  tail -n +"$((before + 1))" "$2" | awk '/^Total/ { t = 1 } t && /in use bytes/ { print $NF; exit }'
}
rss_mib() { awk '/^VmRSS:/ { printf "%.1f", $2 / 1024; found = 1 } END { exit !found }' "/proc/$1/status" 2>/dev/null; }

wait_window_of() {  # wait_window_of PID TIMEOUT_S: until PID shows a window
  local end=$((SECONDS + $2))
  while [ $SECONDS -lt $end ]; do
    kill -0 "$1" 2>/dev/null || return 1
    xdotool search --onlyvisible --pid "$1" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# min / median / max of numbers on stdin, scaled by $1, printed with $2 decimals,
# and (with $3 = n) the count in brackets.
stats() {
  sort -g | awk -v scale="$1" -v dec="$2" -v show_n="${3:-}" '
    { v[++n] = $1 / scale }
    END {
      if (!n) { print "n/a"; exit }
      med = (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
      f = "%." dec "f/%." dec "f/%." dec "f"
      printf f, v[1], med, v[n]
      if (show_n) printf " (%d)", n
      printf "\n"
    }'
}

# --- the session -------------------------------------------------------------
corv_pid="" xprop_pid="" bare_pid="" timer_pid=""
if [ -n "$bare" ] && [ -n "$ml" ]; then
  say "warming the display up with one GTK client"
  timeout 60 "$ml" -k -w 40 -- "$bare" >/dev/null 2>>"$work/errors"
fi

if [ -n "$fs" ]; then
  "$fs" watch >"$work/server.log" 2>>"$work/errors" & pids+=($!)
  mkfifo "$work/xprop.fifo"
  "$fs" stamp <"$work/xprop.fifo" >"$work/xprop.log" 2>>"$work/errors" & pids+=($!)
  xprop -spy -root _NET_ACTIVE_WINDOW >"$work/xprop.fifo" 2>>"$work/errors" & xprop_pid=$!; pids+=($!)
else
  xprop -spy -root _NET_ACTIVE_WINDOW >/dev/null 2>&1 & xprop_pid=$!; pids+=($!)
fi
record=$work/record.jsonl
if [ $have_corvalin = 1 ]; then
  mkdir "$work/corvalin"
  cp "$exe" "$work/corvalin/Corvalin"
  printf '[Options]\nRecordFile=%s\n' "$record" >"$work/corvalin/Corvalin.cfg"
  [ -n "$fs" ] && { "$fs" tail "$record" >"$work/corvalin.log" 2>>"$work/errors" & pids+=($!); }
  "$work/corvalin/Corvalin" >"$work/corvalin/out.log" 2>&1 & corv_pid=$!; pids+=($!)
fi
if [ -n "$bare" ]; then
  "$bare" >/dev/null 2>&1 & bare_pid=$!; pids+=($!)
  "$bare" --timer 20 >/dev/null 2>&1 & timer_pid=$!; pids+=($!)
fi
say "starting Corvalin, xprop -spy and the two bare frames"
for p in $corv_pid $bare_pid $timer_pid; do
  wait_window_of "$p" 40 || say "process $p showed no window"
done
sleep 2
declare -A PID=([corv]=$corv_pid [xprop]=$xprop_pid [bare]=$bare_pid [timer]=$timer_pid)
for c in "${cols[@]}"; do
  p=${PID[$c]}
  [ -n "$p" ] && kill -0 "$p" 2>/dev/null && R[rss,$c]=$(rss_mib "$p" || echo "$NA")
done

# --- focus switches and thefts ----------------------------------------------
# Window ids come back when an X client reconnects, so each phase is cut out
# of the logs by time: from the switcher's "start" to "done", printed after it
# waited for the window manager to settle and the observers to catch up.
phase() {  # phase NAME FOCUS_SWITCHER_ARGS...
  local name=$1; shift
  timeout 180 "$fs" "$@" >"$work/phase.$name" 2>>"$work/errors"
  echo "done $(now_us)" >>"$work/phase.$name"
  sleep 0.3
}
phase_field() { awk -v k="$2" '$1 == k { print $2, $3; exit }' "$work/phase.$1"; }

# Activations of windows A/B in a stamped log ("US WINDOW"), runs of the same
# window counted once, None and other windows skipped.  With only=A, only the
# runs of A.
runs() {  # runs LOG START END A B [ONLY]
  awk -v s="$2" -v e="$3" -v a="$4" -v b="$5" -v only="${6:-}" '
    $1 >= s && $1 <= e && ($2 == a || $2 == b) {
      if ($2 != last && (only == "" || $2 == only)) n++
      last = $2
    }
    END { print n + 0 }' "$1"
}
# Corvalin's record lines (inotify-US HANDLE TIME-US SEEN) naming A or B
# (or only ONLY), by their time field; nothing collapsed.
record_lines() {  # record_lines START END A B [ONLY]
  awk -v s="$1" -v e="$2" -v a="$3" -v b="$4" -v only="${5:-}" '
    $3 + 1000 >= s && $3 <= e && ($2 == a || $2 == b) && (only == "" || $2 == only) { n++ }
    END { print n + 0 }' "$work/corvalin.log"
}
record_ok() { [ -s "$work/corvalin.log" ] && awk '$2 != -1 { ok = 1 } END { exit !ok }' "$work/corvalin.log"; }

# Delays from each change the server announced (first of a run in
# server.log) to the observer's line for it: the observer's first line of a
# run naming the same window, matched to the latest such change at or before
# it (SLACK µs allowed: the two readers are scheduled independently, and the
# time field is rounded to the millisecond).  One µs value a line, which may
# be slightly negative.
latencies() {  # latencies OBSERVER_LOG TIME_COLUMN SLACK_US START END A B
  awk -v col="$2" -v slack="$3" -v s="$4" -v e="$5" -v a="$6" -v b="$7" '
    FNR == NR {
      if ($1 >= s && $1 <= e && ($2 == a || $2 == b)) {
        if ($2 != last) { n++; t[n] = $1; w[n] = $2 }
        last = $2
      }
      next
    }
    {
      x = $col
      if (x + slack < s || x > e || ($2 != a && $2 != b) || $2 == olast) next
      olast = $2
      for (i = n; i >= 1; i--) if (w[i] == $2 && t[i] <= x + slack) break
      if (i >= 1 && !(i in used)) { used[i] = 1; printf "%.0f\n", x - t[i] }
    }' "$work/server.log" "$1"
}

if [ -n "$fs" ]; then
  for dwell in 100 30 10 3; do
    say "40 switches at $dwell ms dwell"
    phase "sw$dwell" switch "$dwell" 40
  done
  say "20 focus thefts of 5 ms"
  phase thief thief 20 5 200

  for ph in sw100 sw30 sw10 sw3 thief; do
    A="" B="" S="" E=""
    read -r A B < <(phase_field "$ph" windows)
    read -r S _ < <(phase_field "$ph" start)
    read -r E _ < <(phase_field "$ph" done)
    if [ -z "${A:-}" ] || [ -z "${S:-}" ] || [ -z "${E:-}" ]; then
      notes+=("$ph: the switcher did not run through (see errors below)"); continue
    fi
    only=""
    [ "$ph" = thief ] && only=$A  # "windows THIEF VICTIM"
    server=$(runs "$work/server.log" "$S" "$E" "$A" "$B" "$only")
    LABEL[$ph]="${LABEL[$ph]} (server $server)"
    R[$ph,xprop]=$(runs "$work/xprop.log" "$S" "$E" "$A" "$B" "$only")
    if [ $have_corvalin = 1 ]; then
      if record_ok; then
        R[$ph,corv]=$(record_lines "$S" "$E" "$A" "$B" "$only")
      else
        R[$ph,corv]="$NA (no record file)"
      fi
    fi
    if [ "$ph" = sw100 ]; then
      R[lat_line,xprop]=$(latencies "$work/xprop.log" 1 2000 "$S" "$E" "$A" "$B" | stats 1000 2 n)
      if [ $have_corvalin = 1 ]; then
        if record_ok; then
          R[lat_line,corv]=$(latencies "$work/corvalin.log" 1 2000 "$S" "$E" "$A" "$B" | stats 1000 2 n)
          R[lat_field,corv]=$(latencies "$work/corvalin.log" 3 2000 "$S" "$E" "$A" "$B" | stats 1000 1 n)
        else
          R[lat_line,corv]="$NA (no record file)"
          R[lat_field,corv]="$NA (no record file)"
        fi
      fi
    fi
  done
  grep -q '^missed' "$work/phase.thief" 2>/dev/null &&
    notes+=("thief: the window manager did not hand the focus over $(awk '/^missed/ {print $2}' "$work/phase.thief") times")
fi
sleep 1

# --- idle CPU ----------------------------------------------------------------
# Idle means the user is in another program: a focused text view blinks its
# cursor, which is not the cost of watching.  An xterm of our own holds the
# focus for the idle figures.  Its activation is itself a logged change, and
# after the bursts above the log's animated scroll to the new last line keeps
# repainting for up to about 1.5 s: that is the cost of a line, not of
# watching, so the idle window starts 3 s after it.
anchor_focus() {
  if [ -z "${anchor:-}" ]; then
    xterm -T bench-anchor -geometry 20x3 -e sleep 3600 >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
      anchor=$(xdotool search --onlyvisible --name '^bench-anchor$' 2>/dev/null | head -n1)
      [ -n "$anchor" ] && break
      sleep 0.1
    done
  fi
  [ -n "$anchor" ] && xdotool windowactivate --sync "$anchor" >/dev/null 2>&1
  sleep 3
}
# Into row ROW: each program's CPU over the idle window.
idle_cpu() {  # idle_cpu ROW
  anchor_focus
  say "idle CPU over $idle_s s ($1)"
  local c p w0 x0="" changes0 changes1
  declare -A C0
  changes0=$(wc -l <"$work/server.log" 2>/dev/null || echo 0)
  w0=$(date +%s%N)
  for c in "${cols[@]}"; do [ -n "${PID[$c]}" ] && C0[$c]=$(cpu_ns "${PID[$c]}"); done
  [ -n "$xvfb" ] && x0=$(cpu_ns "$xvfb")
  sleep "$idle_s"
  for c in "${cols[@]}"; do
    p=${PID[$c]}
    [ -n "$p" ] && kill -0 "$p" 2>/dev/null || continue
    R[$1,$c]=$(awk -v a="${C0[$c]}" -v b="$(cpu_ns "$p")" -v w0="$w0" -v w1="$(date +%s%N)" \
      'BEGIN { printf "%.3f", 100 * (b - a) / (w1 - w0) }')
  done
  [ -n "$xvfb" ] && kill -0 "$xvfb" 2>/dev/null &&
    xvfb_cpu="$xvfb_cpu $(awk -v a="$x0" -v b="$(cpu_ns "$xvfb")" -v w0="$w0" -v w1="$(date +%s%N)" \
      'BEGIN { printf "%.3f", 100 * (b - a) / (w1 - w0) }') ($1)"
  changes1=$(wc -l <"$work/server.log" 2>/dev/null || echo 0)
  [ "$changes0" = "$changes1" ] || notes+=("the active window changed during the idle window ($1)")
}
xvfb=${CORVALIN_XVFB_PID:-}
xvfb_cpu=""
idle_cpu cpu

# --- a thousand lines more: the idle after them, and memory per line ----------------
# Switches 10 ms apart are each logged.  The first thousand lines also end
# what the start left behind (the heap shrinks by most of a megabyte during
# the first long burst), so bytes per line are taken over a second thousand:
# malloc's bytes in use (heap) and VmRSS, each grown over the lines the
# record counted.
if [ -n "$fs" ] && [ -n "$corv_pid" ] && kill -0 "$corv_pid" 2>/dev/null; then
  say "1,000 switches at 10 ms dwell"
  phase sw1k switch 10 1000
  idle_cpu cpu1k
  err=$work/corvalin/out.log
  kb0=$(awk '/^VmRSS:/ { print $2 }' "/proc/$corv_pid/status")
  h0=$(heap_bytes "$corv_pid" "$err")
  say "1,000 switches more, for memory"
  phase mem1k switch 10 1000
  anchor_focus
  kb1=$(awk '/^VmRSS:/ { print $2 }' "/proc/$corv_pid/status")
  h1=$(heap_bytes "$corv_pid" "$err")
  A="" B="" S="" E=""
  read -r A B < <(phase_field mem1k windows)
  read -r S _ < <(phase_field mem1k start)
  read -r E _ < <(phase_field mem1k done)
  if [ -n "${A:-}" ] && [ -n "${S:-}" ] && record_ok; then
    n=$(record_lines "$S" "$E" "$A" "$B")
    heap=$NA
    [ -n "$h0" ] && [ -n "$h1" ] && [ "$n" -gt 0 ] && heap=$(( (h1 - h0) / n ))
    [ "$n" -gt 0 ] && R[per_line,corv]="heap $heap, RSS $(( (kb1 - kb0) * 1024 / n )) ($n lines)"
  else
    R[per_line,corv]="$NA (no record file)"
  fi
fi

# --- system calls while idle ---------------------------------------------------
# Figures per 50 ms tick for the two that tick, per second for the two that
# do not.
per() {  # per COLUMN COUNT SECONDS
  case $1 in
    corv|timer) awk -v n="$2" -v s="$3" 'BEGIN { printf "%.1f", n / (s / 0.05) }' ;;
    *) awk -v n="$2" -v s="$3" 'BEGIN { printf "%.1f /s", n / s }' ;;
  esac
}
if command -v strace >/dev/null; then
  say "system calls over $trace_s s (strace -c)"
  declare -A SP
  for c in "${cols[@]}"; do
    p=${PID[$c]}
    [ -n "$p" ] && kill -0 "$p" 2>/dev/null || continue
    strace -f -c -o "$work/strace.$c" -p "$p" 2>"$work/strace.$c.err" & SP[$c]=$!; pids+=($!)
  done
  sleep 0.5  # attached
  t0=$(date +%s%N)
  sleep "$trace_s"
  t1=$(date +%s%N)
  for c in "${!SP[@]}"; do kill -INT "${SP[$c]}" 2>/dev/null; done
  for c in "${!SP[@]}"; do
    wait "${SP[$c]}" 2>/dev/null
    forget "${SP[$c]}"
    # No summary at all when the process made no call while traced.
    calls=$(awk '$NF == "total" { print $4 }' "$work/strace.$c" 2>/dev/null)
    [ -z "$calls" ] && grep -q 'attached' "$work/strace.$c.err" && calls=0
    if [ -n "$calls" ]; then
      R[spt,$c]=$(per "$c" "$calls" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print (b - a) / 1e9 }')")
    else
      R[spt,$c]="$NA (strace failed)"
      head -c 300 "$work/strace.$c.err" >&2
    fi
  done
else
  for c in "${cols[@]}"; do R[spt,$c]="$NA (install strace)"; done
fi

# --- memory after many logged switches -------------------------------------------
if [ -n "$fs" ] && [ -n "$corv_pid" ] && kill -0 "$corv_pid" 2>/dev/null; then
  say "10,000 switches at 1 ms dwell"
  phase sw10k switch 1 10000
  A="" B="" S="" E=""
  read -r A B < <(phase_field sw10k windows)
  read -r S _ < <(phase_field sw10k start)
  read -r E _ < <(phase_field sw10k done)
  mib=$(rss_mib "$corv_pid" || echo "$NA")
  if [ -n "${A:-}" ] && [ -n "${S:-}" ] && record_ok; then
    R[rss10k,corv]="$mib ($(record_lines "$S" "$E" "$A" "$B") lines)"
  else
    R[rss10k,corv]="$mib (no record file)"
  fi
  [ -n "${A:-}" ] && LABEL[rss10k]="${LABEL[rss10k]} (server $(runs "$work/server.log" "$S" "$E" "$A" "$B"))"
fi
for p in $corv_pid $xprop_pid $bare_pid $timer_pid; do stop "$p"; done

# --- instructions while idle, under callgrind -------------------------------------
# Started without instrumentation (fast start-up), switched on once the frame
# is up, dumped after the window.  --collect-atstart=no would leave the
# counters at zero: callgrind_control cannot switch collection on.
if command -v valgrind >/dev/null && command -v callgrind_control >/dev/null; then
  say "instructions over $trace_s s (callgrind)"
  declare -A VP
  vg() {  # vg COLUMN COMMAND...
    local c=$1; shift
    valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$work/cg.$c" "$@" \
      >/dev/null 2>"$work/cg.$c.log" &
    VP[$c]=$!; pids+=($!)
  }
  if [ $have_corvalin = 1 ]; then
    mkdir "$work/corvalin-cg" && cp "$exe" "$work/corvalin-cg/Corvalin"
    vg corv "$work/corvalin-cg/Corvalin"
  fi
  vg xprop xprop -spy -root _NET_ACTIVE_WINDOW
  if [ -n "$bare" ]; then vg bare "$bare"; vg timer "$bare" --timer 20; fi
  for c in corv bare timer; do
    [ -n "${VP[$c]:-}" ] && { wait_window_of "${VP[$c]}" 150 || say "$c showed no window under valgrind"; }
  done
  sleep 3
  anchor_focus
  declare -A T_ON
  for c in "${!VP[@]}"; do
    timeout 60 callgrind_control -i on "${VP[$c]}" >/dev/null 2>&1 && T_ON[$c]=$(date +%s%N)
  done
  sleep "$trace_s"
  for c in "${!VP[@]}"; do
    [ -n "${T_ON[$c]:-}" ] || continue
    t=$(date +%s%N)
    timeout 60 callgrind_control -d "${VP[$c]}" >/dev/null 2>&1 || continue
    ir=$(awk '/^totals:/ { print $2; exit }' "$work/cg.$c.1" 2>/dev/null)
    [ -n "$ir" ] && R[ipt,$c]=$(per "$c" "$ir" "$(awk -v a="${T_ON[$c]}" -v b="$t" 'BEGIN { print (b - a) / 1e9 }')" | thousands)
  done
  for c in "${!VP[@]}"; do stop "${VP[$c]}"; done
else
  for c in "${cols[@]}"; do R[ipt,$c]="$NA (install valgrind)"; done
fi

# --- start-up ------------------------------------------------------------------------
if [ -n "$ml" ]; then
  say "10 interleaved starts each (Corvalin, the bare frame, the frame with its controls)"
  : >"$work/start.corv"; : >"$work/start.bare"; : >"$work/start.controls"
  for i in $(seq 10); do
    if [ $have_corvalin = 1 ]; then
      # A fresh folder each time: every start finds no settings, like the first.
      mkdir "$work/start$i" && cp "$exe" "$work/start$i/Corvalin"
      timeout 120 "$ml" -k -w 60 -- "$work/start$i/Corvalin" >>"$work/start.corv" 2>>"$work/errors"
    fi
    [ -n "$bare" ] && timeout 120 "$ml" -k -w 60 -- "$bare" >>"$work/start.bare" 2>>"$work/errors"
    [ -n "$controls" ] && timeout 120 "$ml" -k -w 60 -- "$controls" >>"$work/start.controls" 2>>"$work/errors"
  done
  [ $have_corvalin = 1 ] && R[start,corv]=$(stats 1000 1 <"$work/start.corv")
  [ -n "$bare" ] && R[start,bare]=$(stats 1000 1 <"$work/start.bare")
  median() { sort -g "$1" | awk '{ v[++n] = $1 } END { if (n) print (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2 }'; }
  mc=$(median "$work/start.corv") mb=$(median "$work/start.bare")
  [ -n "$mc" ] && [ -n "$mb" ] &&
    R[start,corv]="${R[start,corv]} ($(awk -v a="$mc" -v b="$mb" 'BEGIN { printf "%.2f", a / b }')×)"
  mf=$(median "$work/start.controls")
  [ -n "$mf" ] && [ -n "$mb" ] && notes+=("start of a frame with Corvalin's controls and no logic (bench/controls_frame.cpp),\
 same starts: $(stats 1000 1 <"$work/start.controls") ms, $(awk -v a="$mf" -v b="$mb" 'BEGIN { printf "%.2f", a / b }')× the bare frame")
fi

# --- the table ---------------------------------------------------------------------------
pad() {  # pad WIDTH TEXT: counts characters, not bytes
  local LC_ALL=C.UTF-8 text=$2
  printf '%s' "$text"
  local n=$(( $1 - ${#text} ))
  ((n > 0)) && printf '%*s' "$n" ''
}
row() {  # row LABEL V1 V2 V3 V4
  pad 50 "$1"; shift
  local v
  for v in "$@"; do printf ' | '; pad 22 "$v"; done
  printf '\n'
}
corv_ver=""; [ -r "$exe" ] && corv_ver=$(cksum <"$exe" | cut -d' ' -f1)
echo
echo "Measured on a private X session (Xvfb 1280x1024x24 + openbox + trayer), nproc $(nproc),"
echo "$(date '+%Y-%m-%d %H:%M %Z'), $(uname -sr), wxWidgets $(wx-config --version 2>/dev/null || echo '?')."
echo "Corvalin: $exe (cksum ${corv_ver:-?}); its switch counts and latencies come from its record file."
echo
row "figure" "Corvalin" "xprop -spy" "bare frame" "bare frame + 20 Hz wxTimer"
row "$(printf '%*s' 50 '' | tr ' ' '-')" "$(printf '%*s' 22 '' | tr ' ' '-')" \
  "$(printf '%*s' 22 '' | tr ' ' '-')" "$(printf '%*s' 22 '' | tr ' ' '-')" "$(printf '%*s' 22 '' | tr ' ' '-')"
for r in "${rows[@]}"; do
  row "${LABEL[$r]}" "${R[$r,corv]}" "${R[$r,xprop]}" "${R[$r,bare]}" "${R[$r,timer]}"
done
echo
echo "X server (Xvfb) over the same idle windows, all four running, % of one core:${xvfb_cpu:- $NA}."
echo "Switches: EWMH activation requests (source 2) to two windows of our own, alternately; (server N)"
echo "  is what a separate X connection saw change. Latency: 100 ms phase, from that connection's"
echo "  PropertyNotify (CLOCK_REALTIME, µs) to the line: record line appearing (inotify) for Corvalin,"
echo "  the stdout line through a pipe for xprop; the record's time field has ms resolution."
echo "Instructions (callgrind) and system calls (strace -f -c) over $trace_s s idle: per 50 ms tick"
echo "  for Corvalin and the 20 Hz frame, per second (/s) for xprop and the bare frame."
for n in "${notes[@]}"; do echo "Note: $n"; done
# The programs' own stderr (toolkit warnings) is in there too; only ours.
if grep -qE '^(focus_switcher|map_launcher):' "$work/errors" 2>/dev/null; then
  echo "Messages from the helpers:"
  grep -E '^(focus_switcher|map_launcher):' "$work/errors" | sort | uniq -c | head -n 10
fi
