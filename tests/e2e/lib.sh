# Shared by the end-to-end scripts: start the real program as a user does
# and drive it with real X input (xdotool), under the window manager the
# test desktop runs (VESTREL_WM=openbox, set by CTest).
bin=$1
fail() {
    echo "FAIL: $*" >&2
    [ -n "${VESTREL_SESSION_ROOT:-}" ] && [ -s "$VESTREL_SESSION_ROOT/app.log" ] &&
        { echo "--- program output:" >&2; tail -20 "$VESTREL_SESSION_ROOT/app.log" >&2; }
    exit 1
}

# A script fails rather than hangs: after $E2E_LIMIT seconds (default 120)
# it is ended with a message.
# (The sleep gets no copy of the output, so CTest is not kept waiting.)
( sleep "${E2E_LIMIT:-120}" >/dev/null 2>&1; echo "FAIL: still running after ${E2E_LIMIT:-120} s" >&2; kill -TERM $$ ) &
watchdog=$!
trap 'kill $watchdog 2>/dev/null; [ -n "${app:-}" ] && kill -9 $app 2>/dev/null' EXIT

# Waits for a visible window whose title is exactly $1 (optionally of
# process $2); prints its id. Polls: `search --sync` gives up on X errors.
wait_window() {
    local w="" args=(--onlyvisible --name "^$1\$")
    [ -n "${2:-}" ] && args=(--onlyvisible --pid "$2" --name "^$1\$")
    for _ in $(seq 150); do
        w=$(xdotool search "${args[@]}" 2>/dev/null | tail -1)
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}

# Waits until no visible window has the title $1.
wait_gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# Counts the visible windows titled $1.
count_windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l; }

# A key into window $1, with the pointer over it (keys sent while the
# pointer is elsewhere can be lost).
press() { # window key...
    local w=$1; shift
    xdotool mousemove --window "$w" 20 20
    xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w"
    xdotool key "$@"
}

# A left click at x,y inside window $1 (pixels from its top-left corner).
click() { # window x y
    xdotool mousemove --window "$1" "$2" "$3"
    sleep 0.1
    xdotool click 1
}

# Types text into window $1.
type_into() { # window text
    xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
    xdotool type --delay 20 "$2"
}

# Closes window $1 through the window manager, as its close box does.
close_box() { # window: a click on the close button at the right of its title bar
    local x y wd
    x=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ { print $4 }')
    y=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ { print $4 }')
    wd=$(xwininfo -id "$1" | awk '/Width:/ { print $2 }')
    xdotool mousemove $((x + wd - 8)) $((y - 10))
    sleep 0.1
    xdotool click 1
}

start_app() {
    LD_LIBRARY_PATH=${VESTREL_APP_LD_LIBRARY_PATH:-} "$bin/vestrel" "$@" >"$VESTREL_SESSION_ROOT/app.log" 2>&1 &
    app=$!
}

# Waits for the program to end; its exit status in $rc.
wait_exit() {
    for _ in $(seq 100); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
    kill -0 $app 2>/dev/null && return 1
    wait $app; rc=$?
    app=
    return 0
}

duration_of() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }

# Writes the output of a command into a FIFO, giving up after $1 seconds.
# (A plain `> FIFO` blocks before `timeout` starts when nobody reads.)
feed() { # seconds fifo command...
    local t=$1 fifo=$2; shift 2
    timeout "$t" bash -c 'exec >"$0"; exec "$@"' "$fifo" "$@"
}

# PCM at real-time pace: a tone of $2 seconds at $1 Hz into FIFO $3.
# Paced by the clock and 0.3 s ahead of it, so a clocked source (PipeWire)
# never runs dry and records silence in the middle.
feed_tone() { # hz seconds fifo
    feed $(( $2 + 10 )) "$3" bash -c \
        'sox -n -r 44100 -c 2 -b 16 -e signed -t raw - synth "$1" sine "$0" vol 0.5 | {
         start=${EPOCHREALTIME/./}; n=0
         while [ "$(dd bs=17640 count=1 iflag=fullblock 2>&1 >&3 | head -1)" != "0+0 records in" ]; do
             n=$((n + 1)); ahead=$((start + (n - 3) * 100000 - ${EPOCHREALTIME/./}))
             [ $ahead -gt 0 ] && sleep "$(printf "0.%06d" $ahead)"
         done; } 3>&1' "$1" "$2"
}

# Starts the program, waits for its window (id in $w) and presses Record.
start_recording() {
    start_app
    w=$(wait_window Vestrel) || fail "no main window"
    sleep 1
    press "$w" Return
    sleep 0.3
}

# Takes a screenshot of window $1 into file $2.
screenshot() {
    import -window "$1" "$2"
}
