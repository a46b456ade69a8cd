#!/usr/bin/env bash
# Unprompted takes told on the desktop (NotifyUnprompted=1): a notification
# service of the test's own, on a private session bus, writes down what
# Corvalin sends.  A theft is told at once with its time, title and hold; the
# thefts of the next few seconds wait, and come as one notice that sums them
# up.  Each notice is a new one (replacing none), so each reaches the history.  Corvalin's
# own window is never told of.  A service that takes a notice and never
# answers costs nothing but the notice: the GUI answers the window manager's
# pings at once meanwhile, every change is logged, and stderr says it once.
source "$(dirname "$0")/lib.sh"

export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/bus"
dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >"$E2E_TMP/bus.log" 2>&1 &
E2E_PIDS+=($!)
for _ in $(seq 50); do [ -S "$E2E_TMP/bus" ] && break; sleep 0.1; done
notices=$E2E_TMP/notices.tsv
"$NOTIFICATION_SINK" "$notices" 2>"$E2E_TMP/sink.log" &
sink=$!
E2E_PIDS+=($sink)
for _ in $(seq 50); do [ -e "$notices" ] && break; sleep 0.1; done
[ -e "$notices" ] || { fail "the test's notification service did not start"; cat "$E2E_TMP"/*.log >&2; finish; }

# Thieves with names of their own, copies of xterm, started by a script that
# stays: the notices name it.
for name in thief-one thief-two; do cp "$(command -v xterm)" "$E2E_TMP/$name"; done
home=$(start_xterm "Home base")
cat >"$E2E_TMP/nag.sh" <<EOF
"$E2E_TMP/thief-one" -T "Thief one" -geometry 40x10 -e sleep 600 &
"$E2E_TMP/thief-two" -T "Thief two" -geometry 40x10 -e sleep 600 &
wait
EOF
bash "$E2E_TMP/nag.sh" 2>/dev/null &
E2E_PIDS+=($!)
one=$(wait_window '^Thief one$') && two=$(wait_window '^Thief two$') || { fail "no thieves"; finish; }

dir=$(install_copy)
printf '[Options]\nNotifyUnprompted=1\nRecordFile=focus.jsonl\n' >"$dir/Corvalin.cfg"
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window '^Corvalin : Keep Watch!$') || { fail "frame did not appear"; finish; }
sleep 0.5
# The user goes to work: pointer input just before the change.
xdotool mousemove 300 300 mousemove 310 310
activate "$home"
sleep 0.8  # no input since: what comes now comes unasked
steal() {  # a thief takes the focus and gives it back
  xdotool windowactivate --sync "$1" >/dev/null 2>&1; sleep 0.3
  xdotool windowactivate --sync "$home" >/dev/null 2>&1; sleep 0.2
}
notices_count() { grep -c . "$notices"; }

steal "$one"
for _ in $(seq 30); do [ "$(notices_count)" -ge 1 ] && break; sleep 0.1; done
first=$(sed -n 1p "$notices")
printf 'notice: %s\n' "$first"
check "one theft is told at once, with its hold" \
  grep -Eq $'^[0-9]+\t0\tCorvalin\tFocus taken\tthief-one \\(started by nag.sh\\) took the focus at [0-9]{2}:[0-9]{2}:[0-9]{2}, \u201cThief one\u201d; held [0-9]{3,4} ms$' <<<"$first"

steal "$two"; steal "$one"; steal "$two"
sleep 1
check "thefts soon after wait" [ "$(notices_count)" = 1 ]
for _ in $(seq 80); do [ "$(notices_count)" -ge 2 ] && break; sleep 0.1; done
sleep 1.5
second=$(sed -n 2p "$notices"); t_second=$(date +%s%3N)
printf 'notice: %s\n' "$second"
check "... and are summed up in one notice" \
  grep -Eq $'^[0-9]+\t0\tCorvalin\tFocus taken\t2 programs took the focus 3 times since [0-9:]{8}; thief-two \\(started by nag.sh\\) 2, thief-one \\(started by nag.sh\\) 1$' <<<"$second"
check "... no sooner than a few seconds after the first" \
  [ $(( $(cut -f1 <<<"$second") - $(cut -f1 <<<"$first") )) -ge 4500 ]

# A second start brings Corvalin's own window forward with no input behind it:
# the user asked for it, so it is no theft to tell, even once its hold ends.
run_watched "$E2E_TMP/second.log" "$dir/Corvalin"
sleep 0.6
xdotool windowactivate --sync "$home" >/dev/null 2>&1
sleep 0.3
check "Corvalin's own window came forward unasked" \
  grep -q '"module":"Corvalin".*"seen":"event".*"unprompted":true' <(tail -n 3 "$dir/focus.jsonl")
# Past the hold's end and the next notice's earliest time.
waited=$(( ($(date +%s%3N) - t_second) / 1000 ))
sleep $(( waited < 5 ? 6 - waited : 1 ))
check "no more than those two" [ "$(notices_count)" = 2 ]

# The service hangs: it takes each notice and never answers.
kill "$sink"; wait "$sink" 2>/dev/null
silent=$E2E_TMP/silent.tsv
"$NOTIFICATION_SINK" "$silent" --silent 2>>"$E2E_TMP/sink.log" &
E2E_PIDS+=($!)
for _ in $(seq 50); do [ -e "$silent" ] && break; sleep 0.1; done
records() { grep -c . "$dir/focus.jsonl"; }
before=$(records)
"$FOCUS_SWITCHER" ping "$frame" 9 >"$E2E_TMP/ping.txt" &
pinger=$!
sleep 0.8
steal "$one"; steal "$two"; sleep 1; steal "$one"
wait "$pinger"
read -r _ sent _ answered _ slowest <"$E2E_TMP/ping.txt"
printf 'hung service: %s\n' "$(cat "$E2E_TMP/ping.txt")"
check "a hung service was asked to show notices" [ "$(grep -c . "$silent")" -ge 2 ]
check "... meanwhile the GUI answered every ping within 100 ms" \
  [ "${answered:-0}" = "${sent:-x}" ] && [ "${slowest:-999}" -lt 100 ]
check "... and every change was logged (6 lines)" [ $(( $(records) - before )) = 6 ]
check "... and stderr said once that the service does not answer" \
  [ "$(grep -c 'notification service does not answer' "$dir/out.log")" = 1 ]
[ "$E2E_FAILURES" = 0 ] || { cat "$notices" "$E2E_TMP/sink.log" "$dir/out.log" >&2; cut -c1-200 "$dir/focus.jsonl" >&2; }
stop_app "$pid"
finish
