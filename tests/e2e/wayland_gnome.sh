#!/usr/bin/env bash
# Under GNOME Shell (Wayland, headless) with our extension, Corvalin logs
# every focus change of native Wayland and Xwayland windows once, in order,
# with title, class and executable, under handles that stay the same; with
# the extension disabled it says what to do and logs no Wayland window.
# Starts its own GNOME session (tests/wayland/gnome_session.sh).
if [ -z "${GNOME_SESSION_DIR:-}" ]; then
  root=$(cd "$(dirname "$0")/../.." && pwd)
  major=$(gnome-shell --version 2>/dev/null | grep -o '[0-9]*' | head -n1)
  [ -n "$major" ] || { echo "FAIL: gnome-shell is not installed" >&2; exit 1; }
  variant=45; [ "$major" -lt 45 ] && variant=43
  exec bash "$root/tests/wayland/gnome_session.sh" \
    --extension "$(dirname "${CORVALIN_BIN:-$root/build/Corvalin}")/gnome-shell/$variant/corvalin@pellowen.example" \
    --extension "$root/tests/wayland/eval@corvalin.test" bash "$0"
fi
source "$(dirname "$0")/lib.sh"

# The test moves the focus as a user's click would, through the shell.
shell_eval() {
  gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method org.gnome.Shell.Eval "$1" 2>/dev/null
}
find_window='global.get_window_actors().map(a => a.meta_window).find(w => w.get_title() === TITLE)'
wait_shell_window() {  # wait_shell_window TITLE
  local end=$((SECONDS + 20))
  while [ $SECONDS -lt $end ]; do
    shell_eval "!!${find_window/TITLE/\"$1\"}" | grep -q "'true'" && return 0
    sleep 0.1
  done
  return 1
}
focus_window() {  # focus_window TITLE
  shell_eval "imports.ui.main.activateWindow(${find_window/TITLE/\"$1\"})" >/dev/null
}
lines() { cat "$1" 2>/dev/null | grep -c '"number":'; }
wait_lines() {  # wait_lines FILE N: until FILE has N records (bounded)
  local end=$((SECONDS + 5))
  while [ "$(lines "$1")" -lt "$2" ] && [ $SECONDS -lt $end ]; do sleep 0.05; done
}
zenity_window() {  # zenity_window TITLE: a native Wayland window; sets LAST_PID
  GDK_BACKEND=wayland zenity --info --title "$1" --text "$1" >/dev/null 2>&1 &
  LAST_PID=$!
  E2E_PIDS+=("$LAST_PID")
  wait_shell_window "$1"
}

dir=$(install_copy)
# GNOME Shell has no notification area: no icon, so no error box in the way.
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\n' >"$dir/Corvalin.cfg"
record="$dir/focus.jsonl"
start_app "$dir"; corvalin=$LAST_PID
zenity_window "Gnome One" || fail "no window for Gnome One"; one=$LAST_PID
zenity_window "Gnome Two" || fail "no window for Gnome Two"; two=$LAST_PID
xterm -T "Gnome XTerm" -e sleep 600 >/dev/null 2>&1 &
xterm=$!; E2E_PIDS+=("$xterm")
wait_shell_window "Gnome XTerm" || fail "no window for Gnome XTerm"
check "Corvalin follows the windows through the GNOME Shell extension" \
  grep -q 'through GNOME Shell (extension)' "$dir/out.log"

