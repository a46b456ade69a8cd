#!/usr/bin/env bash
# Corvalin's Wayland backend on KWin and on GNOME Shell beside each
# compositor's own report of every switch, each in its private headless
# session (the tests' session scripts).  Prints one table per desktop; not a
# test.  Needs /usr/bin/python3 with python3-gi (scripts/install_deps.sh bench).
# Usage: bench/compare_desktops.sh [--kwin|--gnome] [CORVALIN_EXECUTABLE]
#   (default: both desktops, build/Corvalin)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)

if [ -n "${CORVALIN_BENCH_DESKTOP:-}" ]; then
  # Inside the session.
  exe=$1
  work=$(mktemp -d /tmp/corvalin-compare-desk.XXXXXX)
  pids=()
  cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    rm -rf "$work"
  }
  trap cleanup EXIT
  cp "$exe" "$work/Corvalin"
  printf '[Options]\nRecordFile=focus.jsonl\nShowIconInSystray=0\n' >"$work/Corvalin.cfg"
  "$work/Corvalin" >"$work/corvalin.log" 2>&1 & pids+=($!)
  for _ in $(seq 100); do [ -s "$work/focus.jsonl" ] && break; sleep 0.1; done
  titles=()
  for n in 1 2 3 4; do
    GDK_BACKEND=wayland zenity --info --title "bench $n" --text "bench $n" >/dev/null 2>&1 & pids+=($!)
    titles+=("bench $n")
  done
  case $CORVALIN_BENCH_DESKTOP in
    # The session's plain copy: the installed binary's file capability may
    # keep it from running at all here.
    kwin) label="KWin $("$CORVALIN_KWIN_SESSION/kwin_wayland" --version 2>/dev/null | grep -o '[0-9][0-9.]*' | head -n1)" ;;
    gnome) label="GNOME Shell $(gnome-shell --version 2>/dev/null | grep -o '[0-9][0-9.]*' | head -n1)" ;;
  esac
  /usr/bin/python3 "$here/desktop_compare.py" "$CORVALIN_BENCH_DESKTOP" "$label" \
    "$work/focus.jsonl" "${titles[@]}"
  status=$?
  [ $status = 0 ] || { echo "Corvalin's output:"; tail -n 20 "$work/corvalin.log"; }
  exit $status
fi

desktops=(kwin gnome)
case ${1:-} in
  --kwin) desktops=(kwin); shift ;;
  --gnome) desktops=(gnome); shift ;;
esac
exe=${1:-$repo/build/Corvalin}
case $exe in /*) ;; *) exe=$PWD/$exe ;; esac
/usr/bin/python3 -c 'import gi' 2>/dev/null ||
  { echo "compare_desktops: needs python3-gi (scripts/install_deps.sh bench)" >&2; exit 1; }
status=0
for desktop in "${desktops[@]}"; do
  case $desktop in
    kwin)
      CORVALIN_BENCH_DESKTOP=kwin "$repo/tests/wayland/kwin_session.sh" "$here/compare_desktops.sh" "$exe" ||
        status=1 ;;
    gnome)
      # The shell's extension API changed at 45; the Eval extension is the
      # tests' own, which lets the bench move the focus as a click would.
      major=$(gnome-shell --version 2>/dev/null | grep -o '[0-9]*' | head -n1)
      variant=45; [ "${major:-45}" -lt 45 ] && variant=43
      CORVALIN_BENCH_DESKTOP=gnome bash "$repo/tests/wayland/gnome_session.sh" \
        --extension "$(dirname "$exe")/gnome-shell/$variant/corvalin@pellowen.example" \
        --extension "$repo/tests/wayland/eval@corvalin.test" "$here/compare_desktops.sh" "$exe" ||
        status=1 ;;
  esac
  echo
done
exit $status
