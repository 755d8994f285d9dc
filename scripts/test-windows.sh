#!/usr/bin/env bash
# Builds the Windows programs and runs their tests under Wine, in a Wine
# prefix of its own under build/. The window tests need a display: a
# private Xvfb on a free display number. The Wine server and the X server
# are ended on every way out, so nothing is left running.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-windows.sh

wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

export WINEPREFIX=$PWD/build/windows-prefix
export WINEDEBUG=-all
# No desktop integration, no Mono or Gecko installers: the tests need none.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

xvfb_pid=
cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display itself and writes its number to fd 3.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s $display_file ]] && break
    sleep 0.1
done
if [[ ! -s $display_file ]]; then
    echo "test-windows: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$display_file")"
rm -f "$display_file"

# One Wine server for the whole run, kept alive between the test programs
# (-p) instead of being started anew for each. Started here, outside
# ctest, it does not inherit ctest's output pipe, which would keep ctest
# waiting for it to close. The first Wine program makes the prefix the
# first time.
echo "== Windows tests under Wine (prefix $WINEPREFIX)"
mkdir -p "$WINEPREFIX"  # the server refuses a prefix folder that is not there
"$wineserver" -p >/dev/null 2>&1 </dev/null
"$wine" cmd /c exit >/dev/null 2>&1 </dev/null
# The window's face, 宋体 (SimSun), shows CJK text as boxes unless it is
# mapped to an installed CJK font.
for face in SimSun 宋体; do
    "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
        /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1 </dev/null || true
done

# The first window of the session starts Wine's desktop process, which then
# lives as long as the Wine server: started from inside ctest it would hold
# ctest's output pipe like the server would. One window test opens it here.
"$wine" build/windows/tests/skin/skin_win32_tests.exe --gtest_filter='FormShapeForm.*' \
    >/dev/null 2>&1 </dev/null || true

ctest --test-dir build/windows --output-on-failure -j2 --timeout 120
