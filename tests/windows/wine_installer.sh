#!/usr/bin/env bash
# Tests of the Windows installer and the portable zip that build_windows.sh
# puts beside Corvalin.exe, under Wine in a private prefix, inside
# tests/x_session.sh.  Installs silently, runs the installed copy (driven by
# win_probe.exe), installs over it, uninstalls, and looks at the files and
# the registry each step leaves.
# Usage: tests/windows/wine_installer.sh CORVALIN_EXE WIN_PROBE_EXE
set -uo pipefail
source "$(dirname "$0")/wine_lib.sh" wine_installer "$@"

EXE=$1
BUILD=$(cd "$(dirname "$1")" && pwd)
built_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
SETUP="$BUILD/Corvalin-$built_version-setup.exe"
ZIP="$BUILD/Corvalin-$built_version-portable.zip"
# The version the sources declare, read here on its own to hold the build to it.
version=$(grep -m1 -oE 'project\(Corvalin VERSION [0-9]+\.[0-9]+\.[0-9]+' "$E2E_ROOT/CMakeLists.txt" | cut -d' ' -f3)

# A Windows path as the Windows side spells it, e.g. winenv LOCALAPPDATA.
winenv() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r\n'; }
# The data of one value, as "reg query" prints it (DWORDs as 0x..).
reg_value() {  # reg_value KEY NAME
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name && $2 ~ /^REG_/ { sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); print; exit }'
}
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvalin'
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
run_value() { reg_value "$RUN_KEY" Corvalin; }
# Wine lets anyone write below HKLM: the installer registers the event
# source here as it would on Windows only when run as an administrator.
EVENT_SOURCE_KEY='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Corvalin'
event_source() { echo "$(reg_value "$EVENT_SOURCE_KEY" EventMessageFile) $(reg_value "$EVENT_SOURCE_KEY" TypesSupported)"; }

started=$SECONDS

# --- The portable zip ---------------------------------------------------
zip_check() {  # zip_check WHAT: python assertions on the zip
  python3 - "$ZIP" "$EXE" "$1" <<'PY'
import sys, zipfile
path, exe, what = sys.argv[1:]
with zipfile.ZipFile(path) as z:
    names = sorted(z.namelist())
    if what == "names":
        assert names == ["Corvalin.exe", "README.txt"], names
    elif what == "exe":
        assert z.read("Corvalin.exe") == open(exe, "rb").read()
    elif what == "readme":
        text = z.read("README.txt")
        assert text.count(b"\n") >= 3 and text.count(b"\n") == text.count(b"\r\n"), text
        assert b"beside Corvalin.exe" in text and b"delete this folder" in text, text
PY
}
check "the portable zip of $built_version is built" test -s "$ZIP"
check "the zip holds exactly Corvalin.exe and README.txt" zip_check names
check "the zip's Corvalin.exe is the built one, byte for byte" zip_check exe
check "README.txt has CRLF line ends and says where settings live and how to uninstall" zip_check readme

# --- Silent install, with the defaults ----------------------------------
check "the installer is built and carries the version of project(): $version" \
  test "$built_version" = "$version" -a -s "$SETUP"
wineboot -i >/dev/null 2>&1
check "fresh Wine prefix set up" test -d "$WINEPREFIX/drive_c/windows"

INSTDIR_W="$(winenv LOCALAPPDATA)\\Programs\\Corvalin"
INSTDIR=$(winepath -u "$INSTDIR_W" 2>/dev/null)
SHORTCUT=$(winepath -u "$(winenv APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs\\Corvalin.lnk" 2>/dev/null)
EXE_W="$INSTDIR_W\\Corvalin.exe"

