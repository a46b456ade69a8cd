#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under a private X
# session (Xvfb, openbox, trayer) that tests/x_session.sh starts and stops.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install_deps.sh test
scripts/build.sh
exec tests/x_session.sh ctest --test-dir build --output-on-failure --timeout 600
