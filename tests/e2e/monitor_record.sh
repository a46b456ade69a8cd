#!/usr/bin/env bash
# The log can be kept: the record file gets one JSON line per logged change,
# at once, appended across runs; an unwritable one is reported once while
# monitoring goes on; File > Save Log As writes the log as shown.
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
