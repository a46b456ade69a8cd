#!/usr/bin/env bash
# Installs what is missing, builds, and starts Corvalin on $DISPLAY.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install_deps.sh build
scripts/build.sh
if [ -z "${DISPLAY:-}" ]; then
  echo "run.sh: no X display (DISPLAY is not set). Start Corvalin from a desktop session," >&2
  echo "        or try it headless with: xvfb-run -s '-screen 0 1280x1024x24' build/Corvalin" >&2
  exit 1
fi
exec build/Corvalin "$@"
