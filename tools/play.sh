#!/usr/bin/env bash
# Installs what is missing, builds the game alone (preset play: no tests, and
# compiler warnings do not stop the build) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh play
cmake --preset play
cmake --build --preset play
exec build/play/quintarel
