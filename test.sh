#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test, two at a time, each
# in a private X session (Xvfb, openbox, trayer) of its own; then
# cross-builds Corvalin.exe and runs its tests under Wine.
# CORVALIN_SKIP_WINDOWS=1 leaves the Windows part out.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install_deps.sh test
scripts/build.sh
status=0
ctest --test-dir build -j2 --output-on-failure --timeout 600 || status=1
# The unit, GUI and X11 tests again, built with AddressSanitizer and UBSan.
scripts/sanitize.sh || status=1
# The same sources built for Windows with MinGW and tested under Wine.
if [ "${CORVALIN_SKIP_WINDOWS:-0}" != 1 ]; then
  scripts/windows/test_windows.sh || status=1
fi
exit $status