# From a known focus, five switches: each must be one record, in order.
focus_window "Gnome XTerm"; sleep 1
before=$(lines "$record")
switched=()
order=("Gnome One" "Gnome Two" "Gnome XTerm" "Gnome One" "Gnome Two")
for title in "${order[@]}"; do
  focus_window "$title"
  wait_lines "$record" $((before + 1 + ${#switched[@]}))
  switched+=("$title")
done
sleep 0.5  # a second line per switch would come within a few ticks
tail -n +$((before + 1)) "$record" | grep '"number":' >"$E2E_TMP/switches"
cat "$E2E_TMP/switches"
check "every switch is logged once, in order, with title, class, executable and a stable handle" \
  python3 - "$E2E_TMP/switches" "$one" "$two" "$xterm" "$(xdotool search --name '^Gnome XTerm$' | head -n1)" <<'EOF'
import json, sys
records = [json.loads(line) for line in open(sys.argv[1])]
one, two, xterm, xid = map(int, sys.argv[2:6])
assert [r["title"] for r in records] == [
    "Gnome One", "Gnome Two", "Gnome XTerm", "Gnome One", "Gnome Two"], records
expected = {"Gnome One": (one, "zenity", "zenity"), "Gnome Two": (two, "zenity", "zenity"),
            "Gnome XTerm": (xterm, "xterm", "XTerm")}
for r in records:
    pid, module, cls = expected[r["title"]]
    assert (r["pid"], r["module"], r["class"]) == (pid, module, cls), r
    assert r["path"].endswith("/" + module), r
    # Who started it, read from the pid the shell gives.
    assert r["module"] != "zenity" or r["cmdline"].startswith("zenity --info --title Gnome"), r
    assert r["module"] != "zenity" or r["launcher"] == "wayland_gnome.sh", r
handles = {}
for r in records:
    handles.setdefault(r["title"], set()).add(r["handle"])
assert all(len(h) == 1 for h in handles.values()), handles
assert len({h.pop() for h in handles.values()}) == 3, handles
xterm_handle = next(r["handle"] for r in records if r["title"] == "Gnome XTerm")
assert xterm_handle == xid, (xterm_handle, xid)  # Xwayland windows keep their X11 id
assert all(2**30 < r["handle"] < 2**31 for r in records if r["title"] != "Gnome XTerm"), records
EOF
# Reports not from the shell, or not shaped as ours, change nothing.
# Asked for or not: the shell's idle time comes with each report.  A switch
# with no input before it, then one right after a key typed on the shell's
# own virtual keyboard.
type_key='(() => { const C = imports.gi.Clutter, G = imports.gi.GLib;
  const d = C.get_default_backend().get_default_seat().create_virtual_device(C.InputDeviceType.KEYBOARD_DEVICE);
  for (const s of [C.KeyState.PRESSED, C.KeyState.RELEASED]) d.notify_keyval(G.get_monotonic_time(), C.KEY_Shift_L, s);
  return true; })()'
sleep 1
before=$(lines "$record")
focus_window "Gnome One"; wait_lines "$record" $((before + 1))
shell_eval "$type_key" | grep -q true || fail "no key typed on the shell's virtual keyboard"
focus_window "Gnome Two"; wait_lines "$record" $((before + 2))
check "a switch with no input before it is unprompted, one right after a key is not" \
  python3 - "$record" <<'EOF'
import json, sys
a, b = [json.loads(l) for l in open(sys.argv[1])][-2:]
print("idle:", a["title"], a["idle_ms"], a["unprompted"], "/", b["title"], b["idle_ms"], b["unprompted"])
assert a["title"] == "Gnome One" and a["unprompted"] is True and a["idle_ms"] >= 1000, a
assert b["title"] == "Gnome Two" and b["unprompted"] is False and b["idle_ms"] < 500, b
EOF
before=$(lines "$record")
gdbus emit --session --object-path /example/pellowen/Corvalin \
  --signal example.pellowen.Corvalin.Focus.FocusChanged \
  'uint64 77' "'Forged'" "'forged'" "''" 'uint32 1' "'wayland'" 'uint64 0'
for body in "'(s)', ['Odd']" "'(u)', [1]" "'(tsssist)', [1, 'a', 'b', 'c', 5, 'x11', 2]"; do
  for member in FocusChanged TitleChanged WindowClosed; do
    shell_eval "imports.gi.Gio.DBus.session.emit_signal(null, '/example/pellowen/Corvalin',
      'example.pellowen.Corvalin.Focus', '$member', new imports.gi.GLib.Variant($body))" |
      grep -q true || fail "the shell did not send a misshapen $member"
  done
done
focus_window "Gnome XTerm"
wait_lines "$record" $((before + 1)); sleep 0.3
check "forged and misshapen reports are ignored; the next switch is logged" \
  bash -c '[ "$(tail -n +$(($2 + 1)) "$1" | grep -c .)" = 1 ] && tail -n1 "$1" | grep -q "\"title\":\"Gnome XTerm\""' \
  _ "$record" "$before"
check "... without a GLib warning" bash -c '! grep -q CRITICAL "$1"' _ "$dir/out.log"
# The shell marks a window as demanding attention (its answer to an
# activation it refuses): an attempt with the window's process, no change.
numbered=$(grep -c '"number":[0-9]' "$record")
# (The shell marks only a window the user cannot see: minimised for it.)
shell_eval "(w => { w.minimize(); w.set_demands_attention(); w.unminimize(); })(${find_window/TITLE/\"Gnome One\"})" >/dev/null
wait_count 1 5 grep -c '"attempt":"attention"' "$record"
check "a window the shell marks as demanding attention is an attempt with its process, and no change" python3 -c '
import json, sys
r = [json.loads(l) for l in open(sys.argv[1]) if "\"attempt\":\"attention\"" in l][-1]
assert r["title"] == "Gnome One" and r["module"] == "zenity" and r["pid"] == int(sys.argv[2]) and r["number"] is None, r
assert sum("\"number\":null" not in l for l in open(sys.argv[1])) == int(sys.argv[3]), "numbered lines"
' "$record" "$one" "$numbered"
# A focused window that closes: the shell focuses another, which is logged
# as it is, and the closed one is not taken for a broken window.
focus_window "Gnome Two"; wait_lines "$record" $(($(lines "$record") + 1))
before=$(lines "$record")
kill "$two"
wait_lines "$record" $((before + 1)); sleep 0.5
tail -n +$((before + 1)) "$record"
check "closing the focused window logs the window the shell focuses next, once" \
  bash -c '[ "$(tail -n +$(($2 + 1)) "$1" | grep -c .)" = 1 ] && tail -n1 "$1" | grep -q "\"title\":\"Gnome \(One\|XTerm\)\""' \
  _ "$record" "$before"
