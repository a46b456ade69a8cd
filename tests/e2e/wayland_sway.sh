#!/usr/bin/env bash
# Native Wayland windows on a wlroots compositor: inside
# tests/wayland/sway_session.sh, the focus moved by sway itself between
# native windows (foot, GTK on Wayland) and an X11 window on XWayland, read
# back from the record file.
source "$(dirname "$0")/lib.sh"

dir=$(install_copy)
# No tray host runs here: its error box would be a window of its own.
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\n' >"$dir/Corvalin.cfg"
start_app "$dir"
app=$LAST_PID
wait_count 1 20 grep -c 'wlroots foreign-toplevel' "$dir/out.log"
check "says it follows the windows through the wlroots protocol" \
  grep -q 'following its windows through the wlroots foreign-toplevel protocol' "$dir/out.log"

foot -T 'Foot One' sleep 600 >/dev/null 2>&1 & one=$!; E2E_PIDS+=($one)
foot -T 'Foot Two' sleep 600 >/dev/null 2>&1 & two=$!; E2E_PIDS+=($two)
GDK_BACKEND=wayland zenity --info --title 'Gtk Native' --text native >/dev/null 2>&1 & E2E_PIDS+=($!)
xterm -T 'X Term' -e sleep 600 & E2E_PIDS+=($!)
for title in 'Foot One' 'Foot Two' 'Gtk Native' 'X Term'; do
  wait_count 1 20 bash -c "swaymsg -t get_tree | grep -c '\"name\": \"$title\"'"
done
focus() { swaymsg -q "[title=\"^$1\$\"] focus"; sleep 0.4; }
lines() { wc -l <"$dir/focus.jsonl"; }

# Whatever was logged while the windows opened, from here on each switch
# must add exactly one line naming the window switched to.
focus 'Foot One'
start=$(lines)
for title in 'Gtk Native' 'X Term' 'Foot Two' 'Foot One' 'X Term'; do focus "$title"; done
# A title change of the active window is no switch.
xdotool search --name '^X Term$' set_window --name 'X Term renamed'
sleep 0.5
# An empty workspace has no focused window, and coming back is no switch.
swaymsg -q workspace 9; sleep 0.4; swaymsg -q workspace 1; sleep 0.4
focus 'Foot Two'
# Closing the active window hands the focus on, and that is logged.
kill "$two"; sleep 0.6

python3 - "$dir/focus.jsonl" "$start" <<'PY' && pass "every switch logged once, in order, with title, class and module" || fail "record lines"
import json, sys
recs = [json.loads(l) for l in open(sys.argv[1])]
new = recs[int(sys.argv[2]):]
got = [(r["title"], r["class"], r["module"], r["seen"]) for r in new]
want_titles = ["Gtk Native", "X Term", "Foot Two", "Foot One", "X Term renamed", "Foot Two"]
titles = [g[0] for g in got]
# The title of the X11 window is read when its line is written.
assert titles[:5] == ["Gtk Native", "X Term", "Foot Two", "Foot One", "X Term"], titles
assert titles[5] == "Foot Two", titles
assert len(titles) == 7, titles          # + the window that took over from Foot Two
assert titles[6] != "Foot Two", titles
assert all(g[3] == "event" for g in got), got
# sway's own IPC names the process behind each window.
assert all(r["pid"] > 0 for r in new), new
assert all("Not a valid window" not in (g[0], g[2]) for g in got), got
by = {g[0]: g for g in got}
assert by["Gtk Native"][1] == "zenity" and by["Gtk Native"][2] == "zenity", by["Gtk Native"]
assert by["Foot One"][1] == "foot" and by["Foot One"][2] == "foot", by["Foot One"]
assert by["X Term"][2] == "xterm", by["X Term"]
handles = {}
for r in new:
    handles.setdefault(r["title"].replace(" renamed", ""), set()).add(r["handle"])
assert all(len(h) == 1 for h in handles.values()), handles
assert len({next(iter(h)) for h in handles.values()}) == len(handles), handles
assert all(2**30 < next(iter(h)) < 2**31 for h in handles.values()), handles
print("ok:", titles)
PY
check "monitoring survives it all" kill -0 "$app"

