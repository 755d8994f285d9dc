# Sourced by render-window.sh and render-window-windows.sh: what both need
# to take pictures of an updater under a private Xvfb with openbox.
# The sourcing script sets, before it calls these functions:
#   root    the repository
#   pack    zuvo-pack (a Linux program; the package is signed with the demo
#           key, which the updater's build must trust)
#   server  zuvo-update-server, port the loopback port it listens on
#   updater the updater program copied into each fresh installation
#   render  the render-window program (backdrop and grab)
#   out     where the pictures go, prefix the start of their names
#   updater_command  how to start the copy in $work/program
# and calls render_session_begin first.

# Stops with a message when a program the pictures need is missing.
require_tools() {  # caller-name
    local tool
    for tool in Xvfb openbox xdotool xprop python3; do
        command -v "$tool" >/dev/null || { echo "$1: $tool is missing (scripts/setup.sh)" >&2; exit 1; }
    done
}

# A scratch directory ($work) and no programs started yet.
render_session_begin() {
    work=$(mktemp -d)
    pids=()
}

# Ends every program started below, the last first.
stop_programs() {
    local i pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}

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

# The package and the installation come from tools/demo/make_demo.py; a
# change in what the updater expects of them is made here.
make_package() {
    python3 "$root/tools/demo/make_demo.py" "$work/served" "$work/package" >/dev/null
    "$pack" --key "$root/build/demo-key/zuvo.sec" --version 2.0 \
        "$work/package" "$work/Browser.zip" >/dev/null
}
make_installation() {
    rm -rf "$work/program"
    python3 "$root/tools/demo/make_demo.py" "$work/program" "$work/unused" >/dev/null
    cp "$updater" "$work/program/"
}

# The X server picks a free display and names it on descriptor 3; openbox
# manages it and the backdrop fills it.
start_display() {
    start Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display"
    wait_for 10 test -s "$work/display"
    export DISPLAY=:$(head -n 1 "$work/display") QT_QPA_PLATFORM=xcb
    start openbox --sm-disable
    wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
    start env QT_LOGGING_RULES='*=false' "$render" backdrop
    sleep 0.5
}

# Starts the updater in a fresh installation and waits up to $1 seconds
# for its window.
run_updater() {  # seconds
    make_installation
    start "${updater_command[@]}"
    updater_pid=$last
    wait_for "$1" xdotool search --onlyvisible --name '^zuvo更新$'
}
# Waits for a box with this caption to be on screen.
wait_box() {  # seconds caption
    wait_for "$1" xdotool search --onlyvisible --name "^$2\$"
}
# The middle of the screen, where the window is centred, after the last
# repaints (none asked for: at once).
shot() {  # name [seconds to wait first]
    sleep "${2:-0.5}"
    "$render" grab "$out/$prefix$1.png"
    echo "$out/$prefix$1.png"
}

# The normal road with the project's server on port $port: the window as
# it waits for its timer (taken after $3 seconds), then ready once the
# whole package is in. $1 and $2: the longest waits for the window and for
# the package.
shoot_normal_road() {  # window-seconds package-seconds waiting-delay
    start "$server" --bind 127.0.0.1 --port "$port" --package "$work/Browser.zip"
    server_pid=$last
    sleep 0.3
    run_updater "$1"
    shot waiting "$3"
    wait_for "$2" cmp -s "$work/Browser.zip" "$work/program/updateFile/Browser.zip"
    sleep 1  # the pause after the transfer's end
    shot ready
    end "$updater_pid"
    end "$server_pid"
}

# No server at all: the first of the two boxes of that road.
shoot_no_server() {  # window-seconds box-seconds
    run_updater "$1"
    wait_box "$2" zuvo
    shot no-server
    end "$updater_pid"
}
