# Sourced by the scripts that run the Windows programs under Wine.
#
# wine_session_start PREFIX: a Wine prefix of the project's own (made on
#   first use) with the window font mapped, and one Wine server kept alive
#   for the whole session, started outside any ctest output pipe.
# display_start: a private Xvfb display on a free number (GUI programs
#   under Wine hang rather than fail without a display); DISPLAY is
#   exported.
# wine_session_stop: ends the Wine server and the private display; safe to
#   call from an EXIT trap on every way out.

wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
private_xvfb=

wine_session_start() {
    export WINEPREFIX=$1
    export WINEDEBUG=-all
    # No desktop integration, no Mono or Gecko installers: nothing needs them.
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
    mkdir -p "$WINEPREFIX"  # the server refuses a prefix folder that is not there
    "$wineserver" -p >/dev/null 2>&1 </dev/null
    "$wine" cmd /c exit >/dev/null 2>&1 </dev/null
    map_window_font
}

# The window's font is SimSun (宋体), which Wine does not have; without a
# replacement Chinese text shows as boxes. WenQuanYi Micro Hei stands in.
# The .reg file is UTF-16, so the Chinese name survives whatever the
# terminal's locale is.
map_window_font() {
    local marker=$WINEPREFIX/.zuvo-fonts-mapped
    [[ -f $marker ]] && return 0
    local reg=$WINEPREFIX/zuvo-fonts.reg
    python3 - "$reg" <<'PYTHON'
import sys
text = (
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"
    '"SimSun"="WenQuanYi Micro Hei"\r\n'
    '"宋体"="WenQuanYi Micro Hei"\r\n'
    '"NSimSun"="WenQuanYi Micro Hei"\r\n'
)
with open(sys.argv[1], "wb") as f:
    f.write(b"\xff\xfe" + text.encode("utf-16-le"))
PYTHON
    "$wine" regedit /S "$(winepath_of "$reg")" >/dev/null 2>&1 </dev/null
    touch "$marker"
}

winepath_of() {
    "$wine" winepath -w "$1" 2>/dev/null </dev/null | tr -d '\r'
}

display_start() {
    # Xvfb picks a free display itself and writes its number to fd 3.
    local number_file
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
    private_xvfb=$!
    for _ in $(seq 100); do
        [[ -s $number_file ]] && break
        sleep 0.1
    done
    local number
    number=$(head -n 1 "$number_file")
    rm -f "$number_file"
    if [[ -z $number ]]; then
        echo "wine-session: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=:$number
}

wine_session_stop() {
    "$wineserver" -k >/dev/null 2>&1 || true
    if [[ -n $private_xvfb ]]; then
        kill "$private_xvfb" 2>/dev/null || true
        wait "$private_xvfb" 2>/dev/null || true
    fi
}