t0=$SECONDS
wine "$SETUP" /S >/dev/null 2>&1
status=$?
check "a silent install exits with 0 (saw $status, $((SECONDS - t0)) s)" [ $status = 0 ]
check "Corvalin.exe is in %LOCALAPPDATA%\\Programs\\Corvalin, the built one" cmp -s "$EXE" "$INSTDIR/Corvalin.exe"
check "Uninstall.exe is beside it" test -s "$INSTDIR/Uninstall.exe"
# The link keeps the target's path (ANSI in its link info, UTF-16 elsewhere).
links_to_exe() {
  python3 - "$SHORTCUT" "$EXE_W" <<'PY'
import sys
data, target = open(sys.argv[1], "rb").read(), sys.argv[2].lower()
low = data.lower()
assert target.encode("latin-1") in low or target.encode("utf-16-le") in low, data[:200]
PY
}
check "the Start menu shortcut Corvalin.lnk points at the installed exe" links_to_exe

uninstall_fields() {
  local want=(
    "DisplayName=Corvalin" "DisplayVersion=$version" "Publisher=Pellowen"
    "DisplayIcon=$EXE_W,0" "InstallLocation=$INSTDIR_W"
    "UninstallString=\"$INSTDIR_W\\Uninstall.exe\"" "QuietUninstallString=\"$INSTDIR_W\\Uninstall.exe\" /S"
    "NoModify=0x1" "NoRepair=0x1")
  local entry ok=0
  for entry in "${want[@]}"; do
    local got; got=$(reg_value "$UNINSTALL_KEY" "${entry%%=*}")
    [ "$got" = "${entry#*=}" ] || { echo "  uninstall key: ${entry%%=*} is '$got', not '${entry#*=}'" >&2; ok=1; }
  done
  return $ok
}
check "the uninstall key names, versions and locates this install" uninstall_fields
# In KB, the two programs: at least the exe's own size, and not the folder's whole disk.
size_kb=$(( $(reg_value "$UNINSTALL_KEY" EstimatedSize) ))
exe_kb=$(( $(stat -c %s "$EXE") / 1024 ))
check "EstimatedSize ($size_kb KB) is about the installed programs' size ($exe_kb KB for the exe)" \
  [ "$size_kb" -ge "$exe_kb" -a "$size_kb" -le $((exe_kb + 2048)) ]
check "start at login is off by default: no Run value" test -z "$(run_value)"
check "the event source Corvalin names the installed exe for its texts ($(event_source))" \
  [ "$(event_source)" = "$EXE_W 0x7" ]

# --- Install over it with start at login --------------------------------
wine "$SETUP" /S /STARTATLOGIN >/dev/null 2>&1
status=$?
check "a silent install over it with /STARTATLOGIN exits with 0 (saw $status)" [ $status = 0 ]
installer_run=$(run_value)
check "/STARTATLOGIN writes the Run value: the quoted installed exe ($installer_run)" \
  [ "$installer_run" = "\"$EXE_W\"" ]

# --- The installed copy runs ----------------------------------------------
wine "$INSTDIR/Corvalin.exe" >"$TMP/app.out" 2>&1 &
APP_PID=$!; PIDS+=("$APP_PID")
FRAME=$(probe find "Corvalin : Keep Watch!" 30000)
check "the installed Corvalin opens its frame" [ -n "$FRAME" ]
[ -n "$FRAME" ] || finish

wine "$SETUP" /S >/dev/null 2>&1
status=$?
check "an install while Corvalin runs stops with exit code 2 (saw $status), the exe untouched" \
  bash -c '[ "$1" = 2 ] && cmp -s "$2" "$3"' _ "$status" "$EXE" "$INSTDIR/Corvalin.exe"
wine "$INSTDIR/Uninstall.exe" /S "_?=$INSTDIR_W" >/dev/null 2>&1
status=$?
check "an uninstall while Corvalin runs stops with exit code 2 (saw $status), nothing removed" \
  bash -c '[ "$1" = 2 ] && [ -f "$2/Corvalin.exe" ] && [ -f "$2/Uninstall.exe" ] && [ -f "$3" ]' \
  _ "$status" "$INSTDIR" "$SHORTCUT"

