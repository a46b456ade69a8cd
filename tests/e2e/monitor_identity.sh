#!/usr/bin/env bash
# How windows are named in the log: another user's process, long titles,
# titles with " - " in them.  Corvalin runs as an unprivileged user here, so
# the root-owned xterms' executable links cannot be read: their names come
# from what every user may read of a process, and the record file has a path
# only where the command line names one.
source "$(dirname "$0")/lib.sh"

if [ "$(id -u)" != 0 ] || ! id nobody >/dev/null 2>&1; then
  echo "needs root to run Corvalin as another user; skipped"
  echo "0 passed, 0 failed"
  exit 0
fi

dir=$(install_copy)
chmod 777 "$dir"
chmod 755 "$E2E_TMP"
printf '[Options]\nRecordFile=focus.jsonl\n' >"$dir/Corvalin.cfg"
chmod 666 "$dir/Corvalin.cfg"
runuser -u nobody -- env HOME="$dir" DISPLAY="$DISPLAY" "$dir/Corvalin" >"$dir/out.log" 2>&1 &
E2E_PIDS+=($!)
frame=$(wait_window '^Corvalin : Keep Watch!$') || { fail "frame did not appear"; finish; }

root_term=$(start_xterm "root shell - do not touch")
long_title=$(printf 'L%.0s' $(seq 300))
xterm_path=$(command -v xterm)
long_term=$(start_xterm "$long_title" "$xterm_path")
# A window that names a process which cannot exist: nothing of it can be read.
ghost_term=$(start_xterm "owner unknown")
ghost_pid=$(( $(cat /proc/sys/kernel/pid_max) + 1 ))
xprop -id "$ghost_term" -f _NET_WM_PID 32c -set _NET_WM_PID "$ghost_pid"
activate "$root_term"
activate "$long_term"
activate "$ghost_term"
log=$(read_log "$frame")
printf '%s\n' "$log"
check "another user's window: named by its command line, real title kept" \
  grep -Fq "     xterm - root shell - do not touch ($root_term) " <<<"$log"
check "a 300-character title is cut to 255 characters" \
  grep -Eq "     xterm - L{255} \\($long_term\\) \$" <<<"$log"
check "a window whose process cannot be found: 'Not a valid window', real title kept" \
  grep -Fq "     Not a valid window - owner unknown ($ghost_term) " <<<"$log"
check "Corvalin names its own window although it runs as another user" \
  grep -Fq "Corvalin - Corvalin : Keep Watch! ($frame) " <<<"$log"

# The record: a full path only where one was found.
record() { grep -F "\"handle\":$1," "$dir/focus.jsonl" | tail -n1; }
field() { python3 -c 'import json, sys; print(json.loads(sys.argv[1])[sys.argv[2]])' "$2" "$1"; }
check "record: the root xterm called as 'xterm' has module xterm and no path" \
  test "$(field module "$(record "$root_term")")|$(field path "$(record "$root_term")")" = "xterm|"
check "record: the root xterm called as $xterm_path has that path" \
  test "$(field path "$(record "$long_term")")" = "$xterm_path"
check "record: the unknown process: module 'Not a valid window', no path, its pid" \
  test "$(field module "$(record "$ghost_term")")|$(field path "$(record "$ghost_term")")|$(field pid "$(record "$ghost_term")")" \
    = "Not a valid window||$ghost_pid"
# Who is behind root's window, as far as another user may read it: the
# user, the command line and the chain by the names any user may read, no
# path that is not known for certain; nothing at all of a process that
# cannot exist, and no box about either.
check "record: root's xterm names its user, command line and launchers as far as they can be read" python3 -c '
import json, sys
r = json.loads(sys.argv[1]); ghost = json.loads(sys.argv[2])
assert r["user"] == "root" and r["user_id"] == "0" and r["cmdline"].startswith("xterm -T root shell"), r
# Its starting shell may have ended by then: the chain then ends at the root.
assert r["started"] and r["parents_end"] in ("root", "limit"), r
assert all(p["module"] and p["started"] for p in r["parents"]), r
assert all(p["path"] is None or p["path"].startswith("/") for p in r["parents"]), r
assert ghost["started"] is None and ghost["cmdline"] is None and ghost["parents"] == [], ghost
assert ghost["parents_end"] == "unreadable" and ghost["launcher"] is None, ghost
' "$(record "$root_term")" "$(record "$ghost_term")"
check "... and no box was raised for what could not be read" test -z "$(dialog_windows 'Corvalin|Message')"
finish
