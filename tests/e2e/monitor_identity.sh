#!/usr/bin/env bash
# How windows are named in the log: another user's process, long titles,
# titles with " - " in them.  Corvalin runs as an unprivileged user here, so
# the root-owned xterm's executable cannot be read.
source "$(dirname "$0")/lib.sh"

if [ "$(id -u)" != 0 ] || ! id nobody >/dev/null 2>&1; then
  echo "needs root to run Corvalin as another user; skipped"
  echo "0 passed, 0 failed"
  exit 0
fi

dir=$(install_copy)
chmod 777 "$dir"
chmod 755 "$E2E_TMP"
runuser -u nobody -- env HOME="$dir" DISPLAY="$DISPLAY" "$dir/Corvalin" >"$dir/out.log" 2>&1 &
E2E_PIDS+=($!)
frame=$(wait_window '^Corvalin : Keep Watch!$') || { fail "frame did not appear"; finish; }

root_term=$(start_xterm "root shell - do not touch")
long_title=$(printf 'L%.0s' $(seq 300))
long_term=$(start_xterm "$long_title")
activate "$root_term"
activate "$long_term"
log=$(read_log "$frame")
printf '%s\n' "$log"
check "another user's window: module 'Not a valid window', real title kept" \
  grep -Fq "Not a valid window - root shell - do not touch ($root_term) " <<<"$log"
check "a 300-character title is cut to 255 characters" \
  grep -Eq "Not a valid window - L{255} \\($long_term\\) \$" <<<"$log"
check "Corvalin names its own window although it runs as another user" \
  grep -Fq "Corvalin - Corvalin : Keep Watch! ($frame) " <<<"$log"
finish
