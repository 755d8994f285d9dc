#!/usr/bin/env bash
# Builds the Windows programs and runs their tests under Wine, in a Wine
# prefix of its own under build/. The window tests need a display: a
# private Xvfb on a free display number. The Wine server and the X server
# are ended on every way out, so nothing is left running.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-windows.sh

source scripts/wine-session.sh
trap wine_session_stop EXIT
trap 'exit 130' INT TERM

echo "== Windows tests under Wine (prefix $PWD/build/windows-prefix)"
wine_session_start "$PWD/build/windows-prefix"
display_start

# The first window of the session starts Wine's desktop process, which then
# lives as long as the Wine server: started from inside ctest it would hold
# ctest's output pipe like the server would. One window test opens it here.
"$wine" build/windows/tests/skin/skin_win32_tests.exe --gtest_filter='FormShapeForm.*' \
    >/dev/null 2>&1 </dev/null || true

# A test program that fails is run once more: Wine was seen to fail a
# program's start now and then (failed in 0.02 s without a line of output,
# passed on the next run). A fault that does not come and go fails both
# times.
ctest --test-dir build/windows --output-on-failure -j2 --timeout 120 --repeat until-pass:2