check "no record says 'Not a valid window'" bash -c '! grep -q "Not a valid window" "$1"' _ "$record"

# The extension switched off while Corvalin runs: said at once (never
# guessed from silence), and taken up again when it is switched on.
gnome-extensions disable corvalin@pellowen.example
wait_count 1 5 grep -c 'stopped reporting windows; reconnecting' "$dir/out.log"
check "switching the extension off is said" grep -q 'extension was switched off' "$dir/out.log"
gnome-extensions enable corvalin@pellowen.example
enabled=$(date +%s%N)
wait_count 1 5 grep -c 'reports windows again' "$dir/out.log"
echo "taken up again $(( ($(date +%s%N) - enabled) / 1000000 )) ms after the extension was enabled"
before=$(lines "$record")
focus_window "Gnome XTerm"; focus_window "Gnome One"
wait_lines "$record" $((before + 1)); sleep 0.3
check "after it is enabled again, switches are logged" \
  bash -c 'tail -n1 "$1" | grep -q "\"title\":\"Gnome One\""' _ "$record"
stop_app "$corvalin"

# The extension disabled: Corvalin says what to do and logs no Wayland window.
gnome-extensions disable corvalin@pellowen.example
rm -f "$record"
start_app "$dir"; corvalin=$LAST_PID
for _ in $(seq 100); do grep -q 'gnome-extensions enable' "$dir/out.log" && break; sleep 0.1; done
cat "$dir/out.log"
check "without the extension, Corvalin says how to enable it" \
  grep -qF 'installed but not enabled: run `gnome-extensions enable corvalin@pellowen.example`' \
  "$dir/out.log"
# It still sees X11 windows through Xwayland: the record is being written.
for title in "Gnome One" "Gnome Two" "Gnome XTerm"; do focus_window "$title"; sleep 0.5; done
cat "$record"
check "... and logs the X11 window but no native Wayland window" \
  bash -c 'grep -q "\"title\":\"Gnome XTerm\"" "$1" && ! grep -q "\"title\":\"Gnome \(One\|Two\)\"\|Not a valid window" "$1"' _ "$record"
# Enabled for the first time while it runs: picked up without a restart.
gnome-extensions enable corvalin@pellowen.example
wait_count 1 5 grep -c 'reports windows again' "$dir/out.log"
check "the extension enabled while Corvalin runs is taken up" grep -q 'reports windows again' "$dir/out.log"
focus_window "Gnome One"; sleep 0.5
check "... and native windows are logged from then on" \
  bash -c 'tail -n1 "$1" | grep -q "\"title\":\"Gnome One\""' _ "$record"
stop_app "$corvalin"

# The hot key through the shell's own key bindings, typed on its virtual
# keyboard while a native window has the focus and monitoring is off.
hot_key='(() => { const C = imports.gi.Clutter, G = imports.gi.GLib;
  const d = C.get_default_backend().get_default_seat().create_virtual_device(C.InputDeviceType.KEYBOARD_DEVICE);
  const keys = [C.KEY_Control_L, C.KEY_Shift_L, C.KEY_p];
  for (const k of keys) d.notify_keyval(G.get_monotonic_time(), k, C.KeyState.PRESSED);
  for (const k of keys.reverse()) d.notify_keyval(G.get_monotonic_time(), k, C.KeyState.RELEASED);
  return true; })()'
printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\nMonitorWindows=0\n' >"$dir/Corvalin.cfg"
dbus-monitor --session "type='signal',interface='example.pellowen.Corvalin.Focus',member='HotKey'" \
  >"$E2E_TMP/hotkeys" 2>&1 & E2E_PIDS+=($!)
start_app "$dir"; corvalin=$LAST_PID
wait_count 1 20 grep -c 'through GNOME Shell (extension)' "$dir/out.log"
sleep 1  # the key is bound once the frame is on screen
focus_window "Gnome One"; sleep 0.3
before=$(lines "$record")
shell_eval "$hot_key" | grep -q true || fail "no key typed on the shell's virtual keyboard"
wait_lines "$record" $((before + 1))
check "the hot key logs the focused native window, as a hot-key sample" \
  bash -c 'tail -n1 "$1" | grep -q "\"title\":\"Gnome One\".*\"seen\":\"hotkey\""' _ "$record"
stop_app "$corvalin"
shell_eval "$hot_key" >/dev/null; sleep 0.5
check "after Corvalin quits the shell binds the key no more (one press heard in all)" \
  test "$(grep -c 'member=HotKey' "$E2E_TMP/hotkeys")" = 1
finish
