#!/bin/sh
# Runs a Windows program under Wine for the build and its tests.
# usage: wine-run.sh PREFIX ARCH PROGRAM [ARGUMENT...]
#   PREFIX  the Wine prefix, created on first use (absolute path)
#   ARCH    win32 or win64, the prefix's architecture
# Headless whatever the caller's session: with no display a message box
# returns at once instead of waiting for a click. Wine's own messages stay
# quiet unless WINEDEBUG asks for them. The program's exit status is ours.
set -eu

prefix=$1
arch=$2
shift 2

unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX="$prefix" WINEARCH="$arch"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: their installers would ask for a download.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

ready="$prefix/.initialised"

# Creates the prefix once; concurrent first runs wait for the one that does
# it. A prefix left half-made by an interrupted run is made again.
initialise_prefix() {
  [ -f "$ready" ] && return 0
  rm -rf "$prefix"
  mkdir -p "$prefix"
  if ! WINEDEBUG=-all wineboot --init >"$prefix.log" 2>&1 || ! wineserver --wait; then
    echo "wine-run.sh: could not create the Wine prefix $prefix (see $prefix.log)" >&2
    return 1
  fi
  touch "$ready"
}

if [ ! -f "$ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  initialise_prefix
  flock -u 9
  exec 9>&-
fi

# Wine's server and its background programs (services, explorer) start with
# the first program of a session, keep that program's output streams open,
# and live on for a while after it ends; whoever reads this run's output
# would wait for them. Start the session here with no streams at all, and
# keep it for a few seconds, so that back-to-back runs share it.
wineserver --persistent=10 </dev/null >/dev/null 2>&1 || true
WINEDEBUG=-all wine cmd /c exit </dev/null >/dev/null 2>&1 || true

exec wine "$@"
