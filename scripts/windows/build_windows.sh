#!/usr/bin/env bash
# Cross-builds Corvalin.exe for 64-bit Windows with MinGW-w64:
#   scripts/windows/build_windows.sh            -> build-mingw/Corvalin.exe
# Builds the static wxMSW first when the cache lacks it (build_wxmsw.sh).
# Environment: CORVALIN_WIN_BUILD  build folder (default build-mingw)
set -euo pipefail
cd "$(dirname "$0")/../.."
here=$(pwd)
build=${CORVALIN_WIN_BUILD:-build-mingw}

wx_prefix=$(scripts/windows/build_wxmsw.sh | tail -n1)

# Linux's Boost headers serve MinGW too, but /usr/include itself must not be
# on the cross compiler's path (it would shadow the MinGW C headers), so the
# build sees only a folder that links to boost/.
mkdir -p "$build/boost-include"
ln -sfn /usr/include/boost "$build/boost-include/boost"

cmake -S . -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$here/scripts/windows/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DWXMSW_PREFIX="$wx_prefix" \
  -DBoost_INCLUDE_DIR="$here/$build/boost-include" \
  -DCORVALIN_TESTS=OFF >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
# Progress goes to stderr: stdout carries only the path of the result.
nice -n 10 cmake --build "$build" --target Corvalin -j"${CORVALIN_JOBS:-$(nproc)}" >&2
x86_64-w64-mingw32-strip "$build/Corvalin.exe"
echo "$here/$build/Corvalin.exe"
