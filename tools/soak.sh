#!/usr/bin/env bash
# Long random input storms, not run by CI:
#   tools/soak.sh [EVENTS] [GAMES]
# Runs each storm of the test suite with EVENTS events (default 20000): the Qt
# game under the sanitizers on a bare X server and under openbox, and the exe
# under Wine; then GAMES whole games in a row (default 200) of the Qt game.
# Prints, for each, the events, games, exits by kind, findings and the RSS of
# the first and the last game; exits 1 when there was any finding.
# QUINTAREL_STORM_SEED repeats a soak.
set -euo pipefail
cd "$(dirname "$0")/.."
events=${1:-20000}
games=${2:-200}

tools/deps.sh test
cmake --preset linux-asan >/dev/null
cmake --build --preset linux-asan
cmake --preset windows >/dev/null
cmake --build --preset windows
build/windows/wine-run.sh cmd /c exit

# The Wine storm's display; the Qt storms start their own.
source tools/xvfb.sh

# The sanitizers' options of the linux-asan test preset, which ctest would set.
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export QUINTAREL_STORM_EVENTS=$events QUINTAREL_SOAK_GAMES=$games

log=$(mktemp /tmp/quintarel-soak-XXXXXX)
status=0
build/linux-asan/tests/qt/qt_storm_tests --gtest_filter='Storm.*:Soak.*' 2>&1 | tee -a "$log" || status=1
QUINTAREL_EXE=$PWD/build/windows/quintarel.exe QUINTAREL_PROBE=$PWD/build/windows/quintarel_probe.exe \
  QUINTAREL_WINE=$PWD/build/windows/wine-run.sh QUINTAREL_ICON_TXT=$PWD/src/app/icon.txt \
  python3 tests/win32/storm_test.py 2>&1 | tee -a "$log" || status=1

echo
echo "Soak of $events events a storm and $games games in a row:"
grep -E '^(bare X storm|openbox storm|Wine storm|games in a row), seed [0-9]+: ' "$log" || true
grep -E '^FINDING: ' "$log" || true
echo "Full log: $log"
exit $status
