#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test. Windowed
# tests get a private Xvfb display, so no desktop is needed.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh test

# A private X server for the tests that open real windows.
for n in $(seq 90 130); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display
unset WAYLAND_DISPLAY

cmake --preset linux
cmake --build --preset linux
ctest --preset linux

# The same suite again, and the random input storms (label storm), in a Debug
# build under AddressSanitizer, UBSan and LeakSanitizer.
cmake --preset linux-asan
cmake --build --preset linux-asan
ctest --preset linux-asan

# Windows: cross-built with mingw-w64 into build/windows/quintarel.exe, every
# test run under Wine. The Wine prefix lives in build/windows and is made once,
# here, before any test's clock starts.
cmake --preset windows
cmake --build --preset windows
build/windows/wine-run.sh cmd /c exit
ctest --preset windows
