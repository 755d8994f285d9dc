#!/usr/bin/env bash
# Sets the machine up, builds, and performs one whole update on this
# machine: a demo installation with an old browser, the project's update
# server on loopback with a newer package signed by zuvo-pack with the demo
# key (build/demo-key/, made on the first run), and the updater doing the
# rest.
# With a display the window opens and you press its OK button; without one
# the updater runs unattended and this script reports what happened.
# --windows does the same with zuvo-updater.exe under Wine: the browser is
# then a real Windows program (zuvo-demo-browser.exe), and without a display
# the updater runs unattended on a private Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
windows=false
if [[ ${1:-} == --windows ]]; then
    windows=true
fi
bash scripts/setup.sh
bash scripts/build.sh release

demo=$PWD/build/demo
served=$PWD/build/demo-server
browser_maker=()
if $windows; then
    bash scripts/build-windows.sh
    source scripts/wine-session.sh
    demo=$PWD/build/demo-windows
    served=$PWD/build/demo-windows-server
    browser_maker=(--windows-browser build/windows/tools/demo/zuvo-demo-browser.exe)
fi
rm -rf "$demo" "$served"
mkdir -p "$demo" "$served"
python3 tools/demo/make_demo.py "${browser_maker[@]}" "$demo" "$served/files"
build/release/tools/pack/zuvo-pack --key build/demo-key/zuvo.sec --version 2.0 \
    "$served/files" "$served/Browser.zip"

server=
stop_all() {
    if [[ -n $server ]]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    if $windows; then
        wine_session_stop
    fi
}
trap stop_all EXIT

if $windows; then
    cp build/windows/ship/zuvo-updater.exe "$demo/"
    wine_session_start "$PWD/build/windows-run-prefix"
    browser_says() { "$wine" "$demo/Browser.exe" </dev/null 2>/dev/null | tr -d '\r' | head -n 1; }
else
    cp build/release/src/app/zuvo-updater "$demo/"
    browser_says() { "$demo/Browser.exe" | head -n 1; }
fi
echo "run: installed browser before the update: $(browser_says)"
rm -f "$demo/browser.log"

build/release/tools/update-server/zuvo-update-server \
    --bind 127.0.0.1 --port 10290 --package "$served/Browser.zip" &
server=$!
sleep 0.5

status=0
if [[ -n "${DISPLAY:-}" ]]; then
    echo "run: the updater opens; press its OK button when the download is complete"
    if $windows; then
        "$wine" "$demo/zuvo-updater.exe" </dev/null || status=$?
    else
        "$demo/zuvo-updater" || status=$?
    fi
elif $windows; then
    display_start
    echo "run: no display; zuvo-updater.exe runs unattended on the private display $DISPLAY"
    "$wine" "$demo/zuvo-updater.exe" --unattended </dev/null || status=$?
else
    echo "run: no display; the updater runs offscreen and unattended"
    QT_QPA_PLATFORM=offscreen "$demo/zuvo-updater" --unattended || status=$?
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
