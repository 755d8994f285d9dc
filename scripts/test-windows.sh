#!/usr/bin/env bash
# Builds the Windows programs and runs their tests under Wine, in a Wine
# prefix of its own under build/. The Wine server is ended on every way
# out, so nothing is left running and holding the prefix.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-windows.sh

wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

export WINEPREFIX=$PWD/build/windows-prefix
export WINEDEBUG=-all
# No desktop integration, no Mono or Gecko installers: the tests need none.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

# One Wine server for the whole run, kept alive between the test programs
# (-p) instead of being started anew for each. Started here, outside
# ctest, it does not inherit ctest's output pipe, which would keep ctest
# waiting for it to close. The first Wine program makes the prefix the
# first time.
echo "== Windows tests under Wine (prefix $WINEPREFIX)"
mkdir -p "$WINEPREFIX"  # the server refuses a prefix folder that is not there
"$wineserver" -p >/dev/null 2>&1 </dev/null
"$wine" cmd /c exit >/dev/null 2>&1 </dev/null

ctest --test-dir build/windows --output-on-failure -j2 --timeout 120
