#!/usr/bin/env bash
# One instance per user and executable name: a second start hands over and
# ends with 255; a busy first instance makes it say so; other names run side
# by side; a killed first instance does not block the next start; garbage on
# the socket does not hurt.
source "$(dirname "$0")/lib.sh"
FRAME='^Corvalin : Keep Watch!$'
SOCKET="$XDG_RUNTIME_DIR/Corvalin_$(id -un)_server"
LOCK="$XDG_RUNTIME_DIR/Corvalin_$(id -un)"

# Visible dialog windows, one id a line (the toolkit leaves the title of a
# box captioned "Message" empty, so they are found by type).
dialogs() {
  local w
  for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && echo "$w"
  done
}
# Runs a second start in the background until it ends (20 s at most); sets
# SECOND_STATUS and SECOND_WINDOWS (visible windows of that process seen).
second_start() {  # second_start DIR [NAME]
  run_watched "$1/second.log" "$1/${2:-Corvalin}"
  SECOND_WINDOWS=$RUN_WINDOWS SECOND_STATUS=$RUN_STATUS
}
# Starts a second instance that is expected to show the "too busy" box:
# waits for a dialog of that process, answers it, and sets SECOND_STATUS.
second_start_refused() {  # second_start_refused DIR [NAME]
  local box="" p w
  "$1/${2:-Corvalin}" >"$1/second.log" 2>&1 &
  p=$!; E2E_PIDS+=("$p")
  local end=$((SECONDS + 20))
  while [ -z "$box" ] && [ $SECONDS -lt $end ] && kill -0 "$p" 2>/dev/null; do
    for w in $(windows_of "$p"); do
      xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && { box=$w; break; }
    done
    [ -n "$box" ] || sleep 0.1
  done
  BUSY_BOX=$box
  BUSY_ALIVE=$(kill -0 "$p" 2>/dev/null && echo yes)
  if [ -n "$box" ]; then
    BUSY_SIZE=$(xwininfo -id "$box" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
    xdotool windowactivate --sync "$box" 2>/dev/null; xdotool key --clearmodifiers Return
  fi
  wait_exit "$p" 10
  SECOND_STATUS=$EXIT_STATUS
}

dir=$(install_copy)
printf '[Options]\nMonitorWindows=1\n' > "$dir/Corvalin.cfg"
start_app "$dir"; first=$LAST_PID
frame=$(wait_window "$FRAME") || { fail "frame did not appear"; finish; }
check "the lock and the socket are in the private runtime folder" test -S "$SOCKET" -a -f "$LOCK"
check "... and the socket is the user's alone" bash -c '[[ "$(stat -c %a "$1")" =~ ^[67]00$ ]]' _ "$SOCKET"
a=$(start_xterm "Alpha")
activate "$a"

cfg_before=$(stat -c '%s %y' "$dir/Corvalin.cfg")$(md5sum <"$dir/Corvalin.cfg")
second_start "$dir"
check "a second start ends with status 255 (got $SECOND_STATUS)" test "$SECOND_STATUS" = 255
check "... without a window of its own" test -z "$SECOND_WINDOWS"
check "... without touching Corvalin.cfg" \
  test "$cfg_before" = "$(stat -c '%s %y' "$dir/Corvalin.cfg")$(md5sum <"$dir/Corvalin.cfg")"
check "... and the first frame comes to the front" \
  bash -c "for i in \$(seq 30); do [ \"\$(xdotool getactivewindow)\" = $frame ] && exit 0; sleep 0.1; done; exit 1"

# The lock file deleted under the running instance: the next start still
# finds it through the link instead of running twice.
rm -f "$LOCK"
second_start "$dir"
check "with its lock file deleted, a second start still hands over (status $SECOND_STATUS)" \
  test "$SECOND_STATUS" = 255 -a -z "$SECOND_WINDOWS"
check "... and the first instance still serves the link" test -S "$SOCKET"

xdotool key --clearmodifiers alt+f; sleep 0.3; xdotool key h
wait_no_window "$FRAME" 5 || fail "Hide to Tray did not hide"
second_start "$dir"
check "from the tray too: status $SECOND_STATUS" test "$SECOND_STATUS" = 255
check "... the hidden frame is shown and active" \
  bash -c "for i in \$(seq 30); do [ \"\$(xdotool getactivewindow)\" = $frame ] && exit 0; sleep 0.1; done; exit 1"

# A modal question in the first instance: it refuses the hand-over.
activate "$frame"
xdotool key --clearmodifiers alt+x
question=$(wait_dialog '^Corvalin$' 5)
check "the first instance asks \"Quit program?\"" test -n "$question"
second_start_refused "$dir"
check "a second start during the question shows a box" test -n "$BUSY_BOX"
check "... and waits for it to be answered" test "$BUSY_ALIVE" = yes
check "... which has room for the two lines ($BUSY_SIZE)" \
  bash -c "[ \"${BUSY_SIZE#*x}\" -ge 60 ] 2>/dev/null"
check "... then it ends with status 255" test "$SECOND_STATUS" = 255
xdotool windowactivate --sync "$question" 2>/dev/null; xdotool key --clearmodifiers alt+n
wait_no_dialog '^Corvalin$' 5 || fail "the question did not close"
check "the first instance runs on after No" kill -0 "$first"
activate "$a"
second_start "$dir"
check "with the question gone, hand-over works again" \
  test "$SECOND_STATUS" = 255 -a -z "$SECOND_WINDOWS"

# Another executable name: an instance of its own, side by side.
other=$(install_copy Watcher)
# Ctrl+Shift+P belongs to the first instance; the copy would say so.
printf '[Options]\nHotKey=0\n' > "$other/Corvalin.cfg"
start_app "$other" Watcher; watcher=$LAST_PID
check "a copy named Watcher starts beside it" \
  wait_count 2 20 bash -c "xdotool search --onlyvisible --name '$FRAME' | wc -l"
check "... both run" bash -c "kill -0 $first && kill -0 $watcher"
second_start_refused "$other" Watcher
check "a second Watcher is refused (topic is not Corvalin): box shown" test -n "$BUSY_BOX"
check "... and status 255" test "$SECOND_STATUS" = 255
stop_app "$watcher"

# Garbage on the socket.
for payload in random truncated wrong-topic silent; do
  perl -MIO::Socket::UNIX -e '
    my ($path, $kind) = @ARGV;
    my $s = IO::Socket::UNIX->new(Peer => $path) or die "connect: $!";
    # Not starting with 10, the "connect" code: its length field is trusted.
    if ($kind eq "random") { print $s chr(255) . join("", map { chr(int(rand(256))) } 1..4096); }
    elsif ($kind eq "truncated") { print $s chr(10) . pack("V", 8) . "Cor"; }
    elsif ($kind eq "silent") { sleep 1; }
    else { print $s chr(10) . pack("V", 4) . "Evil"; sysread($s, my $reply, 1); print $s "\xff" x 64; }
    close $s;' "$SOCKET" "$payload" 2>>"$E2E_TMP/perl.err"
  sleep 0.5
  check "garbage ($payload) on the socket leaves the first instance running" kill -0 "$first"
done
activate "$a"
second_start "$dir"
check "... and it still answers a proper second start" \
  test "$SECOND_STATUS" = 255 -a -z "$SECOND_WINDOWS"

# Lengths near 4 GB, before and after a valid handshake: dropped at once,
# nothing allocated.
for claim in before-handshake after-handshake; do
  perl -MIO::Socket::UNIX -e '
    my ($path, $kind) = @ARGV;
    my $s = IO::Socket::UNIX->new(Peer => $path) or die "connect: $!";
    if ($kind eq "before-handshake") { print $s "T" . pack("N", 0xFFFFFFF0) . "Corv"; }
    else {
      print $s "T" . pack("N", 8) . "Corvalin"; sysread($s, my $reply, 1);
      print $s "X" . pack("N", 0xFFFFFFF0) . "abcdef";
    }
    sysread($s, my $rest, 16); close $s;' "$SOCKET" "$claim" 2>>"$E2E_TMP/perl.err"
  sleep 0.3
  rss=$(awk '/VmRSS/ {print $2}' /proc/$first/status 2>/dev/null)
  check "a claimed 4 GB message ($claim) is dropped; the instance runs (RSS ${rss:-?} kB)" \
    bash -c '[ -n "$1" ] && [ "$1" -lt 300000 ]' _ "$rss"
done

# A stopped first instance: the second start gives up within its deadline
# and says so, instead of waiting for ever.
kill -STOP "$first"
started=$SECONDS
second_start_refused "$dir"
kill -CONT "$first"
check "against a stopped instance the second start gives up and says so (status $SECOND_STATUS, $((SECONDS - started)) s)" \
  bash -c '[ "$1" = 255 ] && [ -n "$2" ] && [ "$3" -le 12 ]' _ "$SECOND_STATUS" "$BUSY_BOX" "$((SECONDS - started))"

# A client that connects and stays silent does not hold up quitting.
perl -MIO::Socket::UNIX -e 'my $s = IO::Socket::UNIX->new(Peer => $ARGV[0]) or die; sleep 60' "$SOCKET" &
holder=$!; E2E_PIDS+=("$holder")
sleep 0.3
quit_via_menu "$frame"
started=$SECONDS
wait_exit "$first" 10
check "with a silent client connected, Exit and Yes quit at once ($((SECONDS - started)) s)" \
  test "$EXIT_STATUS" = 0
kill "$holder" 2>/dev/null
start_app "$dir"; first=$LAST_PID
frame=$(wait_window "$FRAME" 20) || fail "the frame did not come back"

# SIGKILL: the lock and the socket stay behind; the next start takes over.
kill -9 "$first"; wait_exit "$first" 5
check "after SIGKILL the lock file and socket are left" test -S "$SOCKET" -a -f "$LOCK"
# As after PID reuse: the lock file names a live process that is not ours.
sleep 600 & unrelated=$!; E2E_PIDS+=("$unrelated")
echo "$unrelated" >"$LOCK"
before=$(dialogs | sort)
start_app "$dir"; first=$LAST_PID
frame=$(wait_window "$FRAME" 20)
check "the next start runs as the first instance" test -n "$frame"
sleep 1
check "... without any box" test -z "$(comm -13 <(echo "$before") <(dialogs | sort))"
activate "$a"
second_start "$dir"
check "... and serves the next second start (status $SECOND_STATUS)" \
  test "$SECOND_STATUS" = 255 -a -z "$SECOND_WINDOWS"
stop_app "$first"

# A lock that cannot be taken, and nobody answering: no silent first
# instance, but a word on why, and status 255.
rm -f "$LOCK"; mkdir "$LOCK"
second_start_refused "$dir"
check "a lock that cannot be taken stops the start with a box (status $SECOND_STATUS)" \
  test -n "$BUSY_BOX" -a "$SECOND_STATUS" = 255
check "... which names the lock" grep -q "instance lock \"$LOCK\"" "$dir/second.log"
rmdir "$LOCK"

# No private folder for the link: a second start says that, not "busy".
mkdir -p "$E2E_TMP/cache/Corvalin"; chmod 755 "$E2E_TMP/cache/Corvalin"
saved=("$XDG_RUNTIME_DIR" "$XDG_CACHE_HOME")
export XDG_RUNTIME_DIR=$E2E_TMP/no-runtime XDG_CACHE_HOME=$E2E_TMP/cache
start_app "$dir"; first=$LAST_PID
wait_window "$FRAME" 20 >/dev/null || fail "no frame without a private folder"
second_start_refused "$dir"
check "without a private folder a second start is refused (status $SECOND_STATUS)" \
  test -n "$BUSY_BOX" -a "$SECOND_STATUS" = 255
check "... and says why it cannot reach the first" grep -q "cannot be reached: .*chmod 700" "$dir/second.log"
stop_app "$first"
export XDG_RUNTIME_DIR=${saved[0]} XDG_CACHE_HOME=${saved[1]}
finish
