# Foreground events under Wine: each change is logged from what its event
# said.  Sourced by wine_e2e.sh, which gives probe, check, wait_exit, TMP
# and PIDS.

# In the record file from byte OFFSET on: the lines for handle THIEF, those
# of them seen by an event, and whether the time stamps of all the lines
# only ever go forward.  Prints "EVENTS TOTAL IN-ORDER(1/0)".
count_thief_lines() {  # count_thief_lines RECORD OFFSET THIEF
  python3 - "$@" <<'PY'
import json, sys
data = open(sys.argv[1], "rb").read()[int(sys.argv[2]):].decode("utf-8")
records = [json.loads(line) for line in data.split("\n") if line]
mine = [r for r in records if r["handle"] == int(sys.argv[3])]
times = [r["time"] for r in records]
print(sum(r["seen"] == "event" for r in mine), len(mine), int(times == sorted(times)))
PY
}

# Whether the log of FRAME has the lines of the record file RECORD and no
# others, each of them whole, in their order.
log_matches_record() {  # log_matches_record FRAME RECORD
  probe text "$1" 10007 | python3 -c '
import json, re, sys
log = sys.stdin.buffer.read().decode("utf-8").replace("\r\n", "\n").split("\n")
if log and log[-1] == "":
    log.pop()
whole = re.compile(r"^([0-9]{3,})\.  [0-9]{2}:[0-9]{2}:[0-9]{3}     .* \(-?[0-9]+\) $")
shown = []
for line in log:
    match = whole.match(line)
    if not match:
        sys.exit("not a whole line: %r" % line[:120])
    shown.append(int(match.group(1)))
recorded = [json.loads(line)["number"] for line in open(sys.argv[1], "rb").read().decode("utf-8").split("\n") if line]
if shown != recorded:
    sys.exit("log %d lines, record %d lines" % (len(shown), len(recorded)))
' "$2"
}

# 40 times: the probe's home window holds the foreground HOLD ms, then its
# thief takes it for THIEF ms.  Sets EVENTS, TOTAL and IN_ORDER.
run_switches() {  # run_switches RECORD HOLD THIEF [inject]
  local record=$1 offset handles
  offset=$(stat -c %s "$record" 2>/dev/null || echo 0)
  handles=$(probe switch "$2" "$3" 40 ${4:-} | head -n1)
  sleep 1
  read -r EVENTS TOTAL IN_ORDER < <(count_thief_lines "$record" "$offset" "${handles#* }")
}

