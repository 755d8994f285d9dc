#!/bin/sh
# Renders the update window in its four states (waiting, downloading half-way,
# ready, failed) under Xvfb with the xcb platform plugin, so the pictures show
# the real window shape and fonts.
#   tools/render-window/render-window.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/, OUT_DIR to docs/; the render-window target is
# built first.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
out=${2:-$root/docs}
ninja -C "$build" render-window >/dev/null
mkdir -p "$out"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    "$build/tools/render-window/render-window" "$out"
