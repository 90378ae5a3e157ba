# Sourced by the bench scripts that run savers on a private Xvfb. The caller has a scratch
# folder in $work; startXvfb leaves the server's pid in xvfbPid.

# Starts an Xvfb with one screen of WxH at 24 bits; fails when it does not come up.
startXvfb() {
    : >"$work/display"
    Xvfb -displayfd 1 -screen 0 "$1x24" -nolisten tcp -noreset >"$work/display" \
        2>"$work/xvfb.stderr" &
    xvfbPid=$!
    local tries
    for ((tries = 0; tries < 100; tries++)); do
        grep -q . "$work/display" 2>/dev/null && return 0
        kill -0 "$xvfbPid" 2>/dev/null || break
        sleep 0.1
    done
    echo "$(basename "$0"): Xvfb did not start: $(cat "$work/xvfb.stderr")" >&2
    return 1
}

# Replaces the shell by a command on the private display, with nothing of the desktop's session
# around it. Run in the background (execOnXvfb ... &), $! is then the command's own pid.
execOnXvfb() {
    exec env -u WAYLAND_DISPLAY -u XSCREENSAVER_WINDOW DISPLAY=":$(head -n 1 "$work/display")" \
        SDL_VIDEODRIVER=x11 DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus "$@"
}

# Runs a command on the private display and waits for it.
onXvfb() { (execOnXvfb "$@"); }
