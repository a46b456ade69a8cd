#!/usr/bin/env bash
# Corvalin --record-now: the running instance logs the foreground window as
# its hot key does (also with monitoring off, once per window, "seen":
# "hotkey" in the record file) without showing, hiding or raising its frame;
# with none running nothing starts and the status is 1; messages it does not
# know are refused.
source "$(dirname "$0")/lib.sh"
FRAME='^Corvalin : Keep Watch!$'
SOCKET="$XDG_RUNTIME_DIR/Corvalin_$(id -un)_server"
dir=$(install_copy)
RECORD=$dir/focus.jsonl

# Runs Corvalin --record-now until it ends; sets STATUS, OUT and WINDOWS
# (visible windows of that process seen meanwhile).
record_now() {
  run_watched "$dir/record-now.log" "$dir/Corvalin" --record-now
  WINDOWS=$RUN_WINDOWS STATUS=$RUN_STATUS
  OUT=$(cat "$dir/record-now.log")
}
# The active window a moment later: long enough for a raised frame to show.
active_after() { sleep 0.5; active_window; }

socket_before=$(stat -c %i "$SOCKET" 2>/dev/null)
record_now
check "with no Corvalin running, --record-now ends with status 1 (got $STATUS)" test "$STATUS" = 1
check "... saying that none is running" grep -q "No Corvalin is running" <<<"$OUT"
check "... without a window" test -z "$WINDOWS"
check "... and without becoming the instance (no link of its own, no settings)" \
  test "$socket_before" = "$(stat -c %i "$SOCKET" 2>/dev/null)" -a ! -e "$dir/Corvalin.cfg"

printf '[Options]\nMonitorWindows=0\nRecordFile=%s\n' "$RECORD" >"$dir/Corvalin.cfg"
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$FRAME") || { fail "frame did not appear"; finish; }
a=$(start_xterm "Alpha")
b=$(start_xterm "Bravo")
activate "$a"

record_now
now=$(active_after)
check "with the instance running, --record-now ends with status 255 (got $STATUS)" test "$STATUS" = 255
check "... without a window of its own" test -z "$WINDOWS"
check "... and the xterm stays the active window, not the frame" test "$now" = "$a"
record_now  # the same window again: no second line
log=$(read_log "$frame")
echo "$log"
check "monitoring off, the log holds exactly one line, for the xterm" \
  bash -c '[ "$(grep -c . <<<"$1")" = 1 ] && grep -Eq "^001\. .*xterm - Alpha \($2\) " <<<"$1"' _ "$log" "$a"
check "... recorded as a hot-key sample" \
  bash -c '[ "$(wc -l <"$1")" = 1 ] && grep -q "\"title\":\"Alpha\",\"handle\":$2,\"seen\":\"hotkey\",\"held_ms\":null," "$1"' \
  _ "$RECORD" "$a"

# A hidden frame stays hidden.
activate "$frame"
xdotool key --clearmodifiers alt+f; sleep 0.3; xdotool key h
wait_no_window "$FRAME" 5 || fail "Hide to Tray did not hide"
activate "$b"
record_now
now=$(active_after)
check "with the frame hidden: status $STATUS, Bravo stays active, the frame stays hidden" \
  bash -c '[ "$1" = 255 ] && [ "$2" = "$3" ] && ! xdotool search --onlyvisible --name "$4" >/dev/null' \
  _ "$STATUS" "$now" "$b" "$FRAME"

# A message the instance does not know: refused ('F'), and nothing happens.
reply=$(perl -MIO::Socket::UNIX -e '
  my $s = IO::Socket::UNIX->new(Peer => $ARGV[0]) or die "connect: $!";
  print $s "T" . pack("N", 8) . "Corvalin"; sysread($s, my $ok, 1);
  print $s "X" . pack("N", 5) . "bogus"; sysread($s, my $answer, 1); print $ok . $answer;' \
  "$SOCKET" 2>>"$E2E_TMP/perl.err")
sleep 0.5
check "an unknown message is accepted on the link but not handled (reply '$reply')" test "$reply" = AF
check "... and leaves the frame hidden" bash -c '! xdotool search --onlyvisible --name "$1" >/dev/null' _ "$FRAME"

# An ordinary second start still shows the frame.
"$dir/Corvalin" >/dev/null 2>&1 &
wait_exit $! 20
frame=$(wait_window "$FRAME" 5) || fail "a plain second start did not show the frame"
log=$(read_log "$frame")
echo "$log"
check "the hidden frame logged Bravo as line 002, and nothing for the unknown message" \
  bash -c '[ "$(grep -c . <<<"$1")" = 2 ] && grep -Eq "^002\. .*xterm - Bravo \($2\) " <<<"$1"' _ "$log" "$b"
stop_app "$pid"
finish
