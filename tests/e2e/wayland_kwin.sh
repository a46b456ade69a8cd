#!/usr/bin/env bash
# On KDE Plasma (Wayland) Corvalin follows the focus through a KWin script of
# its own: native windows and Xwayland ones, as KWin itself moves the focus.
# Runs inside tests/wayland/kwin_session.sh; reads what was logged from the
# record file.
source "$(dirname "$0")/lib.sh"

[ -n "${CORVALIN_KWIN_SESSION:-}" ] || { fail "not inside tests/wayland/kwin_session.sh"; finish; }
export GDK_BACKEND=wayland  # for the native clients; Corvalin picks its own

# A KWin script of the test, loaded and started under NAME.  Started through
# Scripting.start, which runs every loaded script: the object KWin makes for
# it may carry the number of a script still loaded.
kwin_call() { gdbus call --session -d org.kde.KWin -o /Scripting -m "org.kde.kwin.Scripting.$1" "${@:2}" >/dev/null; }
kwin_script() {  # kwin_script NAME CODE
  printf '%s\n' "$2" >"$E2E_TMP/$1.js"
  kwin_call loadScript "$E2E_TMP/$1.js" "$1" && kwin_call start
}
# KWin itself gives the focus to the window with this caption.
serial=0
kwin_activate() {
  serial=$((serial + 1))
  kwin_script "activate-$serial" "
    var list = workspace.windowList ? workspace.windowList() : workspace.clientList();
    for (var i = 0; i < list.length; ++i)
      if (list[i].caption === \"$1\") {
        if (typeof workspace.activeWindow !== 'undefined') workspace.activeWindow = list[i];
        else workspace.activeClient = list[i];
      }"
  kwin_call unloadScript "activate-$serial"
}

dir=$(install_copy)
# No tray icon: bare KWin has no notification area, and the error box would
# stay in the way.
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\n' >"$dir/Corvalin.cfg"
record="$dir/focus.jsonl"
last_title() { tail -n1 "$record" 2>/dev/null | sed -n 's/.*"title":"\([^"]*\)".*/\1/p'; }
wait_logged() {  # wait_logged TITLE [TIMEOUT_S]
  local end=$((SECONDS + ${2:-5}))
  while [ $SECONDS -lt $end ]; do
    [ "$(last_title)" = "$1" ] && return 0
    sleep 0.05
  done
  return 1
}

# Foreign scripts: one unloaded before we load ours, so that our number is
# still held by the other, which stays loaded and is unloaded later.
kwin_script foreign-1 'print("foreign one");'
kwin_script foreign-2 'print("foreign two");'
kwin_call unloadScript foreign-1

start_app "$dir"; corvalin=$LAST_PID
for _ in $(seq 100); do [ -s "$record" ] && break; sleep 0.1; done
check "Corvalin follows the windows through KWin's scripting" \
  grep -q "through KWin (script)" "$dir/out.log"
check "the script file handed to KWin is gone once it runs" \
  bash -c '! ls "$XDG_RUNTIME_DIR"/corvalin-kwin-*.js 2>/dev/null | grep -q .'


zenity --info --title "Kwin Zen A" --text A >/dev/null 2>&1 & E2E_PIDS+=($!); zen_a=$!
check "a native window appears and is logged" wait_logged "Kwin Zen A" 10
check "... with KWin's pid: its launcher, command line, and that it is new" python3 -c '
import json, sys
r = [json.loads(l) for l in open(sys.argv[1]) if "\"Kwin Zen A\"" in l][-1]
assert r["pid"] == int(sys.argv[2]) and r["cmdline"].startswith("zenity --info --title Kwin Zen A"), r
assert r["new_window"] is True and r["launcher"] == "wayland_kwin.sh", r
' "$record" "$zen_a"
zenity --info --title "Kwin Zen B" --text B >/dev/null 2>&1 & E2E_PIDS+=($!)
check "a second one too" wait_logged "Kwin Zen B" 10
xterm -T "Kwin X term" -e sleep 600 >/dev/null 2>&1 & xterm_pid=$!; E2E_PIDS+=($xterm_pid)
check "an Xwayland window too" wait_logged "Kwin X term" 10
xid=$(xdotool search --name '^Kwin X term$' | head -n1)

