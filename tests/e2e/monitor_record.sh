#!/usr/bin/env bash
# The log can be kept: the record file gets one JSON line per logged change,
# at once, appended across runs; an unwritable one is reported once while
# monitoring goes on; File > Save Log As writes the log as shown.  Each line
# says whether its change was asked for and how long the window before held
# the focus, and Corvalin --report names the program that took it unasked.
source "$(dirname "$0")/lib.sh"

dir=$(install_copy)
printf '[Options]\nRecordFile=records/focus.jsonl\n' >"$dir/Corvalin.cfg"
mkdir "$dir/records"
echo '{"kept":"from before"}' >"$dir/records/focus.jsonl"
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window '^Corvalin : Keep Watch!$') || { fail "frame did not appear"; finish; }
a=$(start_xterm "Record \"quoted\" one")
activate "$a"
press ctrl+shift+p
record="$dir/records/focus.jsonl"
check "the record is appended, never truncated" grep -qx '{"kept":"from before"}' "$record"
line=$(grep -F "\"handle\":$a," "$record" | tail -n1)
printf '%s\n' "$line"
check "a change is in the record at once, with every field in order" python3 -c '
import json, sys, re, datetime
line = sys.argv[1]; pid = int(sys.argv[2])
r = json.loads(line)
assert list(r)[:9] == ["time", "number", "module", "path", "pid", "class", "title", "handle", "seen"], list(r)
assert list(r)[9:] == ["held_ms", "idle_ms", "unprompted", "request"], list(r)
assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d", r["time"]), r["time"]
when = datetime.datetime.fromisoformat(r["time"])
assert abs((datetime.datetime.now(datetime.timezone.utc) - when).total_seconds()) < 60
assert r["module"] == "xterm" and r["path"].endswith("/xterm") and r["class"] == "XTerm", r
assert r["title"] == "Record \"quoted\" one" and r["pid"] == pid, r
assert r["seen"] in ("event", "tick"), r
' "$line" "$(xprop -id "$a" _NET_WM_PID | awk '{print $3}')"
# A click on another xterm is the user's; a program that asks for the focus
# for its own new window a second later, with no input meanwhile, takes it
# unasked, and when its window goes the focus comes back unasked too.
b=$(start_xterm "Record clicked")
activate "$a"
sleep 0.8
eval "$(xdotool getwindowgeometry --shell "$b")"
click_at $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) 1
sleep 1
"$FOCUS_SWITCHER" steal 0 700 >"$E2E_TMP/steal.out" 2>&1
thief=$(awk '$1 == "window" { print $2 }' "$E2E_TMP/steal.out")
sleep 0.5
check "the record tells the user's switch, the theft and its end apart, and each hold" python3 -c '
import json, sys, datetime
lines = [json.loads(l) for l in open(sys.argv[1]) if l.startswith("{\"time\"")]
a, b, thief = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
run = lines[-[r["number"] for r in reversed(lines)].index(1) - 1:]
handles = [r["handle"] for r in run]
i = handles.index(thief)
j = handles.index(b, i)
before, clicked, stolen, back = run[i - 2], run[i - 1], run[i], run[j]
print(*run[i - 2:j + 1], sep="\n")
# Between them at most the thief once more, logged as gone.
assert set(handles[i:j]) == {thief}, run[i:j]
assert before["handle"] == a and before["request"] == "pager" and before["unprompted"] is True, before
assert clicked["handle"] == b and clicked["unprompted"] is False and clicked["request"] is None, clicked
assert 0 <= clicked["idle_ms"] < 500, clicked
assert stolen["module"] == "focus_switcher" and stolen["unprompted"] is True, stolen
assert stolen["request"] == "application" and stolen["idle_ms"] >= 800, stolen
assert back["handle"] == b and back["unprompted"] is True and back["request"] is None, back
t = lambda r: datetime.datetime.fromisoformat(r["time"])
assert 0.7 <= (t(back) - t(stolen)).total_seconds() < 1.5, (stolen, back)
assert run[0]["held_ms"] is None
for prev, r in zip(run, run[1:]):
    assert r["number"] == prev["number"] + 1
    assert r["held_ms"] == round((t(r) - t(prev)).total_seconds() * 1000), (prev, r)
' "$record" "$a" "$b" "$thief"
report=$("$dir/Corvalin" --report "$record" 2>"$dir/report.err"); status=$?
printf '%s\n' "$report"
check "--report names the thief: one take, unprompted and brief, at today's date" \
  bash -c '[ "$1" = 0 ] && awk -v d="$(date +%F)" '"'"'$1 == "focus_switcher" && $2 == 1 && $3 == 1 && $4 == 1 && $(NF-1) == d { ok = 1 } END { exit !ok }'"'"' <<<"$2"' _ "$status" "$report"
check "... and counts the line kept from before as foreign" grep -q "1 foreign" "$dir/report.err"
log=$(read_log "$frame")
check "the record has a line for every line of the log" \
  [ "$(grep -c '"number":' "$record")" -ge "$(grep -c . <<<"$log")" ]

# File > Save Log As, through the toolkit's file dialog.
activate "$frame"
press ctrl+s
dialog=$(wait_dialog '^Save Log As$' 10)
check "Ctrl+S opens the Save Log As dialog" test -n "$dialog"
xdotool windowactivate --sync "$dialog" 2>/dev/null
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "$dir/saved.log"
xdotool key --clearmodifiers Return
for _ in $(seq 50); do [ -s "$dir/saved.log" ] && break; sleep 0.1; done
log=$(read_log "$frame")
check "the saved file holds the log as shown" \
  bash -c 'diff <(grep . "$1") <(grep . <<<"$2" | head -n "$(grep -c . "$1")")' _ "$dir/saved.log" "$log"
check "... and no temporary file is left beside it" \
  bash -c '[ "$(ls "$1" | grep -c saved)" = 1 ]' _ "$dir"
quit_via_menu "$frame"; wait_exit "$pid" 15

# A record file that cannot be written: one message, and monitoring goes on.
printf '[Options]\nRecordFile=/proc/version\n' >"$dir/Corvalin.cfg"
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window '^Corvalin : Keep Watch!$') || fail "frame did not appear"
box=$(wait_dialog 'Corvalin' 10)
check "an unwritable record file is reported" test -n "$box"
xdotool windowactivate --sync "$box" 2>/dev/null; xdotool key --clearmodifiers Return
sleep 0.5
check "... once" test -z "$(dialog_windows 'Corvalin')"
activate "$a"
log=$(read_log "$frame")
check "... and monitoring goes on" grep -qF "xterm - Record \"quoted\" one ($a)" <<<"$log"
stop_app "$pid"
finish
