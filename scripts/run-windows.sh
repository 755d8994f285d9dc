#!/usr/bin/env bash
# The whole update with the Windows updater under Wine: a demo installation
# whose browser is a real Windows program (zuvo-demo-browser.exe, version
# 1.0), the project's Linux update server on loopback with a newer package
# signed by zuvo-pack with the demo key, and zuvo-updater.exe doing the
# rest. Called by `scripts/run.sh --windows`, after the set-up.
# With a display the window opens and you press its OK button; without one
# the updater runs unattended on a private Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh release
bash scripts/build-windows.sh
source scripts/wine-session.sh

demo=$PWD/build/demo-windows
served=$PWD/build/demo-windows-server
rm -rf "$demo" "$served"
mkdir -p "$demo" "$served"
python3 tools/demo/make_demo.py --windows-browser build/windows/tools/demo/zuvo-demo-browser.exe \
    "$demo" "$served/files"
build/release/tools/pack/zuvo-pack --key build/demo-key/zuvo.sec --version 2.0 \
    "$served/files" "$served/Browser.zip"
cp build/windows/src/app/zuvo-updater.exe "$demo/"

server=
stop_all() {
    [[ -n $server ]] && { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }
    wine_session_stop
}
trap stop_all EXIT
wine_session_start "$PWD/build/windows-run-prefix"

browser_says() { "$wine" "$demo/Browser.exe" </dev/null 2>/dev/null | tr -d '\r' | head -n 1; }
echo "run: installed browser before the update: $(browser_says)"
rm -f "$demo/browser.log"

build/release/tools/update-server/zuvo-update-server \
    --bind 127.0.0.1 --port 10290 --package "$served/Browser.zip" &
server=$!
sleep 0.5

status=0
if [[ -n "${DISPLAY:-}" ]]; then
    echo "run: zuvo-updater.exe opens under Wine; press its OK button when the download is complete"
    "$wine" "$demo/zuvo-updater.exe" </dev/null || status=$?
else
    display_start
    echo "run: no display; zuvo-updater.exe runs unattended on the private display $DISPLAY"
    "$wine" "$demo/zuvo-updater.exe" --unattended </dev/null || status=$?
fi

for _ in $(seq 100); do
    [[ -s "$demo/browser.log" ]] && break
    sleep 0.1
done
echo "run: updater exit status $status"
echo "run: installed browser after the update: $(browser_says)"
if [[ -s "$demo/browser.log" ]]; then
    echo "run: the updater started the browser: $(head -n 1 "$demo/browser.log")"
else
    echo "run: the browser was not started"
    status=1
fi
echo "run: left in the update directory: $(cd "$demo/updateFile" && find . -type f | sort | tr '\n' ' ')"
exit "$status"
