#!/usr/bin/env bash
# The real program against damaged settings and layout files made here: it
# starts, shows at most one message, keeps the Activity log visible, exits
# normally, keeps the damaged original beside the file, and starts cleanly
# the next time.  Also a settings folder it cannot write: one message.
source "$(dirname "$0")/lib.sh"
title='^Corvalin : Keep Watch!$'
RANDOM=2026

garbage() {  # garbage BYTES
  local i
  for ((i = 0; i < $1; i++)); do printf "\\x$(printf %02x $((RANDOM % 256)))"; done
}
valid='[Options]\nMonitorWindows=1\n[Layout/SelDlg]\nSizeW=640\nSizeH=480\n'

make_case() {  # make_case NAME DIR: writes the damaged files; prints "cfg" when
  local dir=$2                       # the settings file is the damaged one
  case $1 in
    binary) garbage 3000 > "$dir/Corvalin.cfg"; echo cfg ;;
    nul) printf "$valid"'Key=a\0b\n' > "$dir/Corvalin.cfg"; echo cfg ;;
    # Not valid UTF-8, so read as Latin-1: no damage, nothing lost.
    latin1) printf "$valid"'[Bad\xc3\x28]\n\xff\xfe=\xed\xa0\x80\n' > "$dir/Corvalin.cfg" ;;
    huge) { printf "$valid"; printf 'Long='; head -c 20000000 /dev/zero | tr '\0' x; echo; } \
            > "$dir/Corvalin.cfg"; echo cfg ;;
    many) { for i in $(seq 3000); do printf '[G%d]\nA=%d\nB=x\n' "$i" "$i"; done; printf "$valid"; } \
            > "$dir/Corvalin.cfg" ;;
    deep) { printf '['; for i in $(seq 40000); do printf 'a/'; done; printf 'b]\n'; printf "$valid"; } \
            > "$dir/Corvalin.cfg"; echo cfg ;;
    utf16) { printf '\xff\xfe'; printf '[Options]\nHotKey=80\n' | iconv -t UTF-16LE; } \
            > "$dir/Corvalin.cfg" ;;
    empty_layout) printf 'PerspectiveSelDlg2=layout2|\n' > "$dir/perspective.layout" ;;
    hidden_log) printf '%s\n' 'PerspectiveSelDlg2=layout2|name=TpplBarPane;state=10240;dir=1;layer=10|name=ID_Note;state=1982;dir=5|' \
            > "$dir/perspective.layout" ;;
    unknown_panes) printf '%s\n' 'PerspectiveSelDlg2=layout2|name=Gone;state=0;dir=5|name=Other;state=0|dock_size(5,0,0)=9999|' \
            > "$dir/perspective.layout" ;;
    layout_binary) garbage 2000 > "$dir/perspective.layout" ;;
  esac
}

runs=0
for name in binary nul latin1 huge many deep utf16 empty_layout hidden_log unknown_panes layout_binary; do
  runs=$((runs + 1))
  dir=$(install_copy)
  damaged=$(make_case "$name" "$dir")
  [ -f "$dir/Corvalin.cfg" ] && cp "$dir/Corvalin.cfg" "$E2E_TMP/original"
  start_app "$dir"; pid=$LAST_PID
  frame=$(wait_window "$title" 30) || { fail "$name: no frame"; continue; }
  sleep 1
  boxes=$(dialog_windows '^Corvalin (Warning|Error)$' | wc -l)
  if [ "$damaged" = cfg ]; then
    check "$name: exactly one message" [ "$boxes" = 1 ]
    check "$name: the original is kept beside it" cmp -s "$E2E_TMP/original" "$dir/Corvalin.cfg.damaged"
  else
    check "$name: no message" [ "$boxes" = 0 ]
  fi
  for box in $(dialog_windows '^Corvalin (Warning|Error)$'); do wmctrl -i -c "$box"; done
  sleep 0.3
  log=$(read_log "$frame")
  check "$name: the Activity log is there and logging" grep -q 'Corvalin - Corvalin : Keep Watch!' <<<"$log"
  quit_via_menu "$frame"; wait_exit "$pid" 20
  check "$name: ends normally" [ "$EXIT_STATUS" = 0 ]
  [ "$name" = utf16 ] && check "utf16: rewritten as UTF-8, value kept" \
    [ "$(cfg_value "$dir/Corvalin.cfg" Options HotKey)" = 80 ]
  [ "$name" = latin1 ] && check "latin1: its text is kept, now in UTF-8" \
    grep -q $'^\xc3\xbf\xc3\xbe=' "$dir/Corvalin.cfg"
  [ "$name" = many ] && check "many: 3000 groups kept" [ "$(cfg_value "$dir/Corvalin.cfg" G3000 A)" = 3000 ]

  start_app "$dir"; pid=$LAST_PID
  frame=$(wait_window "$title" 30) || { fail "$name: no frame on the next start"; continue; }
  sleep 1
  check "$name: the next start is clean" [ -z "$(dialog_windows '^Corvalin (Warning|Error)$')" ]
  kill "$pid"; wait_exit "$pid"
done
echo "$runs damaged inputs run against the program"

# A program folder the user cannot write: one error at exit, not one per
# file and attempt.
ro=$(mktemp -d /tmp/corvalin-ro.XXXXXX); chmod 755 "$ro"
cp "$CORVALIN_BIN" "$ro/Corvalin"
home=$(mktemp -d /tmp/corvalin-rohome.XXXXXX); chmod 777 "$home"
setpriv --reuid=65534 --regid=65534 --clear-groups \
  env HOME="$home" XDG_RUNTIME_DIR="$home" "$ro/Corvalin" >"$home/out.log" 2>&1 &
pid=$!; E2E_PIDS+=("$pid")
if frame=$(wait_window "$title" 30); then
  quit_via_menu "$frame"
  first=$(wait_dialog '^Corvalin (Warning|Error)$' 10)
  check "unwritable folder: reported at exit" [ -n "$first" ]
  check "unwritable folder: in one message" [ "$(dialog_windows '^Corvalin (Warning|Error)$' | wc -l)" = 1 ]
  [ -n "$first" ] && wmctrl -i -c "$first"
  sleep 1.5
  check "unwritable folder: no second message" [ -z "$(dialog_windows '^Corvalin (Warning|Error)$')" ]
  wait_exit "$pid" 10
  check "unwritable folder: ends normally" [ "$EXIT_STATUS" = 0 ]
else
  fail "unwritable folder: no frame"
fi
rm -rf "$ro" "$home"
finish
