#!/usr/bin/env bash
# Cross-builds Corvalin.exe for 64-bit Windows with MinGW-w64:
#   scripts/windows/build_windows.sh            -> build-mingw/Corvalin.exe
# and beside it Corvalin-<version>-setup.exe (NSIS, installer.nsi) and
# Corvalin-<version>-portable.zip (the exe and a read-me).
# Builds the static wxMSW first when the cache lacks it (build_wxmsw.sh).
# Environment: CORVALIN_WIN_BUILD  build folder (default build-mingw)
set -euo pipefail
cd "$(dirname "$0")/../.."
here=$(pwd)
build=${CORVALIN_WIN_BUILD:-build-mingw}

wx_prefix=$(scripts/windows/build_wxmsw.sh | tail -n1)

# Linux's Boost and nlohmann/json headers serve MinGW too, but /usr/include
# itself must not be on the cross compiler's path (it would shadow the MinGW
# C headers), so the build sees only folders that link to boost/ and nlohmann/.
mkdir -p "$build/boost-include" "$build/json-include"
ln -sfn /usr/include/boost "$build/boost-include/boost"
ln -sfn /usr/include/nlohmann "$build/json-include/nlohmann"

cmake -S . -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$here/scripts/windows/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DWXMSW_PREFIX="$wx_prefix" \
  -DBoost_INCLUDE_DIR="$here/$build/boost-include" \
  -DNLOHMANN_JSON_INCLUDE_DIR="$here/$build/json-include" \
  -DCORVALIN_TESTS=OFF >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
# Progress goes to stderr: stdout carries only the path of the result.
nice -n 10 cmake --build "$build" --target Corvalin -j"${CORVALIN_JOBS:-$(nproc)}" >&2
x86_64-w64-mingw32-strip "$build/Corvalin.exe"

# The version is the one CMake configured from project(), not a copy of it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "build_windows: no project version in $build/CMakeCache.txt" >&2; exit 1; }
if command -v makensis >/dev/null; then
  nice -n 10 makensis -V2 -DVERSION="$version" -DEXE="$here/$build/Corvalin.exe" -DICON="$here/$build/icons/main.ico" \
    -DOUTFILE="$here/$build/Corvalin-$version-setup.exe" "$here/scripts/windows/installer.nsi" >&2
else
  echo "build_windows: makensis is missing (Debian package nsis): no installer" >&2
fi
stage=$(mktemp -d)
cp "$build/Corvalin.exe" "$stage/"
sed 's/$/\r/' scripts/windows/portable-README.txt >"$stage/README.txt"
rm -f "$build/Corvalin-$version-portable.zip"
(cd "$stage" && cmake -E tar cf "$here/$build/Corvalin-$version-portable.zip" --format=zip Corvalin.exe README.txt)
rm -rf "$stage"
echo "$here/$build/Corvalin.exe"
