#!/usr/bin/env bash
# Corvalin's Wayland backend on sway beside sway's own IPC (the peer) and a
# bare wxGTK frame with and without an empty 50 ms timer, in one run inside
# a private headless sway session.  Prints one table; not a test.
# Usage: bench/compare_wayland.sh [CORVALIN_EXECUTABLE]   (default build/Corvalin)
#   CORVALIN_BENCH_IDLE  seconds of the idle CPU window (default 20)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
if [ -z "${CORVALIN_SWAY_SESSION:-}" ]; then
  exe=${1:-$repo/build/Corvalin}
  case $exe in /*) ;; *) exe=$PWD/$exe ;; esac
  exec "$repo/tests/wayland/sway_session.sh" "$here/compare_wayland.sh" "$exe"
fi
exe=$1
work=$(mktemp -d /tmp/corvalin-compare-wl.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

bare=$work/bare_frame
# shellcheck disable=SC2046  # wx-config's flags are words
g++ -O2 -o "$bare" "$here/bare_frame.cpp" $(wx-config --cxxflags --libs) || exit 1
cp "$exe" "$work/Corvalin"
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\n' >"$work/Corvalin.cfg"
"$work/Corvalin" >"$work/corvalin.log" 2>&1 & corv=$!; pids+=($corv)
GDK_BACKEND=x11 "$bare" & bare_pid=$!; pids+=($bare_pid)
GDK_BACKEND=x11 "$bare" --timer 20 & timer_pid=$!; pids+=($timer_pid)
titles=()
for n in 1 2 3 4; do
  foot -T "bench $n" sleep 3600 >/dev/null 2>&1 & pids+=($!)
  titles+=("bench $n")
done
for _ in $(seq 100); do
  [ "$(swaymsg -t get_tree | grep -c '"name": "bench [1-4]"')" = 4 ] && [ -s "$work/focus.jsonl" ] && break
  sleep 0.1
done
python3 "$here/sway_compare.py" "$work/focus.jsonl" "$corv" "$bare_pid" "$timer_pid" "${titles[@]}"
