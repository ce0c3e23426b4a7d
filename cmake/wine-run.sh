#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in a Wine prefix of its own
# inside the build tree (created on first use), quietly. CTest uses it as the
# cross-compiling emulator.
set -euo pipefail
build_dir=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$build_dir/wineprefix"
# QUINTAREL_WINEDEBUG: Wine debug channels for a test that reads them.
export WINEDEBUG=${QUINTAREL_WINEDEBUG:--all}
# No Linux menu entries (winemenubuilder) for the shortcuts an installer makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
ready="$WINEPREFIX/.quintarel-ready"
if [ ! -f "$ready" ]; then
  exec 9>"$build_dir/wineprefix.lock"
  flock 9
  if [ ! -f "$ready" ]; then
    wineboot -i >/dev/null 2>&1
    # The game and the tests' probe open in a Wine desktop of their own: Wine
    # then draws the window frames itself, with a close box to click, and the
    # screen is the same size on every X server.
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Quintarel /d 1280x1024 /f >/dev/null 2>&1
    for program in quintarel.exe quintarel_probe.exe; do
      wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$program\\Explorer" /v Desktop /d Quintarel /f >/dev/null 2>&1
    done
    wineserver -w
    touch "$ready"
  fi
  flock -u 9
fi
exec wine "$@" 2> >(grep --line-buffered -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2)