before=$(wc -l <"$record")
sequence=("Kwin Zen A" "Kwin X term" "Kwin Zen B" "Kwin Zen A" "Kwin Zen B" "Kwin X term" "Kwin Zen A")
asked=()  # when each switch was asked for, in seconds
for i in "${!sequence[@]}"; do
  if [ "$i" = 3 ]; then  # the foreign scripts come and go around ours
    kwin_call unloadScript foreign-2
    kwin_script foreign-3 'print("foreign three");'
    kwin_call unloadScript foreign-3
  fi
  asked+=("$(date +%s.%N)")
  kwin_activate "${sequence[$i]}"
  wait_logged "${sequence[$i]}"
done

# Closing the active window: KWin gives the focus to another, logged next.
kill "$zen_a"
for _ in $(seq 50); do [ "$(last_title)" != "Kwin Zen A" ] && break; sleep 0.1; done
sleep 0.5

check "every switch is logged once, in order, with nothing between; the close logs the next window" \
  python3 - "$record" "$before" "$xid" "$xterm_pid" "${asked[*]}" "${sequence[@]}" <<'EOF'
import datetime, json, sys
record, before, xid, xterm_pid = sys.argv[1], int(sys.argv[2]), int(sys.argv[3], 0), int(sys.argv[4])
asked, expected = [float(t) for t in sys.argv[5].split()], sys.argv[6:]
lines = [json.loads(l) for l in open(record)]
switches = lines[before:]
titles = [r["title"] for r in switches]
print("switches logged in order: %d/%d" % (sum(a == b for a, b in zip(titles, expected)), len(expected)))
assert titles[:len(expected)] == expected, titles
# From the request to KWin (a script of ours loaded and started) to the line.
latency = [round((datetime.datetime.fromisoformat(r["time"]).timestamp() - t) * 1000)
           for r, t in zip(switches, asked)]
print("latency ms:", *latency)
assert max(latency) < 1000, latency
after = switches[len(expected):]
assert len(after) == 1 and after[0]["title"] in ("Kwin Zen B", "Kwin X term"), titles
for r in lines:
    assert "Not a valid window" not in (r["module"], r["title"]), r
handles = {}
for r in lines:
    assert handles.setdefault(r["title"], r["handle"]) == r["handle"], ("handle changed", r)
named = {t: h for t, h in handles.items() if t.startswith("Kwin ")}
assert len(set(named.values())) == len(named), handles
for r in switches:
    if r["title"] == "Kwin X term":
        assert r["handle"] == xid and r["module"] == "xterm" and r["pid"] == xterm_pid, (r, xid)
        assert r["class"].lower() == "xterm", r
    else:
        assert 2**30 < r["handle"] < 2**31 and r["module"] == "zenity" and r["class"] == "zenity", r
EOF

# KWin marks a window as demanding attention (its answer to an activation it
# refuses): an attempt, with the window's process, and no change.
numbered=$(grep -c '"number":[0-9]' "$record")
kwin_script attention "
  var list = workspace.windowList ? workspace.windowList() : workspace.clientList();
  for (var i = 0; i < list.length; ++i)
    if (list[i].caption.indexOf('Kwin ') === 0 && !list[i].active) { list[i].demandsAttention = true; break; }"
kwin_call unloadScript attention
wait_count 1 5 grep -c '"attempt":"attention"' "$record"
check "a window KWin marks as demanding attention is an attempt with its process, and no change" python3 -c '
import json, sys
r = [json.loads(l) for l in open(sys.argv[1]) if "\"attempt\":\"attention\"" in l][-1]
assert r["title"].startswith("Kwin ") and r["module"] in ("zenity", "xterm") and r["pid"] and r["number"] is None, r
assert sum("\"number\":null" not in l for l in open(sys.argv[1])) == int(sys.argv[2]), "numbered lines"
' "$record" "$numbered"

# Corvalin takes its script away when it quits.  KWin numbers a new script by
# how many are loaded, so a probe's number counts them.
probe() { gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript \
            "$E2E_TMP/foreign-1.js" "$1" | tr -dc 0-9; }
