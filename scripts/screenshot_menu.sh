#!/usr/bin/env bash
# Takes docs/menu-entry.png: the installed desktop entry, with its icon, as an
# application launcher (rofi's application menu) lists it.  Installs into a
# scratch prefix (on PATH, for the entry's TryExec); needs rofi
# (apt install rofi), which nothing else needs.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${CORVALIN_X_SESSION:-}" ]; then
  scripts/build.sh >/dev/null
  exec tests/x_session.sh "$0" "$@"
fi
prefix=$(mktemp -d /tmp/corvalin-menu.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$prefix"' EXIT
cmake --install build --prefix "$prefix" >/dev/null
gtk-update-icon-cache -q -t -f "$prefix/share/icons/hicolor" 2>/dev/null || true
PATH="$prefix/bin:$PATH" XDG_DATA_DIRS="$prefix/share:/usr/share" rofi -show drun -show-icons -icon-theme hicolor -filter Corv -theme-str \
  'window { width: 420px; } listview { lines: 3; }' &
for _ in $(seq 50); do
  id=$(xdotool search --onlyvisible --class rofi 2>/dev/null | head -n1) && [ -n "$id" ] && break
  sleep 0.1
done
sleep 1
mkdir -p docs
import -window "$id" docs/menu-entry.png
echo "wrote docs/menu-entry.png"
