# Shared by the end-to-end scripts: start the real program and drive it
# with keys, as a person would.
bin=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits for a visible window whose title is exactly $1; prints its id.
wait_window() {
    local w=""
    for _ in $(seq 150); do
        w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}

press() { # window key
    xdotool mousemove --window "$1" 20 20
    xdotool windowfocus --sync "$1"
    xdotool key "$2"
}

start_app() {
    LD_LIBRARY_PATH= "$bin/vestrel" >"$VESTREL_SESSION_ROOT/app.log" 2>&1 &
    app=$!
}

duration_of() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }

# Starts the program, waits for its window (id in $w) and presses Record.
start_recording() {
    start_app
    w=$(wait_window Vestrel) || fail "no main window"
    sleep 1
    press "$w" Return
    sleep 0.3
}
