#!/usr/bin/env bash
# Pictures of the real updater for the README, taken under a private Xvfb
# with the openbox window manager, against real servers on loopback port
# 10290 (which must be free): the project's update server for the normal
# road, tools/render-window/fault_server.py for a transfer held half-way and
# for one broken by a reset, and none at all for the no-server box.
#   tools/render-window/render-window.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/release, OUT_DIR to docs/. Writes window-waiting,
# window-downloading, window-ready, window-failed-box (the failure box over
# the window), window-failed (after it) and window-no-server .png.
# The package and the installation come from tools/demo/make_demo.py; a
# change in what the updater expects of them is made in make_installation
# and make_package below.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
out=${2:-$root/docs}
port=10290
ninja -C "$build" zuvo-updater zuvo-update-server zuvo-pack render-window >/dev/null
updater=$build/src/app/zuvo-updater
server=$build/tools/update-server/zuvo-update-server
render=$build/tools/render-window/render-window
faults=$root/tools/render-window/fault_server.py
for tool in Xvfb openbox xdotool xprop python3; do
    command -v "$tool" >/dev/null || { echo "render-window: $tool is missing (scripts/setup.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
# Starts a program in the background and remembers it for the clean-up.
start() {
    "$@" &
    pids+=($!)
    last=$!
}
# Ends one program started above.
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

# The package is signed with the demo key, which the build must trust.
make_package() {
    python3 "$root/tools/demo/make_demo.py" "$work/served" "$work/package" >/dev/null
    "$build/tools/pack/zuvo-pack" --key "$root/build/demo-key/zuvo.sec" --version 2.0 \
        "$work/package" "$work/Browser.zip" >/dev/null
}
make_installation() {
    rm -rf "$work/program"
    python3 "$root/tools/demo/make_demo.py" "$work/program" "$work/unused" >/dev/null
    cp "$updater" "$work/program/"
}

# The X server picks a free display and names it on descriptor 3.
start Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display"
wait_for 10 test -s "$work/display"
export DISPLAY=:$(head -n 1 "$work/display") QT_QPA_PLATFORM=xcb
start openbox --sm-disable
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
start env QT_LOGGING_RULES='*=false' "$render" backdrop
sleep 0.5
mkdir -p "$out"
make_package

# Starts the updater in a fresh installation and waits for its window.
run_updater() {
    make_installation
    start "$work/program/zuvo-updater"
    updater_pid=$last
    wait_for 10 xdotool search --onlyvisible --name '^zuvo更新$'
}
# Waits for a box with this caption to be on screen.
wait_box() { wait_for 15 xdotool search --onlyvisible --name "^$1\$"; }
shot() {
    sleep 0.5  # the last repaints
    "$render" grab "$out/window-$1.png"
    echo "$out/window-$1.png"
}

# The normal road with the project's server: the window as it waits for
# its timer, then ready once the whole package is in.
start "$server" --bind 127.0.0.1 --port "$port" --package "$work/Browser.zip"
server_pid=$last
sleep 0.3
run_updater
"$render" grab "$out/window-waiting.png" && echo "$out/window-waiting.png"
wait_for 15 cmp -s "$work/Browser.zip" "$work/program/updateFile/Browser.zip"
sleep 1  # the pause after the transfer's end
shot ready
end "$updater_pid"
end "$server_pid"

# Half-way: 195 blocks, then the server holds the connection open.
rm -f "$work/mark"
start python3 "$faults" "$port" hold 195 "$work/Browser.zip" "$work/mark"
server_pid=$last
sleep 0.3
run_updater
wait_for 30 test -s "$work/mark"
shot downloading
end "$updater_pid"
end "$server_pid"

# A reset in the middle of the package: the failure screen and its box.
start python3 "$faults" "$port" reset 300 "$work/Browser.zip"
server_pid=$last
sleep 0.3
run_updater
wait_box Vesk
shot failed-box
xdotool key Return  # the box holds the focus: its OK
sleep 0.3
shot failed
end "$updater_pid"
end "$server_pid"

# No server at all: the first of the two boxes of that road.
run_updater
wait_box zuvo
shot no-server
end "$updater_pid"
