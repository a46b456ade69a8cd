#!/usr/bin/env bash
# The installed program.  Installs into a scratch root, never into the
# system: the .deb in CORVALIN_DEB is unpacked with dpkg-deb -x; without one,
# `cmake --install` of CORVALIN_BUILD_DIR (default: the folder of
# CORVALIN_BIN).  Checks the desktop entry, AppStream data, icons and man
# page as installed, then (as root only) runs the program as the unprivileged
# user nobody, whose settings must land in $XDG_CONFIG_HOME/Corvalin/ since
# the installed program folder is not theirs to write.
source "$(dirname "$0")/lib.sh"
APP_ID=example.pellowen.Corvalin
FRAME='^Corvalin : Keep Watch!$'

# The other user must be able to reach the installed files.
chmod 755 "$E2E_TMP"
root=$E2E_TMP/root
mkdir -m 755 "$root"
if [ -n "${CORVALIN_DEB:-}" ]; then
  dpkg-deb -x "$CORVALIN_DEB" "$root" || { fail "dpkg-deb -x $CORVALIN_DEB"; finish; }
  version=$(dpkg-deb -f "$CORVALIN_DEB" Version)
  check "package is named corvalin" [ "$(dpkg-deb -f "$CORVALIN_DEB" Package)" = corvalin ]
  check "package depends on the toolkit's libraries (shlibdeps ran)" \
    grep -q 'libwxgtk3\.2' <<<"$(dpkg-deb -f "$CORVALIN_DEB" Depends)"
else
  build=${CORVALIN_BUILD_DIR:-$(dirname "$CORVALIN_BIN")}
  if ! cmake --install "$build" --prefix "$root/usr" >"$E2E_TMP/install.log" 2>&1; then
    cat "$E2E_TMP/install.log" >&2
    fail "cmake --install $build"; finish
  fi
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
fi
usr=$root/usr
desktop=$usr/share/applications/$APP_ID.desktop
metainfo=$usr/share/metainfo/$APP_ID.metainfo.xml
manpage=$usr/share/man/man1/Corvalin.1.gz
check "the executable is installed in bin" [ -x "$usr/bin/Corvalin" ]
[ -f "$desktop" ] && [ -f "$metainfo" ] && [ -f "$manpage" ] \
  || { fail "desktop entry, metainfo or man page missing under $usr/share"; finish; }

# Validators: no errors and no warnings (hints and infos are fine).
out=$(desktop-file-validate "$desktop" 2>&1); status=$?
check "desktop-file-validate passes" [ $status = 0 ]
check "desktop-file-validate has no warnings" bash -c '! grep -Eq "(error|warning):" <<<"$1"' _ "$out"
[ -z "$out" ] || echo "$out"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1); status=$?
check "appstreamcli validate --no-net passes" [ $status = 0 ]
check "appstreamcli reports no warnings" bash -c '! grep -Eq "^[EW]:" <<<"$1"' _ "$out"

# The files agree with each other and with what was installed.
entry() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
check "desktop Exec runs the installed executable" [ -x "$usr/bin/$(entry Exec | cut -d' ' -f1)" ]
check "desktop Icon is the application id" [ "$(entry Icon)" = "$APP_ID" ]
check "metainfo launches the installed desktop entry" \
  grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo"
check "metainfo's newest release is the package version $version" \
  [ "$(grep -o '<release version="[^"]*"' "$metainfo" | head -n1 | cut -d'"' -f2)" = "$version" ]

# Icons: a PNG of the right size in each folder, and the scalable one.
png_size() {  # prints WxH from the IHDR of a PNG, nothing for another file
  local b
  [ "$(od -An -tx1 -N8 "$1" | tr -d ' \n')" = 89504e470d0a1a0a ] || return 1
  b=($(od -An -tu1 -j16 -N8 "$1"))
  echo "$(( (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3] ))x$(( (b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7] ))"
}
icons=$usr/share/icons/hicolor
for n in 16 32 48 64 128 256; do
  check "icon ${n}x$n is a ${n}x$n PNG" [ "$(png_size "$icons/${n}x$n/apps/$APP_ID.png")" = "${n}x$n" ]
done
check "scalable icon is an SVG" grep -q '<svg[^>]*viewBox=' "$icons/scalable/apps/$APP_ID.svg"

# The man page renders without a warning.
out=$(MANWIDTH=80 man --warnings -l "$manpage" 2>"$E2E_TMP/man.err")
check "man -l renders the installed page" grep -q '^NAME' <<<"$out"
check "... naming the program" grep -q 'Corvalin - log which window' <<<"$out"
check "... and documents the settings fallback" grep -q 'XDG_CONFIG_HOME' <<<"$out"
check "... without warnings" [ ! -s "$E2E_TMP/man.err" ]
[ -s "$E2E_TMP/man.err" ] && cat "$E2E_TMP/man.err" >&2

# An ordinary user runs the installed program.
if [ "$(id -u)" != 0 ]; then
  echo "skip: running the installed program as another user needs root"
  finish
fi
user=nobody
group=$(id -gn "$user" 2>/dev/null) || { echo "skip: no user $user"; finish; }
home=$E2E_TMP/home-$user
mkdir -m 700 -p "$home/runtime"
chown -R "$user:$group" "$home"
# A clean environment, since the test session's folders belong to root.
# exec: $! is then the program itself.
(exec setpriv --reuid="$user" --regid="$group" --clear-groups \
   env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" HOME="$home" \
   XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
   XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home/runtime" \
   NO_AT_BRIDGE=1 GTK_A11Y=none LANG="${LANG:-C.UTF-8}" \
   "$usr/bin/Corvalin") >"$E2E_TMP/user.log" 2>&1 &
pid=$!; E2E_PIDS+=("$pid")
frame=$(wait_window "$FRAME" 30) || { fail "no frame as user $user"; cat "$E2E_TMP/user.log" >&2; finish; }
check "the frame belongs to the program run as $user" [ "$(xdotool getwindowpid "$frame")" = "$pid" ]
check "it runs as $user" [ "$(stat -c %U "/proc/$pid")" = "$user" ]
activate "$frame"
press ctrl+m  # monitoring off, so the saved file differs from the defaults
quit_via_menu "$frame" || fail "no quit question"
if ! wait_exit "$pid" 15; then
  # A settings folder that cannot be written is reported in a box at exit.
  if [ -n "$(dialog_windows '^Corvalin')" ]; then
    fail "an error box was shown at exit (settings not saved?)"
    xdotool getwindowname "$(dialog_windows '^Corvalin' | head -n1)" >&2
    xdotool key --clearmodifiers Return
  fi
  wait_exit "$pid" 10
fi
check "quits with status 0" [ "$EXIT_STATUS" = 0 ]
cfg=$home/.config/Corvalin/Corvalin.cfg
check "settings saved in \$XDG_CONFIG_HOME/Corvalin/Corvalin.cfg" [ -f "$cfg" ]
check "... with monitoring saved as off" [ "$(cfg_value "$cfg" Options MonitorWindows 2>/dev/null)" = 0 ]
check "dock layout saved beside them" [ -f "$home/.config/Corvalin/perspective.layout" ]
finish