# A window whose title and app id are not UTF-8 is named all the same, with
# its process, and does not cost any other window its process or path.
bad_title=$'bad \xff\xfe mid \xc3( end'
"$WAYLAND_WINDOWS" window "$bad_title" $'bad\xffapp' >"$E2E_TMP/bad.out" & bad=$!; E2E_PIDS+=($bad)
wait_count 1 20 grep -c mapped "$E2E_TMP/bad.out"
sleep 0.5
foot -T 'Foot After' sleep 600 >/dev/null 2>&1 & after=$!; E2E_PIDS+=($after)
wait_count 1 20 bash -c "grep -c '\"title\":\"Foot After\"' '$dir/focus.jsonl'"
python3 - "$dir/focus.jsonl" "$bad" <<'PY' && pass "an invalid-UTF-8 title and app id are named lossily with the pid; the next window keeps pid and path" || fail "invalid UTF-8 window"
import json, sys
recs = [json.loads(l) for l in open(sys.argv[1])]
bad = [r for r in recs if r["title"].startswith("bad ")]
assert len(bad) == 1, bad
b = bad[0]
assert b["title"].startswith("bad \ufffd") and " mid \ufffd( end" in b["title"], b
assert b["class"] == "bad\ufffdapp" and b["pid"] == int(sys.argv[2]), b
assert b["module"] == "wayland_windows" and b["path"].endswith("/wayland_windows"), b
after = [r for r in recs if r["title"] == "Foot After"][0]
assert after["pid"] > 0 and after["module"] == "foot" and after["path"].endswith("/foot"), after
print("ok:", b["title"], b["pid"])
PY

# Asked for or not: a window that maps and takes the focus with no input
# before it, and a switch right after a key the user typed (sway's virtual
# keyboard, as wtype types).
sleep 1
"$WAYLAND_WINDOWS" window Thief thief >/dev/null & E2E_PIDS+=($!)
wait_count 1 20 bash -c "grep -c '\"title\":\"Thief\"' '$dir/focus.jsonl'"
wtype -k Return; swaymsg -q '[title="^Foot One$"] focus'
wait_count 1 20 bash -c "tail -n1 '$dir/focus.jsonl' | grep -c '\"title\":\"Foot One\"'"
python3 - "$dir/focus.jsonl" <<'PY' && pass "the thief is unprompted, the switch after a key is not; every line has held_ms" || fail "unprompted on sway"
import json, sys
recs = [json.loads(l) for l in open(sys.argv[1])]
thief = [r for r in recs if r["title"] == "Thief"][-1]
after = recs[-1]
assert thief["unprompted"] is True and thief["idle_ms"] is None, thief
assert after["title"] == "Foot One" and after["unprompted"] is False, after
assert after["held_ms"] is not None and after["held_ms"] > 0, after
assert all("held_ms" in r and "unprompted" in r for r in recs), recs[0]
assert thief["new_window"] is True and after["new_window"] is False, (thief, after)
print("ok: thief", thief["unprompted"], "then", after["unprompted"], "held", after["held_ms"], "ms")
PY

# Who is behind a native thief: a script starts a foot window of an app id
# of its own, with no input; sway names its pid, and the chain is read from
# there while the window lives.
sleep 0.8
printf 'sleep 0.3\nfoot -a updater -T "Launched Foot" sleep 3\ntrue\n' >"$E2E_TMP/sway-nag.sh"
bash "$E2E_TMP/sway-nag.sh" >/dev/null 2>&1 & E2E_PIDS+=($!)
wait_count 1 20 bash -c "grep -c '\"title\":\"Launched Foot\"' '$dir/focus.jsonl'"
python3 - "$dir/focus.jsonl" <<'PY' && pass "a native window's launcher, command line and app id are named" || fail "culprit on sway"
import json, sys
r = [json.loads(l) for l in open(sys.argv[1]) if "Launched Foot" in l][-1]
assert r["module"] == "foot" and r["program"] == "foot (updater)", r
assert r["cmdline"].startswith("foot -a updater") and r["new_window"] is True, r
assert r["unprompted"] is True and r["cause"] == "none", r
assert r["parents"] and r["parents"][0]["module"] == "bash" and r["launcher"] == "sway-nag.sh", r
print("ok:", r["program"], "launched by", r["launcher"])
PY

