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
# The package and the installation are made in render-session.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
out=${2:-$root/docs}
prefix=window-
port=10290
ninja -C "$build" zuvo-updater zuvo-update-server zuvo-pack render-window >/dev/null
updater=$build/src/app/zuvo-updater
server=$build/tools/update-server/zuvo-update-server
pack=$build/tools/pack/zuvo-pack
render=$build/tools/render-window/render-window
faults=$root/tools/render-window/fault_server.py
source "$root/tools/render-window/render-session.sh"
require_tools render-window

render_session_begin
cleanup() {
    stop_programs
    rm -rf "$work"
}
trap cleanup EXIT
updater_command=("$work/program/zuvo-updater")

start_display
mkdir -p "$out"
make_package

# The waiting window is taken at once: its timer is short.
shoot_normal_road 10 15 0

# Half-way: 195 blocks, then the server holds the connection open.
rm -f "$work/mark"
start python3 "$faults" "$port" hold 195 "$work/Browser.zip" "$work/mark"
server_pid=$last
sleep 0.3
run_updater 10
wait_for 30 test -s "$work/mark"
shot downloading
end "$updater_pid"
end "$server_pid"

# A reset in the middle of the package: the failure screen and its box.
start python3 "$faults" "$port" reset 300 "$work/Browser.zip"
server_pid=$last
sleep 0.3
run_updater 10
wait_box 15 Vesk
shot failed-box
xdotool key Return  # the box holds the focus: its OK
sleep 0.3
shot failed
end "$updater_pid"
end "$server_pid"

shoot_no_server 10 15
