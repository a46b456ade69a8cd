#!/usr/bin/env bash
# The log can be kept: the record file gets one JSON line per logged change,
# at once, appended across runs; an unwritable one is reported once while
# monitoring goes on; File > Save Log As writes the log as shown.  Each line
# says whether its change was asked for and how long the window before held
# the focus, and Corvalin --report names the program that took it unasked.
# Beside a private journald (tests/e2e/journal_session.sh): each stored
# change is one journal entry as it happens, with the record's fields; the
# filters keep excluded programs and titles out of both; systemd-journal-upload
# forwards it to systemd-journal-remote; a journal gone is said once while
# logging goes on.
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
assert list(r)[9:13] == ["held_ms", "idle_ms", "unprompted", "request"], list(r)
assert list(r)[13:] == ["started", "cmdline", "user", "user_id", "parents", "parents_end", "unit",
                        "elevated", "new_window", "client", "recent", "cause", "launcher", "program", "own",
                        "attempt", "focused"], list(r)
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
assert clicked["cause"] == "click" and stolen["cause"] == "none", (clicked, stolen)
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
# Two tries at the focus that openbox refuses: a window marked as demanding
# attention, and an activation request for a window it cannot show.  Each is
# a record line of its own, with no number; the numbering of changes goes on.
numbered=$(grep -c '"number":[0-9]' "$record")
"$FOCUS_SWITCHER" nag attention 1200 >"$E2E_TMP/nag-a.out" 2>&1
"$FOCUS_SWITCHER" nag refused 1200 >"$E2E_TMP/nag-r.out" 2>&1
wait_count 2 5 grep -c '"seen":"attempt"' "$record" >/dev/null
check "each refused try at the focus is an attempt line naming the window in front, and numbers no change" python3 -c '
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1]) if l.startswith("{\"time\"")]
tried = [r for r in lines if r["seen"] == "attempt"]
print(*tried, sep="\n")
assert [(r["attempt"], r["handle"]) for r in tried] == [("attention", int(sys.argv[2])), ("refused-request", int(sys.argv[3]))], tried
assert all(r["number"] is None and r["module"] == "focus_switcher" and r["focused"] for r in tried), tried
assert all(r["parents"] and r["started"] for r in tried), tried
assert sum(isinstance(r["number"], int) for r in lines) == int(sys.argv[4]), "no line numbered for them"
' "$record" "$(awk '$1 == "window" { print $2 }' "$E2E_TMP/nag-a.out")" \
  "$(awk '$1 == "window" { print $2 }' "$E2E_TMP/nag-r.out")" "$numbered"
report=$("$dir/Corvalin" --report "$record" 2>"$dir/report.err"); status=$?
printf '%s\n' "$report"
check "--report names the thief: one take, unprompted and brief, two attempts, at today's date" \
  bash -c '[ "$1" = 0 ] && awk -v d="$(date +%F)" '"'"'$1 == "focus_switcher" && $2 == 1 && $3 == 1 && $4 == 1 && $5 == 2 && $(NF-1) == d { ok = 1 } END { exit !ok }'"'"' <<<"$2"' _ "$status" "$report"
