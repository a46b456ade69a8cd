#!/usr/bin/env bash
# File > Start at Login, from folders whose names need quoting in an entry:
# the entry passes desktop-file-validate, and GLib's launcher starts the
# file at that very path.  From a folder no entry can name: an error box, no
# new entry, and an old one stays as it was.
source "$(dirname "$0")/lib.sh"
FRAME='^Corvalin : Keep Watch!$'
ENTRY=$XDG_CONFIG_HOME/autostart/example.pellowen.Corvalin.desktop

# Runs a copy from folder $1, picks Start at Login, and quits; sets BOXES
# to the number of error boxes it showed.
start_at_login() {
  local dir=$E2E_TMP/$1 frame pid
  mkdir "$dir" && cp "$CORVALIN_BIN" "$dir/Corvalin"
  start_app "$dir"; pid=$LAST_PID
  frame=$(wait_window "$FRAME") || { fail "no frame from folder $1"; return 1; }
  activate "$frame"
  press alt+f; press Down Down Down Down Return
  sleep 1
  BOXES=$(count_windows 'Corvalin Error')
  [ "$BOXES" = 0 ] || press Return
  quit_via_menu "$frame" && wait_exit "$pid"
}

for name in 'back\slash' '100%' 'say "hi"' 'cost $HOME' 'two words' 'all \ % " $ ` é'; do
  rm -f "$ENTRY" "$E2E_TMP/started"
  start_at_login "$name" || continue
  check "[$name] entry written without an error box" test -f "$ENTRY" -a "$BOXES" = 0
  check "[$name] desktop-file-validate passes" desktop-file-validate "$ENTRY"
  # What stands at the program's path now tells which file was started.
  printf '#!/bin/sh\nprintf %%s "$0" >"%s/started"\n' "$E2E_TMP" >"$E2E_TMP/$name/Corvalin"
  gio launch "$ENTRY"
  for _ in $(seq 50); do [ -s "$E2E_TMP/started" ] && break; sleep 0.1; done
  check "[$name] gio launch starts the file at the program's path" \
    test "$(cat "$E2E_TMP/started" 2>/dev/null)" = "$E2E_TMP/$name/Corvalin"
done

rm -f "$ENTRY"
start_at_login $'line\nbreak'
check "[line break] an error box, and nothing in the autostart folder" \
  test "$BOXES" = 1 -a -z "$(ls -A "${ENTRY%/*}")"
old=$'[Desktop Entry]\nType=Application\nName=Corvalin\nExec=true\nHidden=true\n'
printf %s "$old" >"$ENTRY"  # switched off in the session's settings
start_at_login $'byte\xff'
check "[byte \\xff] an error box, the old entry as it was" \
  test "$BOXES" = 1 -a "$(cat "$ENTRY"; echo .)" = "$old."
finish
