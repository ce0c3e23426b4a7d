#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh play
cmake --preset linux
cmake --build --preset linux
if [ -x build/linux/quintarel ]; then
  exec build/linux/quintarel
fi
echo "Built the core and its tests. The game's window comes with the Linux (Qt 6) backend, which is not built yet."