check "... and counts the line kept from before as foreign" grep -q "1 foreign" "$dir/report.err"
takes=$("$dir/Corvalin" --report "$record" --takes focus_switcher --csv 2>/dev/null)
table=$("$dir/Corvalin" --report "$record" --csv 2>/dev/null)
check "--takes lists the thief's take as the record has it, and its hold figures match" python3 -c '
import csv, io, json, sys
recs = [json.loads(l) for l in open(sys.argv[1]) if l.startswith("{\"time\"")]
i = next(i for i, r in enumerate(recs) if r["module"] == "focus_switcher")
take, before, after = recs[i], recs[i - 1], recs[i + 1]
rows = list(csv.DictReader(io.StringIO(sys.argv[2])))
assert [r["kind"] for r in rows] == ["take", "attention", "refused-request"], rows
row = rows[0]
assert row["time"] == take["time"] and row["title"] == take["title"] and row["unprompted"] == "true", (row, take)
assert row["held_ms"] == str(after["held_ms"]), (row, after)
assert (row["interrupted_program"], row["interrupted_title"]) == (before["program"], before["title"]), (row, before)
thief = next(r for r in csv.DictReader(io.StringIO(sys.argv[3])) if r["program"] == "focus_switcher")
assert thief["median_ms"] == thief["longest_ms"] == thief["total_ms"] == thief["shortest_ms"] == row["held_ms"], thief
' "$record" "$takes" "$table"
# With no file, the one the settings record to; days by name and spans back.
check "--report with no file reads the configured record, and says so; today and -1h take it all" bash -c '
  for since in today -1h; do
    [ "$("$1/Corvalin" --report --since "$since" 2>"$1/default.err")" = "$2" ] || exit 1
    grep -qF "reading $1/records/focus.jsonl (RecordFile in the settings)" "$1/default.err" || exit 1
  done' _ "$dir" "$report"
log=$(read_log "$frame")
check "the record has a line for every line of the log" \
  [ "$(grep -c '"number":' "$record")" -ge "$(grep -c . <<<"$log")" ]

# Who is behind a theft, read while the thief lives: a script with a name of
# its own starts, with no input, a program that takes the focus for a new
# window, an xterm running a short command, and the program again through
# sh -c; then all once more while the user types into another xterm.  Last,
# a long-lived host opens a window when a short script asks it to: the script
# is among the take's recent processes.
"$FOCUS_SWITCHER" host 300 >"$E2E_TMP/host.out" 2>&1 & E2E_PIDS+=($!)
host=$!
cat >"$E2E_TMP/nag-launcher.sh" <<EOF
sleep 0.3
"$FOCUS_SWITCHER" steal 0 600 >/dev/null
xterm -T "launched xterm" -geometry 30x5 -e sleep 1.2
sh -c '"$FOCUS_SWITCHER" steal 0 600 >/dev/null'
EOF
activate "$a"
sleep 0.6
bash "$E2E_TMP/nag-launcher.sh"
activate "$a"
sleep 0.8
xdotool type --delay 60 "typing along while something pops up" &
typist=$!
bash "$E2E_TMP/nag-launcher.sh"
wait "$typist"
sleep 2.5
printf 'kill -USR1 %s\nsleep 1\n' "$host" >"$E2E_TMP/poke.sh"
bash "$E2E_TMP/poke.sh" & poker=$!
wait "$poker"
check "the record names each thief's launcher, command line and new window, also while the user types" python3 -c '
import json, sys, getpass
lines = [json.loads(l) for l in open(sys.argv[1]) if l.startswith("{\"time\"")]
thieves = [r for r in lines if "steal 0 600" in (r["cmdline"] or "") or r["title"] == "launched xterm"]
thieves = [r for r in thieves if r["module"] != "Not a valid window"]
print(*thieves, sep="\n")
assert len(thieves) == 6, [(r["number"], r["module"], r["title"], r["seen"]) for r in lines[-30:]]
for r in thieves:
    assert r["launcher"] == "nag-launcher.sh", r
    assert r["new_window"] is True and r["unprompted"] is True and r["cause"] == "none", r
    assert r["started"] and r["started"] <= r["time"] and r["user"] == getpass.getuser(), r
    assert r["parents_end"] in ("root", "limit"), r
    assert all(p["pid"] > 0 and p["started"] for p in r["parents"]), r
xterm = [r for r in thieves if r["title"] == "launched xterm"]
assert len(xterm) == 2 and all(r["cmdline"].endswith("-e sleep 1.2") for r in xterm), xterm
assert all(r["parents"][0]["module"] in ("sh", "dash") for r in thieves[2::3]), thieves
assert all(r["recent"] is None for r in thieves), thieves  # new processes: their own chain says it
hosted = [r for r in lines if r["title"] == "hosted"]
assert len(hosted) == 1 and hosted[0]["unprompted"] is True, hosted
assert int(sys.argv[2]) in [p["pid"] for p in hosted[0]["recent"]], hosted
' "$record" "$poker"

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

