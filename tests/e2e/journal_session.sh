#!/usr/bin/env bash
# Runs a command beside a private systemd-journald.  In a mount namespace of
# its own, tmpfs on /run/systemd and /run/log hide the host's folders, and
# journald (started by hand: it needs no systemd as PID 1) listens on the
# usual /run/systemd/journal/socket, keeping a volatile journal in
# /run/log/journal; its own journald.conf keeps it off the kernel's log and
# the console, and lifts the rate limit.  Needs root, for the namespace.
# Exports JOURNAL_DIR (for journalctl --directory) and JOURNALD_PID.
# Usage: tests/e2e/journal_session.sh COMMAND [ARGS...]
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND..." >&2; exit 2; }
if [ -z "${CORVALIN_JOURNAL_NAMESPACE:-}" ]; then
  # In a chroot, / is no mount point and cannot be made private; there the
  # namespace keeps the propagation it has, which is safe only when the
  # mount holding / shares nothing with the outside.
  propagation=private
  if ! unshare --mount --propagation private true 2>/dev/null; then
    case $(findmnt -n -o PROPAGATION -T /) in
      *shared*) echo "journal_session: cannot make a private mount namespace here" >&2; exit 1 ;;
    esac
    propagation=unchanged
  fi
  CORVALIN_JOURNAL_NAMESPACE=1 exec unshare --mount --propagation "$propagation" "$0" "$@"
fi

session_dir=$(mktemp -d /tmp/corvalin-journal.XXXXXX)
journald=""
cleanup() {
  [ -n "$journald" ] && kill "$journald" 2>/dev/null && wait "$journald" 2>/dev/null
  rm -rf "$session_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mount -t tmpfs -o mode=0755 tmpfs /run/systemd || exit 1
mount -t tmpfs -o mode=0755 tmpfs /run/log || exit 1
mkdir -p /run/systemd/journal
printf '[Journal]\nStorage=volatile\nReadKMsg=no\nForwardToSyslog=no\nForwardToWall=no\nRateLimitIntervalSec=0\n' \
  >"$session_dir/journald.conf"
mount --bind "$session_dir/journald.conf" /etc/systemd/journald.conf || exit 1

/lib/systemd/systemd-journald >"$session_dir/journald.log" 2>&1 &
journald=$!
for _ in $(seq 100); do [ -S /run/systemd/journal/socket ] && break; sleep 0.05; done
[ -S /run/systemd/journal/socket ] || { echo "journal_session: journald did not start" >&2; cat "$session_dir/journald.log" >&2; exit 1; }
export JOURNAL_DIR=/run/log/journal JOURNALD_PID=$journald
"$@"
