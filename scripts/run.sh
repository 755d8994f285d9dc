#!/usr/bin/env bash
# Sets the machine up, builds, and performs one whole update on this
# machine: a demo installation with an old browser, the project's update
# server on loopback with a newer package signed by zuvo-pack with the demo
# key (build/demo-key/, made on the first run), and the updater doing the
# rest.
# With a display the window opens and you press its OK button; without one
# the updater runs unattended and this script reports what happened.
# --windows does the same with the Windows updater under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [[ ${1:-} == --windows ]]; then
    exec bash scripts/run-windows.sh
fi
bash scripts/build.sh release

demo=$PWD/build/demo
served=$PWD/build/demo-server
rm -rf "$demo" "$served"
mkdir -p "$demo" "$served"
python3 tools/demo/make_demo.py "$demo" "$served/files"
build/release/tools/pack/zuvo-pack --key build/demo-key/zuvo.sec --version 2.0 \
    "$served/files" "$served/Browser.zip"
cp build/release/src/app/zuvo-updater "$demo/"

echo "run: installed browser before the update: $("$demo/Browser.exe")"
rm -f "$demo/browser.log"

build/release/tools/update-server/zuvo-update-server \
    --bind 127.0.0.1 --port 10290 --package "$served/Browser.zip" &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
sleep 0.5

status=0
if [[ -n "${DISPLAY:-}" ]]; then
    echo "run: the updater opens; press its OK button when the download is complete"
    "$demo/zuvo-updater" || status=$?
else
    echo "run: no display; the updater runs offscreen and unattended"
    QT_QPA_PLATFORM=offscreen "$demo/zuvo-updater" --unattended || status=$?
fi

for _ in $(seq 50); do
    [[ -s "$demo/browser.log" ]] && break
    sleep 0.1
done
echo "run: updater exit status $status"
echo "run: installed browser after the update: $("$demo/Browser.exe" | head -n 1)"
if [[ -s "$demo/browser.log" ]]; then
    echo "run: the updater started the browser: $(head -n 1 "$demo/browser.log")"
else
    echo "run: the browser was not started"
    status=1
fi
echo "run: left in the update directory: $(cd "$demo/updateFile" && find . -type f | sort | tr '\n' ' ')"
exit "$status"
