#!/usr/bin/env bash
# A typist and a thief, side by side with the judging by idle time alone.
#
# A typist types in bursts into two terminals and clicks from one to the other
# (the user's own switches); a thief, every 7 to 15 s, takes the focus: a new
# window from a script, a window that lives 150 ms, or an old window that its
# program raises (an application's activation request).  Every step is
# time-stamped and matched to Corvalin's record; the table says how many
# thefts were flagged unprompted, and how many of the user's switches were,
# now and by the idle time alone (what Corvalin judged by before).
#
#   bench/typist_thief.sh [SECONDS]        on X11: Xvfb, openbox (default 180 s)
#   bench/typist_thief.sh --sway [SECONDS] on headless sway, native foot windows
#
# Needs the build (build/Corvalin, build/tests/focus_switcher) and, for sway,
# what test.sh installs.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = --sway ]; then
  shift
  exec "$root/tests/wayland/sway_session.sh" bash "$root/bench/typist_thief.sh" --in-sway "$@"
fi
if [ "${1:-}" != --in-sway ] && [ "${1:-}" != --in-x ]; then
  exec "$root/tests/x_session.sh" bash "$root/bench/typist_thief.sh" --in-x "$@"
fi
desktop=${1#--in-}; shift
duration=${1:-180}
source "$root/tests/e2e/lib.sh"
switcher=$root/build/tests/focus_switcher
events=$E2E_TMP/events
dir=$(install_copy)
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\n' >"$dir/Corvalin.cfg"
start_app "$dir"; app=$LAST_PID
now_ms() { date +%s%3N; }
log() { echo "$(now_ms) $*" >>"$events"; }

if [ "$desktop" = x ]; then
  wait_window '^Corvalin : Keep Watch!$' >/dev/null
  t1=$(start_xterm "Typist one" ) && t2=$(start_xterm "Typist two") || exit 1
  old=$(start_xterm "Old nagger")
  active() { xdotool getactivewindow 2>/dev/null; }
  click_on() {  # the middle of the window
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
  }
  type_burst() { xdotool type --delay 45 "$1"; }
  new_window() {  # HOLD_MS: prints the thief's window
    printf '"%s" steal 0 %s\n' "$switcher" "$1" >"$E2E_TMP/nag.sh"
    bash "$E2E_TMP/nag.sh" >"$E2E_TMP/steal.out" 2>&1 &
    for _ in $(seq 40); do grep -q '^window' "$E2E_TMP/steal.out" && break; sleep 0.05; done
    awk '$1 == "window" { print $2 }' "$E2E_TMP/steal.out"
  }
  raise_old() { printf '"%s" raise %s\n' "$switcher" "$old" >"$E2E_TMP/old-nag.sh"; bash "$E2E_TMP/old-nag.sh"; }
else
  wait_count 1 20 grep -c 'wlroots foreign-toplevel' "$dir/out.log" >/dev/null
  for t in 'Typist one' 'Typist two' 'Old nagger'; do
    foot -T "$t" cat >/dev/null 2>&1 & E2E_PIDS+=($!)
    wait_count 1 20 bash -c "swaymsg -t get_tree | grep -c '\"name\": \"$t\"'" >/dev/null
  done
  t1='Typist one'; t2='Typist two'; old='Old nagger'
  active() { swaymsg -t get_tree | python3 -c 'import json, sys
def walk(n):
    if n.get("focused"): print(n.get("name")); return True
    return any(walk(c) for c in n.get("nodes", []) + n.get("floating_nodes", []))
walk(json.load(sys.stdin))'; }
  # sway's seat cursor stands in for the pointer: a press on the window.
  click_on() {
    local rect
    rect=$(swaymsg -t get_tree | python3 -c 'import json, sys
def walk(n):
    if n.get("name") == sys.argv[1]:
        r = n["rect"]; print(r["x"] + r["width"] // 2, r["y"] + r["height"] // 2); return True
    return any(walk(c) for c in n.get("nodes", []) + n.get("floating_nodes", []))
walk(json.load(sys.stdin))' "$1")
    swaymsg -q "seat seat0 cursor set $rect"
    swaymsg -q "seat seat0 cursor press button1"; swaymsg -q "seat seat0 cursor release button1"
  }
  type_burst() { wtype -d 45 "$1"; }
  serial=0
  new_window() {
    serial=$((serial + 1))
    printf 'foot -a updater -T "Thief %s" sleep %s\ntrue\n' "$serial" "$(awk "BEGIN { print $1 / 1000 }")" \
      >"$E2E_TMP/nag.sh"
    bash "$E2E_TMP/nag.sh" >/dev/null 2>&1 &
    echo "Thief $serial"
  }
  raise_old() { printf 'swaymsg -q "[title=\\"^%s$\\"] focus"\n' "$old" >"$E2E_TMP/old-nag.sh"; bash "$E2E_TMP/old-nag.sh"; }
fi

# The typist: bursts of words, and now and then a click into the other terminal.
(
  end=$((SECONDS + duration))
  while [ $SECONDS -lt $end ]; do
    for _ in $(seq $((RANDOM % 3 + 2))); do
      type_burst "lorem ipsum dolor "; sleep "0.$((RANDOM % 6))"
    done
    target=$t1; [ "$(active)" = "$t1" ] && target=$t2
    log switch "$target"; click_on "$target"
    sleep 0.4
  done
) &
typist=$!
# The thief.
end=$((SECONDS + duration))
while [ $SECONDS -lt $((end - 3)) ]; do
  sleep $((7 + RANDOM % 9))
  case $((RANDOM % 3)) in
    0) at=$(now_ms); w=$(new_window 900); echo "$at new $w" >>"$events" ;;
    1) at=$(now_ms); w=$(new_window 150); echo "$at brief $w" >>"$events" ;;
    2) log old "$old"; raise_old ;;
  esac
done
wait "$typist"
sleep 1

python3 - "$events" "$dir/focus.jsonl" "$desktop" "$(id -u)" <<'PY'
import datetime, json, sys
events = [l.rstrip("\n").split(" ", 2) for l in open(sys.argv[1]) if l.strip()]
recs = [json.loads(l) for l in open(sys.argv[2]) if l.startswith('{"time"')]
desktop = "X11 (openbox)" if sys.argv[3] == "x" else "sway"
ms = lambda r: datetime.datetime.fromisoformat(r["time"]).timestamp() * 1000
def named(r, what):
    return str(r["handle"]) == what or r["title"] == what
rows = {}
print(len(events), "steps,", len(recs), "record lines", file=sys.stderr)
for at, kind, what in events:
    at = int(at)
    span = 1500 if kind == "switch" else 3000
    hit = next((r for r in recs if at - 50 <= ms(r) <= at + span and named(r, what)), None)
    if hit is None:
        continue  # the click landed on the window in front, or the thief was refused
    if kind != "switch" and hit["unprompted"] is not True or kind == "switch" and hit["unprompted"] is True:
        print("missed:", kind, {k: hit[k] for k in ("number", "module", "title", "idle_ms", "request",
              "new_window", "cause", "launcher")}, file=sys.stderr)
    row = rows.setdefault(kind, [0, 0, 0])
    row[0] += 1
    row[1] += hit["unprompted"] is True
    row[2] += hit["idle_ms"] is not None and hit["idle_ms"] > 500
names = {"new": "new window", "brief": "150 ms window", "old": "old window raised", "switch": "user's clicks"}
thefts = [sum(rows.get(k, [0, 0, 0])[i] for k in ("new", "brief", "old")) for i in range(3)]
pct = lambda a, b: "%5.1f %%" % (100.0 * a / b) if b else "    -"
print("%-14s %-18s %5s  %-16s %-16s" % ("desktop", "steps", "seen", "flagged now", "by idle alone"))
for kind in ("new", "brief", "old", "switch"):
    n, now, idle = rows.get(kind, [0, 0, 0])
    print("%-14s %-18s %5d  %4d  %-10s %4d  %s" % (desktop, names[kind], n, now, pct(now, n), idle, pct(idle, n)))
print("%-14s %-18s %5d  %4d  %-10s %4d  %s" % (desktop, "all thefts", thefts[0], thefts[1], pct(thefts[1], thefts[0]),
                                               thefts[2], pct(thefts[2], thefts[0])))
PY
stop_app "$app" >/dev/null 2>&1
