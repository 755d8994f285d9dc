#!/usr/bin/env bash
# Pictures of the real Windows updater (zuvo-updater.exe under Wine) for the
# README, taken under a private Xvfb with the openbox window manager,
# against the project's Linux update server on loopback port 10290 (which
# must be free).
#   tools/render-window/render-window-windows.sh [LINUX_BUILD] [WINDOWS_BUILD] [OUT_DIR]
# LINUX_BUILD (the server, zuvo-pack and the render-window backdrop and
# grabber) defaults to build/release,
# WINDOWS_BUILD to build/windows, OUT_DIR to docs/. Writes
# windows-window-waiting, windows-window-ready and windows-window-no-server
# .png. Wine is not Windows: these show what Wine makes of the window.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
linux=${1:-$root/build/release}
windows=${2:-$root/build/windows}
out=${3:-$root/docs}
port=10290
ninja -C "$linux" zuvo-update-server zuvo-pack render-window >/dev/null
ninja -C "$windows" zuvo-updater >/dev/null
updater=$windows/src/app/zuvo-updater.exe
server=$linux/tools/update-server/zuvo-update-server
render=$linux/tools/render-window/render-window
for tool in Xvfb openbox xdotool xprop python3; do
    command -v "$tool" >/dev/null || { echo "render-window-windows: $tool is missing (scripts/setup.sh)" >&2; exit 1; }
done
source "$root/scripts/wine-session.sh"

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    wine_session_stop
    rm -rf "$work"
}
trap cleanup EXIT
start() {
    "$@" &
    pids+=($!)
    last=$!
}
end() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
wait_for() {  # seconds, command...
    local tries=$(($1 * 10))
    shift
    until "$@" >/dev/null 2>&1; do
        ((--tries > 0)) || return 1
        sleep 0.1
    done
}

make_package() {
    python3 "$root/tools/demo/make_demo.py" "$work/served" "$work/package" >/dev/null
    "$linux/tools/pack/zuvo-pack" --key "$root/build/demo-key/zuvo.sec" --version 2.0 \
        "$work/package" "$work/Browser.zip" >/dev/null
}
make_installation() {
    rm -rf "$work/program"
    python3 "$root/tools/demo/make_demo.py" "$work/program" "$work/unused" >/dev/null
    cp "$updater" "$work/program/"
}

start Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display"
wait_for 10 test -s "$work/display"
export DISPLAY=:$(head -n 1 "$work/display") QT_QPA_PLATFORM=xcb
start openbox --sm-disable
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
start env QT_LOGGING_RULES='*=false' "$render" backdrop
sleep 0.5
wine_session_start "$work/prefix"
mkdir -p "$out"
make_package

run_updater() {
    make_installation
    start "$wine" "$work/program/zuvo-updater.exe"
    updater_pid=$last
    wait_for 20 xdotool search --onlyvisible --name '^zuvo更新$'
}
# The middle of the screen, where the window is centred, as the Linux
# pictures are taken.
shot() {
    sleep 0.5  # the last repaints
    "$render" grab "$out/windows-window-$1.png"
    echo "$out/windows-window-$1.png"
}

start "$server" --bind 127.0.0.1 --port "$port" --package "$work/Browser.zip"
server_pid=$last
sleep 0.3
run_updater
shot waiting
wait_for 20 cmp -s "$work/Browser.zip" "$work/program/updateFile/Browser.zip"
sleep 1  # the pause after the transfer's end
shot ready
end "$updater_pid"
end "$server_pid"

# No server at all: the first of the two boxes of that road.
run_updater
wait_for 20 xdotool search --onlyvisible --name '^zuvo$'
shot no-server
end "$updater_pid"