# sway marks a window urgent (its answer to an activation it refuses): an
# attempt, named with the window's process, and no switch.
focus 'X Term renamed'
numbered=$(grep -c '"number":[0-9]' "$dir/focus.jsonl")
swaymsg -q '[title="^Foot One$"] urgent enable'
wait_count 1 5 grep -c '"attempt":"urgent"' "$dir/focus.jsonl"
check "a window sway marks urgent is an attempt with its process, and no change" python3 -c '
import json, sys
r = [json.loads(l) for l in open(sys.argv[1]) if "\"attempt\":\"urgent\"" in l][-1]
assert r["title"] == "Foot One" and r["module"] == "foot" and r["number"] is None and r["pid"] == int(sys.argv[2]), r
assert sum("\"number\":null" not in l for l in open(sys.argv[1])) == int(sys.argv[3]), "numbered lines"
' "$dir/focus.jsonl" "$one" "$numbered"
swaymsg -q '[title="^Foot One$"] urgent disable'

# A storm of 10,000 native windows: switches are still logged afterwards,
# and the connection to sway stayed up throughout.
before=$(lines)
"$WAYLAND_WINDOWS" storm 10000 || fail "the storm client failed"
storm_end=$(date +%s%N)
# The log catches up with the storm; then every switch is logged again.
for _ in $(seq 120); do
  n=$(lines); sleep 0.5; [ "$n" = "$(lines)" ] && break
done
echo "storm: $(( $(lines) - before )) lines logged, caught up $(( ($(date +%s%N) - storm_end) / 1000000 )) ms after the storm"
focus 'Foot One'; focus 'X Term renamed'; focus 'Foot After'
check "after the storm, each switch is logged" \
  bash -c 'tail -3 "$1" | python3 -c "import json,sys; t=[json.loads(l)[\"title\"] for l in sys.stdin]; sys.exit(t != [\"Foot One\", \"X Term renamed\", \"Foot After\"])"' _ "$dir/focus.jsonl"
check "the storm broke no connection" bash -c '! grep -q "stopped reporting" "$1"' _ "$dir/out.log"
check "monitoring survives the storm" kill -0 "$app"
stop_app "$app"

# sway killed and started again under a Corvalin whose own window is on an X
# server of its own: it says so, follows the new sway within a second of its
# start, and the notice goes.  Between the two, a compositor that takes the
# connection and never answers (what a stopped sway is to a client): the
# tries at taking it up cost the GUI no time it would miss.
start_own_x_server || fail "no X server of our own"
before=$(lines)
DISPLAY=$OWN_DISPLAY start_app "$dir"
app=$LAST_PID
wait_count 1 20 grep -c 'wlroots foreign-toplevel' "$dir/out.log"
frame=$(DISPLAY=$OWN_DISPLAY wait_window '^Corvalin : Keep Watch!$')
wait_count $((before + 1)) 10 lines  # its first window, whose hold the loss ends
old=$(cat "$CORVALIN_SWAY_SESSION/sway.pid")
lost_ms=$(date +%s%3N)
kill -- "-$old" 2>/dev/null
for _ in $(seq 50); do kill -0 "$old" 2>/dev/null || break; sleep 0.1; done
rm -f "$XDG_RUNTIME_DIR/wayland-1" "$XDG_RUNTIME_DIR/wayland-1.lock" "$SWAYSOCK"
python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(64); time.sleep(600)' \
  "$XDG_RUNTIME_DIR/wayland-1" & hung=$!; E2E_PIDS+=($hung)
