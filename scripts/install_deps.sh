#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Corvalin.
# Usage: scripts/install_deps.sh [build|test|windows|package|bench]
#   windows: the MinGW cross-build of Corvalin.exe and its tests under Wine.
#   package: the Debian package (cpack -G DEB) and its check with lintian.
#   bench: what test needs, and what bench/ needs beyond it (python3-gi for
#          the D-Bus client of compare_desktops.sh).
set -euo pipefail
what=${1:-test}
build_pkgs=(cmake g++ make pkg-config libwxgtk3.2-dev libgtk-3-dev libboost-dev libx11-dev libxres-dev libxss-dev libxi-dev
            libwayland-dev libwayland-bin libglib2.0-bin wayland-protocols plasma-wayland-protocols librsvg2-bin nlohmann-json3-dev zlib1g-dev
            libsystemd-dev libpcre2-dev)
test_pkgs=(libgtest-dev xvfb openbox xdotool wmctrl x11-utils x11-xserver-utils xterm xclip trayer imagemagick valgrind gdb
           sway xwayland foot zenity weston kwin-wayland wtype wayland-protocols
           gnome-shell libglib2.0-bin dbus systemd systemd-journal-remote
           strace python3 desktop-file-utils appstream man-db)
package_pkgs=(dpkg-dev lintian)
bench_pkgs=(python3-gi gir1.2-glib-2.0)
windows_pkgs=(cmake make g++-mingw-w64-x86-64 libz-mingw-w64-dev libboost-dev nlohmann-json3-dev dpkg-dev xz-utils nsis
              wine wine64 xvfb openbox trayer xdotool x11-utils librsvg2-bin icoutils)
case "$what" in
  build) pkgs=("${build_pkgs[@]}") ;;
  test) pkgs=("${build_pkgs[@]}" "${test_pkgs[@]}") ;;
  windows) pkgs=("${windows_pkgs[@]}") ;;
  package) pkgs=("${build_pkgs[@]}" "${package_pkgs[@]}") ;;
  bench) pkgs=("${build_pkgs[@]}" "${test_pkgs[@]}" "${bench_pkgs[@]}") ;;
  *) echo "usage: $0 [build|test|windows|package|bench]" >&2; exit 2 ;;
esac

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
