# Shared helpers of the end-to-end tests.  Source it from a test script that
# runs inside tests/x_session.sh (DISPLAY, HOME and a window manager are set).
# The tests treat Corvalin as a user would: start the real executable, switch
# the focus with xdotool, and read the Activity log through the clipboard.

set -uo pipefail
E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
CORVALIN_BIN=${CORVALIN_BIN:-$E2E_ROOT/build/Corvalin}
E2E_FAILURES=0
E2E_PASSES=0
E2E_PIDS=()

E2E_TMP=$(mktemp -d /tmp/corvalin-e2e.XXXXXX)
E2E_MAIN=$BASHPID
e2e_cleanup() {
  [ "$BASHPID" = "$E2E_MAIN" ] || return 0  # not in $(...) subshells
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

fail() { echo "FAIL: $*" >&2; E2E_FAILURES=$((E2E_FAILURES + 1)); }
pass() { echo "ok: $*"; E2E_PASSES=$((E2E_PASSES + 1)); }
check() {  # check "description" command...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
# Ends the script with the plain summary line and the right status.
finish() {
  echo "$E2E_PASSES passed, $E2E_FAILURES failed"
  [ "$E2E_FAILURES" -eq 0 ]
  exit $?
}

# A private copy of the executable in its own folder, so that its settings
# files stay apart.  Prints the folder.  $1: optional executable name.
install_copy() {
  local name=${1:-Corvalin}
  local dir
  dir=$(mktemp -d "$E2E_TMP/app.XXXXXX")
  cp "$CORVALIN_BIN" "$dir/$name"
  echo "$dir"
}

# Starts an executable in the background; sets LAST_PID.  Output to $dir/out.log.
start_app() {  # start_app DIR [NAME] [ARGS...]
  local dir=$1; shift
  local name=${1:-Corvalin}; [ $# -gt 0 ] && shift
  "$dir/$name" "$@" >"$dir/out.log" 2>&1 &
  LAST_PID=$!
  E2E_PIDS+=("$LAST_PID")
}

# Waits until a visible window whose title matches appears; prints its id.
wait_window() {  # wait_window TITLE_REGEX [TIMEOUT_S]
  local title=$1 timeout=${2:-20} id=""
  local end=$((SECONDS + timeout))
  while [ $SECONDS -lt $end ]; do
    id=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Waits until no visible window matches.
wait_no_window() {  # wait_no_window TITLE_REGEX [TIMEOUT_S]
  local title=$1 timeout=${2:-20}
  local end=$((SECONDS + timeout))
  while [ $SECONDS -lt $end ]; do
    xdotool search --onlyvisible --name "$title" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# Waits for a process to end and sets EXIT_STATUS (124 on time-out).  Call it
# directly, never as $(wait_exit ...): a subshell cannot collect the status
# of its parent's child.
wait_exit() {  # wait_exit PID [TIMEOUT_S]
  local pid=$1 timeout=${2:-20}
  local end=$((SECONDS + timeout))
  while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $end ]; do sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then EXIT_STATUS=124; return 1; fi
  wait "$pid" 2>/dev/null
  EXIT_STATUS=$?
  return 0
}

# Starts a small xterm with the given title; sets LAST_PID, prints its window id.
start_xterm() {  # start_xterm TITLE
  xterm -T "$1" -geometry 40x10 -e sleep 600 >/dev/null 2>&1 &
  LAST_PID=$!
  E2E_PIDS+=("$LAST_PID")
  wait_window "^$1\$"
}

activate() {  # activate WINDOW_ID
  xdotool windowactivate --sync "$1" >/dev/null 2>&1
  sleep 0.3  # several monitor ticks
}

active_window() { xdotool getactivewindow 2>/dev/null; }

# The Activity log as the user sees it: select all, copy, read the clipboard.
# This brings Corvalin's frame to the front (which the monitor logs).  Retries
# while the copy has not arrived, as on a busy machine.
read_log() {  # read_log FRAME_WINDOW_ID
  local frame=$1 text="" try
  activate "$frame"
  for try in 1 2 3 4 5 6 7 8 9 10; do
    # xclip -i stays in the background to serve the selection: keep it off
    # the caller's pipe.
    printf '' | xclip -selection clipboard -i >/dev/null 2>&1
    [ "$(active_window)" = "$frame" ] || activate "$frame"
    xdotool key --clearmodifiers ctrl+a ctrl+c
    sleep 0.2
    text=$(xclip -selection clipboard -o 2>/dev/null)
    [ -n "$text" ] && break
    sleep 0.3
  done
  printf '%s\n' "$text"
}

# Sends a key combination to the focused window.
press() { xdotool key --clearmodifiers "$@"; sleep 0.3; }

# Answers the focused modal question: "Yes" with Return, "No" with Escape
# would cancel; use the mnemonic instead.
answer_yes() { sleep 0.5; xdotool key --clearmodifiers Return; }