# --- The system journal ----------------------------------------------------
[ -S /run/systemd/journal/socket ] && [ -n "${JOURNAL_DIR:-}" ] ||
  { fail "no private journal: run me inside tests/e2e/journal_session.sh"; finish; }
journal_json() {  # journal_json DIR PID: Corvalin's entries of that run
  journalctl --directory="$1" --no-pager -o json -t Corvalin _PID="$2" 2>/dev/null
}
printf '[Options]\nRecordFile=records/journal.jsonl\nSystemLog=1\nExcludeModules=focus_switcher|hush.sh\nExcludeTitles=Record secret.*\nStoreCommandLines=0\n' \
  >"$dir/Corvalin.cfg"
printf 'xterm -T "launched by a secret" -geometry 30x5 -e sleep 1\n' >"$E2E_TMP/hush.sh"
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window '^Corvalin : Keep Watch!$') || fail "frame did not appear"
secret=$(start_xterm "Record secret plans")
activate "$a"
activate "$secret"
activate "$a"
bash "$E2E_TMP/hush.sh"
activate "$a"
xdotool windowraise "$b"
sleep 0.8
eval "$(xdotool getwindowgeometry --shell "$b")"
click_at $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) 1
sleep 1
"$FOCUS_SWITCHER" steal 0 700 >"$E2E_TMP/steal2.out" 2>&1
sleep 0.5
log=$(read_log "$frame")
sleep 0.5
journal_json "$JOURNAL_DIR" "$pid" >"$E2E_TMP/journal.json"
journalctl --directory="$JOURNAL_DIR" --no-pager -t Corvalin _PID="$pid" | tail -n 3
check "each stored change is one journal entry, at once, with the line and the record's fields; excluded ones are in neither" \
  python3 -c '
import json, sys, datetime
entries = [json.loads(l) for l in open(sys.argv[1])]
log = [l.rstrip() for l in sys.argv[2].splitlines() if l.strip()]
records = [json.loads(l) for l in open(sys.argv[3])]
stored = [l for l in log if "focus_switcher - " not in l and " - Record secret" not in l
          and " - launched by a secret" not in l]
assert len(stored) < len(log) and [e["MESSAGE"] for e in entries] == stored, (entries, log)
assert len(records) == len(entries) and "secret" not in repr(entries + records), records
assert {e["PRIORITY"] for e in entries} == {"5", "6"}, entries
for e, r in zip(entries, records):
    assert e["SYSLOG_IDENTIFIER"] == "Corvalin" and e["MESSAGE_ID"] == "95ba86bebfff41c28796767ac976a5ac", e
    def text(k, v):
        if k == "parents" and v is not None:
            return " < ".join("%d:%s" % (p["pid"], p["module"] or "?") for p in v)
        if isinstance(v, (list, dict)):
            return json.dumps(v, separators=(",", ":"), ensure_ascii=False)
        return "" if v is None else str(v).lower() if isinstance(v, bool) else str(v)
    assert all(e["CORVALIN_" + k.upper()] == text(k, v) for k, v in r.items()), (e, r)
    assert r["cmdline"] is None, r
    assert e.get("OBJECT_PID", "0") == str(r["pid"]) and e["PRIORITY"] == ("5" if r["unprompted"] else "6"), e
    late = int(e["__REALTIME_TIMESTAMP"]) / 1e6 - datetime.datetime.fromisoformat(r["time"]).timestamp()
    assert -0.01 <= late < 0.5, (late, e)
print(len(entries), "entries, as many record lines")
' "$E2E_TMP/journal.json" "$log" "$dir/records/journal.jsonl"

