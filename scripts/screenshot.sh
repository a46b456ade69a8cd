#!/usr/bin/env bash
# Takes docs/screenshot.png: Corvalin logging a few focus changes between
# real xterms on a private X session.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${CORVALIN_X_SESSION:-}" ]; then
  scripts/install_deps.sh test >/dev/null
  scripts/build.sh >/dev/null
  exec tests/x_session.sh "$0" "$@"
fi
source tests/e2e/lib.sh
dir=$(install_copy)
start_app "$dir"
frame=$(wait_window '^Corvalin : Keep Watch!$')
a=$(start_xterm "vim notes.txt")
b=$(start_xterm "Build - make -j2")
activate "$a"; activate "$b"; activate "$a"
activate "$frame"
sleep 0.5
mkdir -p docs
import -window "$frame" -frame docs/screenshot.png 2>/dev/null || import -window "$frame" docs/screenshot.png
echo "wrote docs/screenshot.png"
