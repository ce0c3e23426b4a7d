#!/usr/bin/env bash
# Measures the game against floor programs (bare Qt and Win32 windows that paint
# one colour and repaint a patch on a click, tests/bench/) on a private Xvfb and
# prints a table: start-up, first frame, click -> repaint and peak RSS, for the
# Qt build and for the Win32 build under Wine; then the browser build against a
# floor page (tests/bench/floor.html) in headless Chromium, with its targets.
#   tools/bench.sh [--runs N] [--clicks N]      (defaults: 15 runs, 10 clicks each)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh test
cmake --preset linux >/dev/null
cmake --build --preset linux --target quintarel quintarel_floor quintarel_bench
cmake --preset windows >/dev/null
cmake --build --preset windows --target quintarel quintarel_floor quintarel_probe
cmake --preset web >/dev/null
cmake --build --preset web --target quintarel quintarel_site quintarel_least

# The floor opens in the same Wine desktop as the game (cmake/wine-run.sh sets
# up the prefix for the game and the probe).
wine_run=build/windows/wine-run.sh
$wine_run reg add 'HKCU\Software\Wine\AppDefaults\quintarel_floor.exe\Explorer' /v Desktop /d Quintarel /f \
  >/dev/null 2>&1
trap 'WINEPREFIX=$PWD/build/windows/wineprefix wineserver -k 2>/dev/null || true' EXIT

echo "Machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "Load before: $(cut -d' ' -f1-3 /proc/loadavg)"
build/linux/tests/bench/quintarel_bench "$@" build/linux/quintarel build/linux/tests/bench/quintarel_floor \
  "$wine_run" build/windows/quintarel.exe build/windows/tests/bench/quintarel_floor.exe \
  build/windows/quintarel_probe.exe
echo
# It exits 1 when a row is outside its target; the table is printed all the same.
web=0
/usr/bin/python3 tests/bench/web_bench.py build/web "$@" || web=$?
echo "Load after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $web