wait_count 1 10 grep -c 'stopped reporting windows; reconnecting' "$dir/out.log"
DISPLAY=$OWN_DISPLAY "$FOCUS_SWITCHER" ping "$frame" 6 >"$E2E_TMP/ping.txt"
read -r _ sent _ answered _ slowest <"$E2E_TMP/ping.txt"
echo "hung compositor: $(cat "$E2E_TMP/ping.txt")"
check "while a hung compositor is tried again, the GUI answers every ping within 100 ms" \
  [ "${answered:-0}" = "${sent:-x}" ] && [ "${slowest:-999}" -lt 100 ]
kill "$hung"; wait "$hung" 2>/dev/null
"$(dirname "$0")/../wayland/sway_session.sh" --restart || fail "sway did not start again"
restarted=$(date +%s%N)
wait_count 1 10 grep -c 'stopped reporting windows; reconnecting' "$dir/out.log"
wait_count 1 10 grep -c 'reports windows again' "$dir/out.log"
back=$(date +%s%N)
echo "taken up again $(( (back - restarted) / 1000000 )) ms after sway's restart"
check "the loss is said once, with its reason" test "$(grep -c 'stopped reporting windows' "$dir/out.log")" = 1
before=$(lines)
foot -T 'Foot Again' sleep 600 >/dev/null 2>&1 & E2E_PIDS+=($!)
wait_count 1 20 bash -c "grep -c '\"title\":\"Foot Again\"' '$dir/focus.jsonl'"
check "the hold across the loss ends at the loss, not at the next window seen" python3 -c '
import json, sys, datetime
records = [json.loads(l) for l in open(sys.argv[1])]
i = max(n for n, r in enumerate(records) if r["title"] == "Foot Again")
ms = lambda r: datetime.datetime.fromisoformat(r["time"]).timestamp() * 1000
print("held_ms", records[i]["held_ms"], "from", records[i - 1]["title"], "lost after", int(sys.argv[2]) - ms(records[i - 1]))
assert records[i]["held_ms"] is not None and records[i]["held_ms"] <= int(sys.argv[2]) - ms(records[i - 1]) + 300
' "$dir/focus.jsonl" "$lost_ms"
check "the new sway's windows are logged, with their process" \
  bash -c 'grep "\"Foot Again\"" "$1" | grep -q "\"module\":\"foot\""' _ "$dir/focus.jsonl"
check "monitoring survives the restart" kill -0 "$app"
stop_app "$app"

# The hot key through sway itself, while a native window has the focus and
# monitoring is off: typed on sway's virtual keyboard, it logs that window.
# No X server for Corvalin's own windows: they are native too.
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\nMonitorWindows=0\n' >"$dir/Corvalin.cfg"
DISPLAY= start_app "$dir"; app=$LAST_PID
wait_count 1 20 grep -c 'wlroots foreign-toplevel' "$dir/out.log"
wait_count 1 20 bash -c "swaymsg -t get_tree | grep -c '\"name\": \"Corvalin : Keep Watch!\"'"
swaymsg -q '[title="^Foot Again$"] focus'; sleep 0.3
before=$(lines)
swaymsg -t subscribe -m '["binding"]' >"$E2E_TMP/bindings" 2>/dev/null & watcher=$!; E2E_PIDS+=($watcher)
sleep 0.3
wtype -M ctrl -M shift -k p -m shift -m ctrl
wait_count $((before + 1)) 10 lines
check "the hot key logs the focused native window, as a hot-key sample" \
  bash -c 'tail -n1 "$1" | grep -q "\"title\":\"Foot Again\".*\"seen\":\"hotkey\""' _ "$dir/focus.jsonl"
check "no XWayland: the failed X11 grab is said on stderr, and no box, since sway's binding works" \
  bash -c 'grep -q "X11 grab: refused.*The compositor.s binding works" "$1" &&
           ! swaymsg -t get_tree | grep -q "\"name\": \"Corvalin Error\""' _ "$dir/out.log"
stop_app "$app"
wtype -M ctrl -M shift -k p -m shift -m ctrl; sleep 0.5
kill "$watcher" 2>/dev/null
check "after Corvalin quits the binding is gone (one binding event in all, none after)" \
  test "$(grep -c corvalin-hotkey "$E2E_TMP/bindings")" = 1

