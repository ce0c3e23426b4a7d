#!/usr/bin/env bash
# Runs a program of the web build, its .js, under Node.js. CTest uses it as the
# cross-compiling emulator.
set -euo pipefail
# Emscripten 3.1.6's loader reads the .wasm with fetch() wherever there is one,
# and Node.js 18 and later have one that cannot read a file.
exec node --no-experimental-fetch "$@"
