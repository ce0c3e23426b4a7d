#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh play
cmake --preset linux
cmake --build --preset linux
exec build/linux/quintarel