event_path_tests() {  # event_path_tests CORVALIN_EXE
  local app="$TMP/app_events" pid frame native record
  mkdir -p "$app"
  cp "$1" "$app/Corvalin.exe"
  printf '[Options]\r\nRecordFile=focus.jsonl\r\n' >"$app/Corvalin.cfg"
  record="$app/focus.jsonl"
  CORVALIN_LINE_COST=1 WINEDEBUG=-all,warn+seh wine "$app/Corvalin.exe" >"$TMP/app_events.out" 2>&1 &
  pid=$!; PIDS+=("$pid")
  frame=$(probe find "Corvalin : Keep Watch!" 30000)
  check "event path: the frame opens" [ -n "$frame" ]
  [ -n "$frame" ] || return

  # Wine 8.0 raises no EVENT_SYSTEM_FOREGROUND of its own; the probe raises
  # one after each of its switches, as Windows would.
  run_switches "$record" 300 20 inject
  check "injected events: a 20 ms thief after a 300 ms hold is logged from its event ($EVENTS of 40, $TOTAL lines)" \
    [ "$EVENTS" -ge 38 ]
  check "injected events: the record's times never go back" [ "$IN_ORDER" = 1 ]
  run_switches "$record" 10 3 inject
  check "injected events: a 3 ms thief after a 10 ms hold is logged from its event ($EVENTS of 40, $TOTAL lines)" \
    [ "$EVENTS" -ge 38 ]
  check "injected events: the record's times never go back (fast switches)" [ "$IN_ORDER" = 1 ]

  native=$(probe native-events)
  check "capability check: does this Wine raise EVENT_SYSTEM_FOREGROUND itself? ($native)" \
    bash -c '[ "$1" = yes ] || [ "$1" = no ]' _ "$native"
  if [ "$native" = yes ]; then
    run_switches "$record" 300 20
    check "real events: a 20 ms thief after a 300 ms hold ($EVENTS of 40)" [ "$EVENTS" -ge 38 ]
    run_switches "$record" 10 3
    check "real events: a 3 ms thief after a 10 ms hold ($EVENTS of 40)" [ "$EVENTS" -ge 38 ]
  else
    echo "skip: real foreground events (this Wine raises none)"
    # Then the sampling alone must see a thief that stays three ticks, even
    # though it is gone again before the wait for its event is over.
    run_switches "$record" 300 150
    check "no events: a 150 ms thief after a 300 ms hold is logged by the sampling ($TOTAL of 40)" \
      [ "$TOTAL" -ge 38 ]
  fi

  # What a line costs, from the sample to the record, over all the lines above;
  # beside its log part, in the same run, what a bare Win32 program pays to
  # append the same kind of line to a rich edit of the same class, styles and
  # size as this frame's log.  Figures, not checks.
  median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }
  local line='.*OutputDebugStringA "line cost \([0-9]*\) us (sample \([0-9]*\), log \([0-9]*\), record \([0-9]*\)).*'
  local count log bare
  count=$(grep -c 'OutputDebugStringA "line cost' "$TMP/app_events.out")
  if [ "$count" -gt 0 ]; then
    log=$(sed -n "s/$line/\3/p" "$TMP/app_events.out" | median)
    bare=$(probe append-cost "$count" "$frame" | sed -n 's/^median \([0-9]*\) us.*/\1/p')
    echo "  line cost: median $(sed -n "s/$line/\1/p" "$TMP/app_events.out" | median) us over $count lines" \
      "(sample $(sed -n "s/$line/\2/p" "$TMP/app_events.out" | median), log $log," \
      "record $(sed -n "s/$line/\4/p" "$TMP/app_events.out" | median));" \
      "bare Win32 append to the same control: median ${bare:-?} us;" \
      "log part / bare = $(awk -v l="$log" -v b="$bare" 'BEGIN { if (b > 0) printf "%.2f", l / b; else printf "?" }')×"
  fi

  # Lines of some 300 characters, which the log wraps: 70 switches between
  # windows with titles of 255 characters, some 40,000 characters in all.
  probe switch 10 3 70 inject 255 >/dev/null
  sleep 1
  check "after long lines the log has every line whole, as recorded" log_matches_record "$frame" "$record"
  # A rich edit takes 32,767 characters unless given more, and on Windows
  # cuts an insertion off there; Wine does not, so the limit itself is read.
  local limit
  limit=$(probe text-limit "$frame" 10007)
  check "the log's text has no limit short of 2^31 - 1 characters ($limit)" [ "$limit" = 2147483647 ]
  # Asked once each time: the probe's look scrolls the log to its bottom.
  local shown ended
  shown=$(probe shows-end "$frame" 10007) && ended=1 || ended=0
  check "the log shows its end after the lines ($shown)" [ "$ended" = 1 ]
  # Scrolled to its top by the user, the log shows its end again at the next line.
  probe scroll-top "$frame" 10007
  probe switch 300 20 1 inject >/dev/null
  sleep 1
  shown=$(probe shows-end "$frame" 10007) && ended=1 || ended=0
  check "a line brings back the end of a log scrolled to its top ($shown)" [ "$ended" = 1 ]

  # Some 10,000 lines pasted, then text left at the end with no line end: the
  # next line starts a line of its own.  What a line costs the log there is
  # shown beside what it cost over the lines above.
  local before costs
  before=$(grep -c 'OutputDebugStringA "line cost' "$TMP/app_events.out")
  probe type-at-end "$frame" 10007 10000 "left at the end"
  probe switch 10 3 40 inject >/dev/null
  sleep 1
  check "a line after text left at the log's end starts a line of its own" \
    grep -Pzq '\nleft at the end\n[0-9]{3,}\.  ' < <(probe text "$frame" 10007)
  costs=$(sed -n "s/$line/\3/p" "$TMP/app_events.out")
  echo "  log part of a line: median $(head -n "$before" <<<"$costs" | median) us over the first $before lines," \
    "$(tail -n +"$((before + 1))" <<<"$costs" | median) us over the $(($(wc -l <<<"$costs") - before)) after some 10,000 more"

  probe close "$frame" && probe answer Corvalin 6 10000 >/dev/null
  wait_exit "$pid" 20
}
