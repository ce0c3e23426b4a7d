#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test. Windowed
# tests get a private Xvfb display, so no desktop is needed.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh test

# A private X server for the tests that open real windows.
source tools/xvfb.sh

cmake --preset linux
cmake --build --preset linux
ctest --preset linux

# The same suite again, and the random input storms (label storm), in a Debug
# build under AddressSanitizer, UBSan and LeakSanitizer.
cmake --preset linux-asan
cmake --build --preset linux-asan
ctest --preset linux-asan

# The core suite again, built with Emscripten into WebAssembly and run under
# Node.js (label web), as the browser build will run it.
cmake --preset web
cmake --build --preset web
ctest --preset web

# Windows: cross-built with mingw-w64 into build/windows/quintarel.exe, every
# test run under Wine. The Wine prefix lives in build/windows and is made once,
# here, before any test's clock starts.
cmake --preset windows
cmake --build --preset windows
build/windows/wine-run.sh cmd /c exit
ctest --preset windows
