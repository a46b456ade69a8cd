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
  # A test may define e2e_before_cleanup to stop what it started itself.
  if declare -F e2e_before_cleanup >/dev/null; then e2e_before_cleanup; fi
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

# Runs a command in the background until it ends (20 s at most), output to
# LOG; sets RUN_STATUS and RUN_WINDOWS (visible windows of that process seen
# meanwhile).  For second starts, which must end without showing a window.
run_watched() {  # run_watched LOG COMMAND [ARGS...]
  local log=$1; shift
  "$@" >"$log" 2>&1 </dev/null &
  local p=$! end=$((SECONDS + 20)) seen=""
  E2E_PIDS+=("$p")
  while kill -0 "$p" 2>/dev/null && [ $SECONDS -lt $end ]; do
    seen+=$(windows_of "$p")
    sleep 0.05
  done
  RUN_WINDOWS=$seen
  wait_exit "$p" 1
  RUN_STATUS=$EXIT_STATUS
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

# Starts a small xterm with the given title; prints its window id.  A start
# that shows no window in time is retried once, as on a busy machine.
# PROGRAM is how xterm is called (its argv[0]); "xterm" when not given.
start_xterm() {  # start_xterm TITLE [PROGRAM]
  local try pid id
  local err=$E2E_TMP/xterm.err
  for try in 1 2; do
    "${2:-xterm}" -T "$1" -geometry 40x10 -e sleep 600 >/dev/null 2>"$err" &
    pid=$!
    E2E_PIDS+=("$pid")
    id=$(wait_window "^$1\$" 30) && { echo "$id"; return 0; }
    # Say what went wrong, so that a failure on another machine can be read.
    {
      echo "start_xterm: no window for '$1' after 30 s (try $try)"
      kill -0 "$pid" 2>/dev/null && echo "  xterm $pid still runs" || echo "  xterm $pid has ended"
      echo "  its windows, mapped or not: $(xdotool search --pid "$pid" 2>/dev/null | tr '\n' ' ')"
      echo "  ptys in use: $(ls /dev/pts 2>/dev/null | grep -c '^[0-9]')"
      sed 's/^/  xterm: /' "$err" | grep -v 'cannot load font' | head -n 5
    } >&2
    kill "$pid" 2>/dev/null
  done
  return 1
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
    # Past a few tries the keys may be going to another control of the
    # frame: a click low in the log's left edge gives it the keyboard.
    if [ "$try" -gt 3 ]; then
      local size
      size=$(window_size "$frame")
      xdotool mousemove --window "$frame" 30 $(( ${size#*x} * 2 / 3 )) click 1 >/dev/null 2>&1
      sleep 0.2
    fi
    xdotool key --clearmodifiers ctrl+a ctrl+c
    sleep 0.2
    text=$(xclip -selection clipboard -o 2>/dev/null)
    [ -n "$text" ] && break
    sleep 0.3
  done
  if [ -z "$text" ]; then
    echo "read_log: nothing copied; active $(active_window) (frame $frame)," \
      "clipboard owner offers: $(xclip -selection clipboard -o -t TARGETS 2>&1 | tr '\n' ' ')" >&2
  fi
  printf '%s\n' "$text"
}

# Sends a key combination to the focused window.
press() { xdotool key --clearmodifiers "$@"; sleep 0.3; }

# Answers the focused modal question: "Yes" with Return, "No" with Escape
# would cancel; use the mnemonic instead.
answer_yes() { sleep 0.5; xdotool key --clearmodifiers Return; }

# --- Desktop integration helpers (tray icon, error boxes, second starts) ---

# The geometry "W H X Y" (size, absolute position) of the icon named NAME
# embedded in trayer's panel; fails while there is none.
tray_icon_geometry() {  # tray_icon_geometry NAME
  xwininfo -root -tree 2>/dev/null | awk -v name="\"$1\": (" '
    function indent(s) { match(s, /^ */); return RLENGTH }
    /"panel": \("panel" "trayer"\)/ { depth = indent($0); inside = 1; next }
    inside && indent($0) <= depth { inside = 0 }
    inside && index($0, name) {
      split($0, parts, "\\) +"); split(parts[2], f, " ")
      split(f[1], size, /[x+]/); split(f[2], abs, "+")
      if (!found) print size[1], size[2], abs[2], abs[3]
      found = 1
    }
    END { exit !found }'
}

# Waits until the icon is embedded; prints its centre "X Y".
wait_tray_icon() {  # wait_tray_icon NAME [TIMEOUT_S]
  local name=$1 end=$((SECONDS + ${2:-10})) g w h x y
  while [ $SECONDS -lt $end ]; do
    # A plug not yet sized by the host is 1 pixel wide: wait for its size.
    if g=$(tray_icon_geometry "$name"); then
      read -r w h x y <<<"$g"
      [ "$w" -gt 1 ] && { echo "$((x + w / 2)) $((y + h / 2))"; return 0; }
    fi
    sleep 0.1
  done
  return 1
}

# (mousemove --sync would wait long when the pointer is there already.)
click_at() {  # click_at X Y BUTTON
  xdotool mousemove "$1" "$2"
  sleep 0.1
  xdotool click "$3"
  sleep 0.3
}

# Visible windows of a process, one id a line.
windows_of() { xdotool search --onlyvisible --pid "$1" 2>/dev/null; }

# Visible windows with exactly this title, counted.
# Waits until COMMAND... prints N (a number) or more; bounded.
wait_count() {  # wait_count N TIMEOUT_S COMMAND...
  local n=$1 end=$((SECONDS + $2)); shift 2
  while [ $SECONDS -lt $end ]; do
    [ "$("$@")" -ge "$n" ] && return 0
    sleep 0.1
  done
  return 1
}

# Stops an instance and reaps it, so that its lock counts as stale at once.
stop_app() {  # stop_app PID
  kill "$1" 2>/dev/null
  wait_exit "$1" 10 >/dev/null
}

# --- Settings and placement helpers ---

# Exit through the menu's accelerator and answer "Quit program?" with Yes.
quit_via_menu() {  # quit_via_menu FRAME_WINDOW_ID
  activate "$1"
  xdotool key --clearmodifiers alt+x
  wait_dialog '^Corvalin$' 5 >/dev/null || return 1
  answer_yes
}

# The value of KEY in [GROUP] of a settings file; empty when absent.
cfg_value() {  # cfg_value FILE GROUP KEY
  awk -v g="[$2]" -v k="$3" '
    /^\[/ { in_group = ($0 == g); next }
    in_group && index($0, k "=") == 1 { print substr($0, length(k) + 2); exit }' "$1"
}

# Client size "WxH" of a window as the X server reports it.
window_size() {
  xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}

# Client position "X,Y" on the screen.
window_position() {
  xwininfo -id "$1" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 } END { print x "," y }'
}

# Number of visible windows whose title matches.
count_windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }

# Visible dialog windows whose title matches (the tray icon, also titled
# "Corvalin", is not one).
dialog_windows() {  # dialog_windows TITLE_REGEX
  local id
  for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
    xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q DIALOG && echo "$id"
  done
}
# Waits until no such dialog is left.
wait_no_dialog() {  # wait_no_dialog TITLE_REGEX [TIMEOUT_S]
  local end=$((SECONDS + ${2:-10}))
  while [ $SECONDS -lt $end ]; do
    [ -z "$(dialog_windows "$1")" ] && return 0
    sleep 0.1
  done
  return 1
}
# Waits for such a dialog; prints its id.
wait_dialog() {  # wait_dialog TITLE_REGEX [TIMEOUT_S]
  local end=$((SECONDS + ${2:-10})) id
  while [ $SECONDS -lt $end ]; do
    id=$(dialog_windows "$1" | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Starts an X server of the test's own on a free display (never a fixed
# number: another worktree's run may have that one); sets OWN_DISPLAY (":N").
start_own_x_server() {
  local fifo=$E2E_TMP/own-display.$RANDOM n=""
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  read -r -t 10 n <"$fifo"
  rm -f "$fifo"
  OWN_DISPLAY=:$n
  [ -n "$n" ] && for _ in $(seq 50); do xdpyinfo -display "$OWN_DISPLAY" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