# Two Corvalins on one sway: the second leaves the key to the first and
# says so; its exit takes nothing away from the first.
DISPLAY=$OWN_DISPLAY start_app "$dir"; first=$LAST_PID
wait_count 1 20 grep -c 'wlroots foreign-toplevel' "$dir/out.log"
other=$(install_copy Watcher)
cp "$dir/Corvalin.cfg" "$other/"
DISPLAY=$OWN_DISPLAY start_app "$other" Watcher; second=$LAST_PID
wait_count 1 20 grep -c "another Corvalin (pid $first) has Ctrl+Shift+p" "$other/out.log"
check "a second Corvalin on the same sway leaves the key to the first, and says so" \
  grep -q "another Corvalin (pid $first) has Ctrl+Shift+p" "$other/out.log"
stop_app "$second"
before=$(lines)
wtype -M ctrl -M shift -k p -m shift -m ctrl
wait_count $((before + 1)) 10 lines
check "... after the second quits, the first's key still works" \
  bash -c 'tail -n1 "$1" | grep -q "\"seen\":\"hotkey\""' _ "$dir/focus.jsonl"
stop_app "$first"

# A key the user binds in a file that sway's config includes (which sway's
# IPC does not show) is left alone, and said; Corvalin's exit keeps it.
config="$CORVALIN_SWAY_SESSION/config"
# (sway runs as nobody: the mark goes where nobody may write.)
printf 'include keys.d/*\n' >>"$config"
mkdir -p "$CORVALIN_SWAY_SESSION/keys.d"
printf 'set $mine Ctrl+Shift\nbindsym $mine+p exec touch %s/user-binding\n' "$XDG_RUNTIME_DIR" \
  >"$CORVALIN_SWAY_SESSION/keys.d/user"
chmod -R a+rX "$CORVALIN_SWAY_SESSION/keys.d"
swaymsg -q reload; sleep 0.5
DISPLAY= start_app "$dir"; app=$LAST_PID
wait_count 1 20 grep -c "binds Ctrl+Shift+p already" "$dir/out.log"
check "the user's own binding of the key, in an included file, is left alone and said" \
  grep -q "binds Ctrl+Shift+p already" "$dir/out.log"
wait_count 1 10 bash -c 'swaymsg -t get_tree | grep -c "\"name\": \"Corvalin Error\""'
check "no way bound the key: the box, which says what failed where" \
  bash -c 'swaymsg -t get_tree | grep -q "\"name\": \"Corvalin Error\""'
wtype -M ctrl -M shift -k p -m shift -m ctrl
wait_count 1 5 bash -c "ls '$XDG_RUNTIME_DIR' | grep -c user-binding"
check "... and it still runs the user's command" test -e "$XDG_RUNTIME_DIR/user-binding"
stop_app "$app"
rm -f "$XDG_RUNTIME_DIR/user-binding"
wtype -M ctrl -M shift -k p -m shift -m ctrl
wait_count 1 5 bash -c "ls '$XDG_RUNTIME_DIR' | grep -c user-binding"
check "... and still after Corvalin quit" test -e "$XDG_RUNTIME_DIR/user-binding"

# A stored key no notation names (a media key): said, and the box, not
# silence.
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\nMonitorWindows=0\nHotKey=173\n' >"$dir/Corvalin.cfg"
DISPLAY= start_app "$dir"; app=$LAST_PID
wait_count 1 20 grep -c "virtual-key code 0xAD) has no name sway knows" "$dir/out.log"
check "a key sway cannot name is said on stderr" \
  grep -q "virtual-key code 0xAD) has no name sway knows" "$dir/out.log"
wait_count 1 10 bash -c 'swaymsg -t get_tree | grep -c "\"name\": \"Corvalin Error\""'
check "... and in the box" bash -c 'swaymsg -t get_tree | grep -q "\"name\": \"Corvalin Error\""'
stop_app "$app"
finish