with_ours=$(probe probe-1)
stop_app "$corvalin"
kwin_call unloadScript probe-1
after=$(probe probe-2)
# Ours are the reporter and the hot key's script.
check "quitting unloads our scripts (probe numbers $with_ours, then $after)" test "$after" = "$((with_ours - 2))"

# Another program of the user's on the bus: it can learn our per-run path
# by watching the bus, but its reports are not KWin's and log nothing, and
# its huge messages are dropped without keeping their memory.  Our own window
# is on an X server of its own from here on, so that it outlives KWin.
start_own_x_server || fail "no X server of our own"
dbus-monitor --session "interface='example.pellowen.Corvalin.KWinReports'" >"$E2E_TMP/monitor.txt" 2>&1 &
E2E_PIDS+=($!); sleep 0.3
DISPLAY=$OWN_DISPLAY start_app "$dir"; corvalin=$LAST_PID
wait_count 2 20 grep -c 'through KWin (script)' "$dir/out.log"
kwin_activate "Kwin X term"; wait_logged "Kwin X term"
read -r dest path < <(sed -n 's/^method call.*destination=\([^ ]*\) serial=[0-9]* path=\(\/example\/[^;]*\); interface=example.pellowen.Corvalin.KWinReports;.*/\1 \2/p' "$E2E_TMP/monitor.txt" | head -n1)
check "a peer watching the bus learns Corvalin's report path ($dest $path)" test -n "$path"
gdbus call --session --dest "$dest" --object-path "$path" \
  --method example.pellowen.Corvalin.KWinReports.Active Forged forged forged 1 forged-1 0 >/dev/null
rss() { awk '/^VmRSS/ {print $2}' "/proc/$corvalin/status"; }
rss_before=$(rss)
"$DBUS_BIG_MESSAGE" "$dest" "$path" example.pellowen.Corvalin.KWinReports.Active 32 3
sleep 2
rss_after=$(rss)
echo "RSS before three 32 MB messages: $rss_before kB, after: $rss_after kB"
kwin_activate "Kwin Zen B"; wait_logged "Kwin Zen B"
check "a report forged by another bus client logs nothing" bash -c '! grep -q Forged "$1"' _ "$record"
check "32 MB messages leave memory as it was (+$((rss_after - rss_before)) kB)" test $((rss_after - rss_before)) -lt 8192
check "... and monitoring goes on" bash -c 'tail -n1 "$1" | grep -q "\"title\":\"Kwin Zen B\""' _ "$record"

# KWin killed and started again on the same bus: said, and taken up again.
check "the oversized messages are said, and the connection made anew" \
  grep -q 'a peer sent a message far larger than any report' "$dir/out.log"
losses=$(grep -c 'stopped reporting windows; reconnecting' "$dir/out.log")
"$(dirname "$0")/../wayland/kwin_session.sh" --restart || fail "KWin did not start again"
restarted=$(date +%s%N)
wait_count $((losses + 1)) 10 grep -c 'stopped reporting windows; reconnecting' "$dir/out.log"
wait_count $((losses + 1)) 10 grep -c 'reports windows again' "$dir/out.log"
echo "taken up again $(( ($(date +%s%N) - restarted) / 1000000 )) ms after KWin's restart"
check "KWin's loss is said" grep -q 'KWin left the session bus\|KWin was replaced' "$dir/out.log"
zenity --info --title "Kwin After" --text C >/dev/null 2>&1 & E2E_PIDS+=($!)
check "the new KWin's windows are logged" wait_logged "Kwin After" 10
check "monitoring survives the restart" kill -0 "$corvalin"
stop_app "$corvalin"

