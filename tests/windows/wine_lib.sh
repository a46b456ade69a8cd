# What the Wine test scripts share, sourced first by each:
#   source "$(dirname "$0")/wine_lib.sh" NAME "$@"    (CORVALIN_EXE WIN_PROBE_EXE)
# The checks and clean-up of tests/e2e/lib.sh, a private 64-bit prefix in the
# test's temporary folder (TMP) whose processes, and only those, end with the
# test, and win_probe.exe as `probe`.  PIDS lists what the test starts.
wine_test_name=$1; shift
[ $# -eq 2 ] || { echo "usage: $wine_test_name CORVALIN_EXE WIN_PROBE_EXE" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "$wine_test_name: run me inside tests/x_session.sh" >&2; exit 2; }

source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
TMP=$E2E_TMP
PIDS=()
export WINEPREFIX="$TMP/prefix" WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer prompts in a fresh prefix, and no menu entries
# on this machine for the shortcuts an installer makes.
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"

e2e_before_cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
}

cp "$2" "$TMP/win_probe.exe"
probe() { wine "$TMP/win_probe.exe" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
