#!/usr/bin/env bash
# Makes the README's screenshots (docs/*.png) from the real program: builds the
# linux preset, plays a game by clicks on a private Xvfb and saves both windows.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh test
cmake --preset linux >/dev/null
cmake --build --preset linux --target qt_screenshots
mkdir -p docs
build/linux/tests/qt/qt_screenshots docs
rm -f docs/evaluation-window-alone.png
echo "Wrote docs/main-window.png and docs/evaluation-window.png"
