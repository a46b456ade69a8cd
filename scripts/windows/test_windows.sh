#!/usr/bin/env bash
# The Windows side of CI in one bounded step: installs what is missing,
# builds the static wxMSW into the cache when it is not there yet,
# cross-builds Corvalin.exe and the test probe, and runs the Wine tests in a
# private X session.  Ends with "N passed, N failed"; non-zero on failure.
# Environment: CORVALIN_WIN_TIMEOUT  overall bound (default 45m)
set -uo pipefail
cd "$(dirname "$0")/../.."

if [ -z "${CORVALIN_WIN_BOUNDED:-}" ]; then
  CORVALIN_WIN_BOUNDED=1 timeout -k 30 "${CORVALIN_WIN_TIMEOUT:-45m}" "$0" "$@"
  status=$?
  [ $status = 124 ] && echo "test_windows: stopped after ${CORVALIN_WIN_TIMEOUT:-45m}" >&2 && echo "0 passed, 1 failed"
  exit $status
fi

started=$SECONDS
build_failed() { echo "test_windows: $*" >&2; echo "0 passed, 1 failed"; exit 1; }

scripts/install_deps.sh windows || build_failed "could not install the Windows tool chain"
exe=$(scripts/windows/build_windows.sh | tail -n1) || build_failed "the Windows build failed"
[ -f "$exe" ] || build_failed "no Corvalin.exe"
echo "test_windows: built $exe in $((SECONDS - started)) s"

# Only the system's own DLLs may be needed.
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "test_windows: Corvalin.exe imports:" $dlls
foreign=$(grep -vxE 'kernel32\.dll|user32\.dll|gdi32\.dll|comdlg32\.dll|winspool\.drv|comctl32\.dll|shell32\.dll|shlwapi\.dll|ole32\.dll|oleaut32\.dll|uuid\.dll|advapi32\.dll|version\.dll|ws2_32\.dll|wininet\.dll|winhttp\.dll|oleacc\.dll|uxtheme\.dll|msvcrt\.dll|rpcrt4\.dll|imm32\.dll|winmm\.dll|gdiplus\.dll|msimg32\.dll' <<<"$dlls" || true)
[ -z "$foreign" ] || build_failed "Corvalin.exe needs non-system DLLs: $foreign"

build=$(dirname "$exe")
x86_64-w64-mingw32-g++ -municode -O1 -Wall -Wextra -static -static-libgcc -static-libstdc++ \
  -o "$build/win_probe.exe" tests/windows/win_probe.cpp -lversion || build_failed "win_probe.exe did not build"

tests/x_session.sh tests/windows/wine_e2e.sh "$exe" "$build/win_probe.exe"
status=$?
# The installer and the DPI checks time nothing: side by side, each on its
# own display and in its own prefix, their output shown in turn.
tests/x_session.sh tests/windows/wine_installer.sh "$exe" "$build/win_probe.exe" >"$build/wine_installer.log" 2>&1 &
installer=$!
tests/x_session.sh tests/windows/wine_dpi.sh "$exe" "$build/win_probe.exe" >"$build/wine_dpi.log" 2>&1 || status=1
wait $installer || status=1
cat "$build/wine_installer.log" "$build/wine_dpi.log"
echo "test_windows: done in $((SECONDS - started)) s"
exit $status
