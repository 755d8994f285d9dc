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
prefix=windows-window-
port=10290
ninja -C "$linux" zuvo-update-server zuvo-pack render-window >/dev/null
ninja -C "$windows" zuvo-updater >/dev/null
updater=$windows/src/app/zuvo-updater.exe
server=$linux/tools/update-server/zuvo-update-server
pack=$linux/tools/pack/zuvo-pack
render=$linux/tools/render-window/render-window
source "$root/tools/render-window/render-session.sh"
require_tools render-window-windows
source "$root/scripts/wine-session.sh"

render_session_begin
cleanup() {
    stop_programs
    wine_session_stop
    rm -rf "$work"
}
trap cleanup EXIT

start_display
wine_session_start "$work/prefix"
updater_command=("$wine" "$work/program/zuvo-updater.exe")
mkdir -p "$out"
make_package

# Wine is slower to bring up a window than the Linux updater.
shoot_normal_road 20 20 0.5
shoot_no_server 20 20