# File > Start at Login flips what the program believes: a check mark on
# the installer's value means the first flip removes it.
# The command is posted: the value is waited for, up to 10 s.
run_value_becomes() {  # run_value_becomes EXPECTED
  local try
  for try in $(seq 20); do [ "$(run_value)" = "$1" ] && return 0; sleep 0.5; done
  return 1
}
probe command "$FRAME" 10010
check "the program reads the installer's Run value as on (its Start at Login removes it)" run_value_becomes ""
probe command "$FRAME" 10010
run_value_becomes "$installer_run"
check "the program's own Run value is the installer's, character for character ($(run_value))" \
  [ "$(run_value)" = "$installer_run" ]

probe close "$FRAME"
probe answer Corvalin 6 10000 >/dev/null
wait_exit "$APP_PID" 30
check "the installed Corvalin quits with status 0 (saw $EXIT_STATUS)" [ "$EXIT_STATUS" = 0 ]
check "its settings are written beside it (Corvalin.cfg, perspective.layout)" \
  bash -c 'grep -q "^\[Options\]" "$1/Corvalin.cfg" && [ -s "$1/perspective.layout" ]' _ "$INSTDIR"

# --- Silent uninstall ---------------------------------------------------
wine "$INSTDIR/Uninstall.exe" /S >/dev/null 2>&1
status=$?
check "Uninstall.exe /S exits with 0 (saw $status)" [ $status = 0 ]
# It hands over to a copy of itself in %TEMP% and returns at once: the work
# is done when every process of the prefix has ended.
timeout 60 wineserver -w
check "the uninstaller's copy finishes" [ $? = 0 ]
check "no program file is left (Corvalin.exe, Uninstall.exe)" \
  test ! -e "$INSTDIR/Corvalin.exe" -a ! -e "$INSTDIR/Uninstall.exe"
check "the Start menu shortcut is gone" test ! -e "$SHORTCUT"
check "the uninstall key is gone" bash -c '! wine reg query "$1" >/dev/null 2>&1' _ "$UNINSTALL_KEY"
check "the Run value naming this install is gone" test -z "$(run_value)"
check "the event source naming this install is gone" bash -c '! wine reg query "$1" >/dev/null 2>&1' _ "$EVENT_SOURCE_KEY"
check "the settings stay: Corvalin.cfg and perspective.layout, and so their folder" \
  test -s "$INSTDIR/Corvalin.cfg" -a -s "$INSTDIR/perspective.layout"

# --- Another folder, another copy's Run value ------------------------------
other_run='"C:\Elsewhere\Corvalin.exe"'
wine reg add "$RUN_KEY" /v Corvalin /t REG_SZ /d "$other_run" /f >/dev/null 2>&1
# /D= must come last and unquoted, so the folder has no space.
wine "$SETUP" /S '/D=C:\CorvalinTwo' >/dev/null 2>&1
status=$?
TWO="$WINEPREFIX/drive_c/CorvalinTwo"
check "/D= installs into another folder (status $status)" test -s "$TWO/Corvalin.exe" -a -s "$TWO/Uninstall.exe"
# Since registered for yet another copy.
wine reg add "$EVENT_SOURCE_KEY" /v EventMessageFile /t REG_EXPAND_SZ /d 'C:\Elsewhere\Corvalin.exe' /f >/dev/null 2>&1
wine "$TWO/Uninstall.exe" /S >/dev/null 2>&1
timeout 60 wineserver -w
check "uninstalling leaves another copy's Run value alone ($(run_value))" [ "$(run_value)" = "$other_run" ]
check "... and another copy's event source ($(event_source))" [ "$(event_source)" = 'C:\Elsewhere\Corvalin.exe 0x7' ]
check "an install folder with nothing of the user's in it is removed" \
  test -n "$status" -a "$status" = 0 -a ! -e "$TWO"

echo "installer tests took $((SECONDS - started)) s"
finish