# Forwarding: systemd-journal-upload sends this journal over the loopback to
# systemd-journal-remote, and the entries read back from what it wrote.
mkdir "$E2E_TMP/remote"
port=$((20000 + RANDOM % 20000))
/lib/systemd/systemd-journal-remote --listen-http="127.0.0.1:$port" --output="$E2E_TMP/remote/" \
  >"$E2E_TMP/remote.log" 2>&1 &
E2E_PIDS+=($!)
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
/lib/systemd/systemd-journal-upload --url="http://127.0.0.1:$port" --directory="$JOURNAL_DIR" \
  --follow=no --save-state="$E2E_TMP/upload.state" >"$E2E_TMP/upload.log" 2>&1
journal_json "$E2E_TMP/remote" "$pid" >"$E2E_TMP/remote.json"
check "systemd-journal-upload hands the entries to systemd-journal-remote, whole" python3 -c '
import json, sys
ours = lambda path: [{k: v for k, v in json.loads(l).items() if k.startswith(("CORVALIN_", "MESSAGE", "PRIORITY"))}
                     for l in open(path)]
assert len(ours(sys.argv[1])) > 3 and ours(sys.argv[2]) == ours(sys.argv[1])
' "$E2E_TMP/journal.json" "$E2E_TMP/remote.json"

# The journal stalls (journald stopped, its socket's queue full): switched
# off and on 20 times, a line logged each time it is on, the system log
# leaves no thread behind, and the journal takes the lines once it moves.
kill -STOP "$JOURNALD_PID"
python3 -c '
import socket
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM); s.setblocking(False)
try:
    while True: s.sendto(b"MESSAGE=filler\nSYSLOG_IDENTIFIER=filler\n", "/run/systemd/journal/socket")
except BlockingIOError: pass'
toggle() { activate "$frame"; xdotool key --clearmodifiers alt+f; sleep 0.3; xdotool key Down Down Down Down Down Return; sleep 0.2; }
activate "$a"; activate "$frame"  # the first line sticks in the journal
threads_before=$(ls "/proc/$pid/task" | wc -l)
for _ in $(seq 20); do toggle; toggle; activate "$a"; done
threads_after=$(ls "/proc/$pid/task" | wc -l)
check "20 switches of the system log while the journal is stuck leave no thread behind ($threads_before -> $threads_after threads)" \
  [ "$threads_after" -le "$threads_before" ]
check "... and it is on again" [ "$(cfg_value "$dir/Corvalin.cfg" Options SystemLog)" = 1 ]
kill -CONT "$JOURNALD_PID"
activate "$b"
wait_count 1 10 bash -c "journalctl --directory='$JOURNAL_DIR' --no-pager -t Corvalin _PID=$pid | grep -c 'Record clicked ($b) *\$'"
check "... once the journal moves, the latest line gets there" \
  bash -c "journalctl --directory='$JOURNAL_DIR' --no-pager -t Corvalin _PID=$pid | tail -n1 | grep -q 'Record clicked ($b)'"
activate "$frame"

# The journal goes away: said once, below the log and on stderr, never in a
# box of ours (which would take the focus); the log and the record go on.
kill "$JOURNALD_PID"
rm -f /run/systemd/journal/socket
activate "$b"
wait_count 1 10 grep -c 'There is no system journal here' "$dir/out.log"
activate "$a"
activate "$b"
sleep 0.5
said=$(grep -c 'Corvalin: There is no system journal here (no /run/systemd/journal/socket)' "$dir/out.log")
check "a journal gone is said once, naming the missing socket, and no box of ours comes up ($said)" \
  [ -z "$(dialog_windows Corvalin)" -a "$said" = 1 ]
log=$(read_log "$frame")
check "... and the log and the record go on" bash -c '
  [ "$(grep -c "xterm - Record clicked ($2)" <<<"$1")" -ge 3 ] && [ "$(grep -c "\"handle\":$2," "$3")" -ge 3 ]' \
  _ "$log" "$b" "$dir/records/journal.jsonl"
stop_app "$pid"
finish
