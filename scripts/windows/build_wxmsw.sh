#!/usr/bin/env bash
# Builds a static, Unicode wxMSW 3.2 with MinGW-w64 from Debian's own
# wxwidgets3.2 source package and installs it into a cache folder outside the
# clone, keyed by source version and configure flags.  Does nothing when that
# folder is already complete.  The last line on stdout is the install prefix.
#
# Environment: CORVALIN_CACHE   cache root (default /var/cache/corvalin, or
#                               ~/.cache/corvalin when that is not writable)
#              WXMSW_JOBS       parallel make jobs (default: number of cores)
# The system's apt configuration is left alone: the source package is fetched
# through a private apt state folder that has deb-src entries.
set -euo pipefail

cache=${CORVALIN_CACHE:-/var/cache/corvalin}
if [ -z "${CORVALIN_CACHE:-}" ] && { ! mkdir -p "$cache" 2>/dev/null || [ ! -w "$cache" ]; }; then
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/corvalin
fi
jobs=${WXMSW_JOBS:-$(nproc)}
host=x86_64-w64-mingw32

flags=(
  --host=$host --with-msw --disable-shared --enable-unicode --with-zlib=sys
  --without-libpng --without-libjpeg --without-libtiff --without-expat
  --without-liblzma --without-libcurl --without-opengl
  --disable-html --disable-htmlhelp --disable-xrc --disable-richtext
  --disable-stc --disable-propgrid --disable-ribbon --disable-webview
  --disable-mediactrl --disable-webrequest --disable-tests --without-subdirs
  # The SVG writer needs libpng, which is off.
  --disable-svg
)

# The source version is the one the system's apt offers for the Linux build,
# so the key is known without going to the network.
version=$(dpkg-query -W -f '${source:Version}' libwxbase3.2-1 2>/dev/null || true)
if [ -z "$version" ]; then
  version=$(apt-cache policy libwxbase3.2-1 | sed -n 's/^ *Candidate: *//p')
fi
[ -n "$version" ] && [ "$version" != "(none)" ] || { echo "build_wxmsw: no wxwidgets3.2 version known to apt" >&2; exit 1; }

key=$(printf '%s\n' "$version" "${flags[@]}" "$($host-g++ -dumpversion 2>/dev/null)" | sha256sum | cut -c1-12)
prefix="$cache/wxmsw-${version//[^A-Za-z0-9.+-]/_}-$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

for tool in $host-g++ $host-windres dpkg-source; do
  command -v $tool >/dev/null || { echo "build_wxmsw: $tool is missing (scripts/install_deps.sh windows)" >&2; exit 1; }
done
[ -f /usr/$host/lib/libz.a ] || { echo "build_wxmsw: libz-mingw-w64-dev is missing" >&2; exit 1; }

mkdir -p "$cache"
work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
started=$(date +%s)

# Private apt state with the system's own mirrors, as deb-src.
apt_dir="$work/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"
{
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" && echo
  done
} >"$apt_dir/parts/src.sources"
{
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | sed -n 's/^deb \(.*\)/deb-src \1/p'
} >"$apt_dir/sources.list" || true
apt_opts=(
  -o Dir::State::Lists="$apt_dir/lists"
  -o Dir::Cache="$apt_dir/cache"
  -o Dir::Etc::SourceList="$apt_dir/sources.list"
  -o Dir::Etc::SourceParts="$apt_dir/parts"
  -o APT::Sandbox::User=root
  -o Debug::NoLocking=true
)
echo "build_wxmsw: fetching wxwidgets3.2 $version source" >&2
apt-get "${apt_opts[@]}" -q update >&2
(cd "$work" && apt-get "${apt_opts[@]}" -q source "wxwidgets3.2=$version" >&2)
src=$(find "$work" -maxdepth 1 -type d -name 'wxwidgets3.2-*' | head -n1)
[ -n "$src" ] || { echo "build_wxmsw: source not unpacked" >&2; exit 1; }

echo "build_wxmsw: configuring and building into $prefix ($jobs jobs)" >&2
mkdir -p "$work/build" "$work/dest"
(
  cd "$work/build"
  nice -n 10 "$src/configure" --prefix="$prefix" "${flags[@]}" >configure.log 2>&1 \
    || { tail -40 configure.log >&2; exit 1; }
  nice -n 10 make -j"$jobs" >make.log 2>&1 || { tail -60 make.log >&2; exit 1; }
  make install DESTDIR="$work/dest" >install.log 2>&1 || { tail -40 install.log >&2; exit 1; }
)
# Installed into a staging root first, so an interrupted build never looks complete.
staging="$work/dest$prefix"
printf 'version=%s\nflags=%s\nbuilt=%s\nseconds=%s\n' "$version" "${flags[*]}" "$(date -u +%FT%TZ)" \
  "$(( $(date +%s) - started ))" >"$staging/.complete"
rm -rf "$prefix"
mv "$staging" "$prefix"
echo "build_wxmsw: done in $(( $(date +%s) - started )) s" >&2
echo "$prefix"
