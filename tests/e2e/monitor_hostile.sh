#!/usr/bin/env bash
# Nothing another program does switches logging off: the root window named
# as the active window, spam of that property, a program whose name holds a
# line break and a right-to-left override, a record file that is a FIFO or
# a planted link, a full disk under the record file.
source "$(dirname "$0")/lib.sh"
FRAME='^Corvalin : Keep Watch!$'

# Writes _NET_ACTIVE_WINDOW on the root as any client may: each value in
# turn, "root" meaning the root window itself.
set_active_property() {  # set_active_property VALUE...
  python3 - "$@" <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong,
                              ctypes.c_int, ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
d = x.XOpenDisplay(None)
root = x.XDefaultRootWindow(d)
atom = x.XInternAtom(d, b"_NET_ACTIVE_WINDOW", 0)
for value in sys.argv[1:]:
    data = ctypes.c_ulong(root if value == "root" else int(value))
    x.XChangeProperty(d, root, atom, 33, 32, 0, ctypes.byref(data), 1)  # XA_WINDOW, replace
    x.XSync(ctypes.c_void_p(d), 0)
x.XCloseDisplay(ctypes.c_void_p(d))
PY
}
lines_for() { grep -cF "($1) " <<<"$2"; }

dir=$(install_copy)
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$FRAME") || { fail "frame did not appear"; finish; }
a=$(start_xterm "Alpha")
b=$(start_xterm "Beta")
root=$(xwininfo -root | awk '/Window id:/ {print $4}')
activate "$a"
log=$(read_log "$frame")
alpha=$(lines_for "$a" "$log") beta=$(lines_for "$b" "$log")
set_active_property root
sleep 0.3
for w in "$b" "$a" "$b"; do activate "$w"; done
log=$(read_log "$frame")
check "after the root was named the active window, every switch is still logged" \
  test "$(lines_for "$b" "$log") $(lines_for "$a" "$log")" = "$((beta + 2)) $((alpha + 1))"
check "... and the root window itself gets no line" test "$(lines_for "$((root))" "$log")" = 0
# A storm of the property, root and a window in turn, then the window
# manager's own switches.
values=(); for _ in $(seq 1000); do values+=(root "$a"); done
set_active_property "${values[@]}"
before=$(lines_for "$b" "$log")
activate "$b"; activate "$a"; activate "$b"
log=$(read_log "$frame")
check "after 2000 hostile writes the next switches are logged ($((before)) -> $(lines_for "$b" "$log") Beta lines)" \
  test "$(lines_for "$b" "$log")" -ge $((before + 2))
check "... still no root line" test "$(lines_for "$((root))" "$log")" = 0
# Its name would split its line and show the rest reversed.
cp "$(command -v xterm)" "$E2E_TMP/"$'evil\nline\u202eexe'
g=$(start_xterm "Gamma" "$E2E_TMP/"$'evil\nline\u202eexe')
activate "$g"
log=$(read_log "$frame")
check "a name with a line break and a bidi override shows them as spaces, on one line" \
  grep -qF "evil line exe - Gamma ($g) " <<<"$log"
check "... and starts no line of its own" bash -c '! grep -q "^line" <<<"$1"' _ "$log"
stop_app "$pid"

# A FIFO as the record file, nobody reading: the frame comes up, says why
# nothing is recorded, and monitors; a second start still hands over.
mkfifo "$dir/fifo.jsonl"
printf '[Options]\nRecordFile=fifo.jsonl\n' >"$dir/Corvalin.cfg"
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$FRAME" 20)
check "a FIFO as record file: the frame appears" test -n "$frame"
box=$(wait_dialog 'Corvalin' 10)
check "... and a box says that recording is off" test -n "$box"
xdotool windowactivate --sync "$box" 2>/dev/null; xdotool key --clearmodifiers Return
activate "$a"
timeout 20 "$dir/Corvalin" >/dev/null 2>&1; status=$?
check "... a second start hands over (status $status)" test "$status" = 255
log=$(read_log "$frame")
check "... and monitoring goes on" grep -qF "xterm - Alpha ($a) " <<<"$log"
stop_app "$pid"

# A link planted where the record file should be: the file it leads to is
# left alone.
echo "not yours" >"$E2E_TMP/victim"
chmod 600 "$E2E_TMP/victim"
ln -s "$E2E_TMP/victim" "$dir/planted.jsonl"
printf '[Options]\nRecordFile=planted.jsonl\n' >"$dir/Corvalin.cfg"
start_app "$dir"; pid=$LAST_PID
frame=$(wait_window "$FRAME" 20) || fail "frame did not appear"
box=$(wait_dialog 'Corvalin' 10)
check "a link as record file is refused with a box" test -n "$box"
xdotool windowactivate --sync "$box" 2>/dev/null; xdotool key --clearmodifiers Return
activate "$b"; activate "$a"
check "... the file it leads to is untouched" test "$(cat "$E2E_TMP/victim")" = "not yours"
log=$(read_log "$frame")
check "... and monitoring goes on" grep -qF "xterm - Beta ($b) " <<<"$log"
stop_app "$pid"

# A full disk cuts a line short; once there is room again the next run's
# lines each stand on a line of their own.
if [ "$(id -u)" = 0 ] && mkdir "$E2E_TMP/disk" && mount -t tmpfs -o size=64k tmpfs "$E2E_TMP/disk" 2>/dev/null; then
  e2e_before_cleanup() { umount "$E2E_TMP/disk" 2>/dev/null; }
  record=$E2E_TMP/disk/focus.jsonl
  # 4000 bytes of earlier lines: the page they sit in has room for part of
  # one more line, then the disk is full.
  python3 -c 'import json,sys; sys.stdout.write((json.dumps({"kept": "x" * 58}) + "\n") * 50)' >"$record"
  chmod 600 "$record"
  head -c 1M /dev/zero >"$E2E_TMP/disk/fill" 2>/dev/null
  printf '[Options]\nRecordFile=%s\n' "$record" >"$dir/Corvalin.cfg"
  start_app "$dir"; pid=$LAST_PID
  frame=$(wait_window "$FRAME" 20) || fail "frame did not appear"
  activate "$a"; activate "$b"
  box=$(wait_dialog 'Corvalin' 10)
  check "a full disk stops recording with a box" test -n "$box"
  xdotool windowactivate --sync "$box" 2>/dev/null; xdotool key --clearmodifiers Return
  stop_app "$pid"
  rm -f "$E2E_TMP/disk/fill"
  start_app "$dir"; pid=$LAST_PID
  frame=$(wait_window "$FRAME" 20) || fail "frame did not appear"
  activate "$a"; activate "$b"
  stop_app "$pid"
  check "after the full disk, every line but the one cut short is whole JSON, and the next run's lines are there" \
    python3 - "$record" "$a" "$b" <<'PY'
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().split("\n")
assert lines[-1] == "", "the file ends with a line feed"
bad = []
handles = set()
for line in lines[:-1]:
    try:
        handles.add(json.loads(line).get("handle"))
    except ValueError:
        bad.append(line)
print("lines", len(lines) - 1, "cut", bad)
assert len(bad) <= 1 and all('{"time"' not in b[1:] for b in bad), bad
assert int(sys.argv[2]) in handles and int(sys.argv[3]) in handles, handles
PY
else
  echo "no tmpfs can be mounted here (needs root): full-disk case skipped"
fi
finish