# The hot key through KWin's own global shortcuts, with a native window
# focused and monitoring off; invoked over KGlobalAccel as a key press would
# (this KWin runs without key grabs of its own).
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\nMonitorWindows=0\n' >"$dir/Corvalin.cfg"
DISPLAY=$OWN_DISPLAY start_app "$dir"; corvalin=$LAST_PID
kwin_shortcuts() {
  gdbus call --session -d org.kde.kglobalaccel -o /component/kwin \
    -m org.kde.kglobalaccel.Component.shortcutNames 2>/dev/null | grep -o "corvalin-hotkey-[0-9a-f-]*"
}
wait_count 1 20 bash -c "$(declare -f kwin_shortcuts); kwin_shortcuts | grep -c '^corvalin-hotkey-$corvalin-'"
shortcut=$(kwin_shortcuts | grep "^corvalin-hotkey-$corvalin-" | head -n1)
check "the hot key is a KWin global shortcut ($shortcut)" test -n "$shortcut"
kwin_activate "Kwin After"; sleep 0.3
before=$(wc -l <"$record")
gdbus call --session -d org.kde.kglobalaccel -o /component/kwin \
  -m org.kde.kglobalaccel.Component.invokeShortcut "$shortcut" >/dev/null
wait_count $((before + 1)) 10 bash -c "wc -l <'$record'"
check "the shortcut logs the focused native window, as a hot-key sample" \
  bash -c 'tail -n1 "$1" | grep -q "\"title\":\"Kwin After\".*\"seen\":\"hotkey\""' _ "$record"
# Killed, it leaves its scripts loaded and its shortcut registered: the next
# start unloads them and takes the key as its own.
with_ours=$(probe probe-3); kwin_call unloadScript probe-3
kill -9 "$corvalin"; wait "$corvalin" 2>/dev/null
DISPLAY=$OWN_DISPLAY start_app "$dir"; corvalin=$LAST_PID
wait_count 1 20 bash -c "$(declare -f kwin_shortcuts); kwin_shortcuts | grep -c '^corvalin-hotkey-$corvalin-'"
check "after a kill -9 the next start has the hot key" \
  bash -c "$(declare -f kwin_shortcuts); kwin_shortcuts | grep -q '^corvalin-hotkey-$corvalin-'"
check "... said nothing of the key being taken" bash -c '! grep -q "have Ctrl+Shift+P already" "$1"' _ "$dir/out.log"
check "... and the killed one's shortcut is gone" \
  bash -c "$(declare -f kwin_shortcuts); ! kwin_shortcuts | grep -q '^$shortcut\$'"
again=$(probe probe-4); kwin_call unloadScript probe-4
check "... and its scripts are unloaded (probe numbers $with_ours, then $again)" test "$again" = "$with_ours"
stop_app "$corvalin"
# (Also none of the one that ran while KWin was killed: the KWin after it
# listed that one again from its saved shortcuts, and the next start of
# Corvalin took it out.)
check "after Corvalin quits no shortcut of ours is listed" bash -c "$(declare -f kwin_shortcuts); ! kwin_shortcuts | grep -q ."
# KGlobalAccel writes its file a moment after a change.
for _ in $(seq 50); do grep -qs corvalin-hotkey "$XDG_CONFIG_HOME/kglobalshortcutsrc" || break; sleep 0.1; done
check "... nor saved in kglobalshortcutsrc" bash -c '! grep -qs corvalin-hotkey "$XDG_CONFIG_HOME/kglobalshortcutsrc"'

# A key past letters, digits and F1-F12 (Ctrl with the keypad's +): KDE
# holds it as Qt's Ctrl+Num++, the number 0x2400002B.
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\nMonitorWindows=0\nHotKey=107\nHotKeyVK=2\n' >"$dir/Corvalin.cfg"
DISPLAY=$OWN_DISPLAY start_app "$dir"; corvalin=$LAST_PID
wait_count 1 20 bash -c "$(declare -f kwin_shortcuts); kwin_shortcuts | grep -c '^corvalin-hotkey-$corvalin-'"
shortcut=$(kwin_shortcuts | grep "^corvalin-hotkey-$corvalin-" | head -n1)
keys=$(gdbus call --session -d org.kde.kglobalaccel -o /kglobalaccel \
  -m org.kde.KGlobalAccel.shortcut "['kwin', '$shortcut', '', '']" 2>&1)
check "Ctrl with the keypad's + is a KWin shortcut on that key ($keys)" test "$keys" = "([$((0x2400002B))],)"
stop_app "$corvalin"
finish
