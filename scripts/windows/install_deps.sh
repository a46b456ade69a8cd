#!/usr/bin/env bash
# Installs the Debian packages that the Windows cross-build and its Wine
# tests need (beside those of scripts/install_deps.sh).
set -euo pipefail
pkgs=(
  cmake make g++-mingw-w64-x86-64 libz-mingw-w64-dev libboost-dev dpkg-dev xz-utils
  wine64 xvfb openbox trayer xdotool x11-utils
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
