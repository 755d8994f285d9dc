#!/usr/bin/env bash
# Sets the machine up, builds the updater and runs it in a demo program
# directory (build/demo) with its configuration file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh release

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp build/release/src/app/zuvo-updater "$demo/"
printf '[OprationInfo]\r\nRefreshInterval=10\r\n' > "$demo/config.ini"

if [[ -n "${DISPLAY:-}" ]]; then
    echo "run: starting the updater in $demo"
    "$demo/zuvo-updater"
else
    echo "run: no display; running the updater offscreen for 5 seconds"
    status=0
    QT_QPA_PLATFORM=offscreen timeout 5 "$demo/zuvo-updater" || status=$?
    if [[ $status -eq 124 ]]; then
        echo "run: the updater was still running after 5 seconds and was ended"
    else
        echo "run: the updater ended by itself with status $status"
    fi
fi
