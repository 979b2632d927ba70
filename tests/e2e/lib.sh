# Shared by the end-to-end scripts: start the real program as a user does
# and drive it with real X input (xdotool), under the window manager the
# test desktop runs (VESTREL_WM=openbox, set by CTest). On a Wayland test
# desktop (VESTREL_DISPLAY=wayland) lib_wayland.sh gives the same verbs
# through the compositor: scripts that run on both use only the verbs.
bin=$1
fail() {
    [ -n "${VESTREL_SHOWN_LOG:-}" ] && tail -8 "$VESTREL_SHOWN_LOG" >&2
    echo "FAIL: $*" >&2
    [ -n "${VESTREL_SESSION_ROOT:-}" ] && [ -s "$VESTREL_SESSION_ROOT/app.log" ] &&
        { echo "--- program output:" >&2; app_errors | tail -20 >&2; }
    # A sanitizer's report is shown whole: its first lines say where.
    [ -n "${VESTREL_SESSION_ROOT:-}" ] &&
        sed -n '/ERROR: AddressSanitizer\|runtime error/,/SUMMARY/p' "$VESTREL_SESSION_ROOT/app.log" 2>/dev/null |
        head -60 >&2
    exit 1
}

# A script fails rather than hangs: after $E2E_LIMIT seconds (default 120)
# it is ended with a message.
# (The sleep gets no copy of the output, so CTest is not kept waiting.)
( sleep "${E2E_LIMIT:-120}" >/dev/null 2>&1; echo "FAIL: still running after ${E2E_LIMIT:-120} s" >&2; kill -TERM $$ ) &
watchdog=$!
trap 'kill $watchdog 2>/dev/null; [ -n "${app:-}" ] && kill -9 $app 2>/dev/null
      for m in ${small_disks:-}; do umount -l "$m" 2>/dev/null; done
      [ -n "${server:-}" ] && kill $server 2>/dev/null
      [ -n "${wl_helper:-}" ] && kill $wl_helper 2>/dev/null' EXIT

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

# The program takes no key within 300 ms after a box closed (keys meant for
# the box): the wait_gone verbs wait that out, as a person does without
# noticing.
key_guard() { sleep 0.35; }

# Waits until no visible window has the title $1.
wait_gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || { key_guard; return 0; }
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

# Closes window $1 through the window manager, as its close box does: a
# click on the close button at the right of its title bar. Says on stderr
# when another window is under the pointer there; a person whose click is
# not taken clicks once more.
close_box() { # window
    local x y wd frame under
    x=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ { print $4 }')
    y=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ { print $4 }')
    wd=$(xwininfo -id "$1" | awk '/Width:/ { print $2 }')
    frame=$(xwininfo -tree -id "$1" | awk '/Parent window id:/ { print $4 }')
    for attempt in 1 2; do
        xdotool mousemove $((x + wd - 8)) $((y - 10))
        sleep 0.1
        under=$(xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p')
        [ "$(printf 0x%x "$under")" = "$frame" ] ||
            echo "close_box: the pointer is over $(printf 0x%x "$under") '$(xdotool getwindowname "$under" 2>/dev/null)', not the frame $frame of $1" >&2
        xdotool click 1
        wait_gone_id "$1" 3 && return 0
        echo "close_box: click $attempt on the close button of $1 was not taken" >&2
    done
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

# A tone of $2 seconds at $1 Hz, -6 dBFS, into FIFO $3 (see feed_synth).
feed_tone() { # hz seconds fifo
    feed_synth "$2" "$3" sine "$1" vol 0.5
}

# Starts the program, waits for its window (id in $w) and presses Record.
start_recording() {
    start_app
    w=$(wait_window Vestrel) || fail "no main window"
    sleep 1
    press "$w" Return
    sleep 0.3
}

# Seconds from the first to the last sound in file $1: what was fed,
# without the silence a clocked source (PipeWire) records around it.
audible_of() {
    ffmpeg -v error -i "$1" -ac 1 -f wav - |
        sox -t wav - -n silence 1 0.01 1% reverse silence 1 0.01 1% reverse stat 2>&1 |
        awk '/^Length/ { print $3 }'
}

# Takes a screenshot of window $1 into file $2 (screenshot_all: of the
# whole screen into file $1).
screenshot() {
    import -window "$1" "$2"
}
screenshot_all() { import -window root "$1"; }

# What the program wrote on standard error.
app_errors() { cat "$VESTREL_SESSION_ROOT/app.log"; }

# The title of window $1.
window_title() { xdotool getwindowname "$1"; }

# Keys to whichever window has the focus.
keys() { xdotool key "$@"; }

# Screen position and size of window $1's client area: "X Y W H".
window_frame() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }'
}

# Threads and open descriptors of process $1.
thread_count() { ls "/proc/$1/task" | wc -l; }
fd_count() { ls "/proc/$1/fd" | wc -l; }

# Recording streams open on the sound server.
source_outputs() { pactl list short source-outputs | wc -l; }

# Unplugs test source $1 (its source_name) by unloading its module.
unload_source() {
    local m
    m=$(pactl list short modules | awk -v s="source_name=$1" 'index($0, s " ") { print $1 }')
    [ -n "$m" ] && pactl unload-module "$m"
}

# Waits for a visible window titled $1 of the program other than window
# $2 (a message box has the main window's title); prints its id.
wait_box() { # title except
    local ids id i
    for i in $(seq 150); do
        ids=$(xdotool search --onlyvisible --pid "$app" --name "^$1\$" 2>/dev/null | grep -vx "$2")
        # A box stands over its window: a second top-level window of the
        # same title met early (a slow start) is not one.
        for id in $ids; do
            xprop -id "$id" WM_TRANSIENT_FOR 2>/dev/null | grep -q "window id" && { echo "$id"; return 0; }
        done
        [ -n "$ids" ] && [ "$i" -gt 100 ] && { echo "$ids" | tail -1; return 0; }
        sleep 0.1
    done
    return 1
}

# The main frequency of the audio in file $1 (Hz, rough).
tone_of() {
    ffmpeg -v error -i "$1" -ac 1 -f wav - | sox -t wav - -n stat 2>&1 |
        awk '/^Rough +frequency/ { print $3 }'
}

# The level (dBFS of the sine's peak) of each frequency $4... in the $3
# seconds of file $1 from $2 s: a Hann-windowed DFT (Goertzel) at each
# frequency and up to 4 Hz either side, the highest taken, so a tone fed at
# "vol 0.25" reads -12.0 whatever plays beside it, and so does one that a
# resampler moved by a fraction of a per cent.
tone_levels() { # file start seconds hz...
    ffmpeg -v error -ss "$2" -t "$3" -i "$1" -ac 1 -ar 44100 -f s16le - | python3 -c '
import array, math, sys
x = array.array("h", sys.stdin.buffer.read())
n = len(x)
w = [0.5 - 0.5 * math.cos(2 * math.pi * i / (n - 1)) for i in range(n)]
sw = sum(w)
y = [x[i] * w[i] for i in range(n)]
def level(hz):
    c = 2 * math.cos(2 * math.pi * hz / 44100)
    s1 = s2 = 0.0
    for v in y:
        s1, s2 = v + c * s1 - s2, s1
    return 2 * math.sqrt(max(s1 * s1 + s2 * s2 - c * s1 * s2, 0)) / sw / 32768
for hz in sys.argv[1:]:
    amp = max(level(float(hz) + d / 2) for d in range(-8, 9))
    print("%.1f" % (20 * math.log10(max(amp, 1e-6))), end=" ")
print()' "${@:4}"
}

# Where scripts leave screenshots: VESTREL_SHOTS to keep them after the run.
shots=${VESTREL_SHOTS:-$VESTREL_SESSION_ROOT}

# Answers the GTK Save As dialog by keys: the full path typed into its
# name field, then Return. Its title in another language: $2.
save_as() { # path [title]
    local f
    f=$(wait_window "${2:-Select a file}") || fail "no Save As dialog"
    sleep 1 # the chooser takes keys only once it has read its folder
    xdotool mousemove --window "$f" 300 300
    xdotool windowactivate --sync "$f" 2>/dev/null || xdotool windowfocus --sync "$f"
    xdotool key ctrl+a
    xdotool type --delay 20 "$1"
    # The name field may complete the name itself, at once or a moment
    # later (e.g. "second" to an existing "second.wma", as selected text or
    # taken by a Return): what it holds is read back before each Return and
    # typed again while it is not the name given.
    local held
    for _ in 1 2 3 4 5; do
        sleep 0.5
        is_visible "$f" || return 0
        xdotool key ctrl+a ctrl+c
        sleep 0.2
        held=$(xclip -o -selection clipboard 2>/dev/null)
        if [ "$held" != "$1" ]; then
            echo "save_as: the name field held '$held': typed again" >&2
            xdotool key ctrl+a
            xdotool type --delay 20 "$1"
            sleep 0.7
            xdotool key Delete
            continue
        fi
        xdotool key Return
        # A dialog on its way out must not get a second Return: the question
        # that may follow it would take it.
        wait_gone_id "$f" 3 && return 0
    done
    is_visible "$f" && fail "the Save As dialog did not take '$1'"
    return 0
}

# Waits for a visible window titled $1 other than those listed after it;
# prints its id.
wait_other_window() { # title known-id...
    local t=$1 w; shift
    for _ in $(seq 150); do
        for w in $(xdotool search --onlyvisible --name "^$t\$" 2>/dev/null); do
            [[ " $* " == *" $w "* ]] || { echo "$w"; return 0; }
        done
        sleep 0.1
    done
    return 1
}

# Whether window $2 opened over window $1: centred across, and its middle
# in the middle half of $1 down (mutter puts a dialog a third of the way).
centred_over() { # owner box
    local mx my mw mh bx by bw bh
    read -r mx my mw mh < <(window_frame "$1")
    read -r bx by bw bh < <(window_frame "$2")
    echo "window at $mx,$my ${mw}x$mh, box at $bx,$by ${bw}x$bh" >&2
    awk -v d=$(( (bx + bw / 2) - (mx + mw / 2) )) -v w="$mw" 'BEGIN { exit !(d * d <= (w / 10) ^ 2) }' &&
        [ $((by + bh / 2)) -ge $((my + mh / 4)) ] && [ $((by + bh / 2)) -le $((my + mh * 3 / 4)) ]
}

# Whether window $1 is still mapped.
is_visible() { xwininfo -id "$1" 2>/dev/null | grep -q "IsViewable"; }

# Waits until window $1 is no longer mapped, up to $2 seconds.
wait_gone_id() { # window [seconds, default 5]
    for _ in $(seq $(( ${2:-5} * 10 ))); do is_visible "$1" || { key_guard; return 0; }; sleep 0.1; done
    return 1
}

# Width and height of window $1 ("W H").
size_of() { xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }'; }

# PCM from sox's synth at real-time pace: $1 seconds into FIFO $2, the rest
# are synth's arguments after the length (e.g. sine 1000 vol 0.5).
# Paced by the clock and 0.3 s ahead of it (FEED_AHEAD blocks of 0.1 s), so
# a clocked source (PipeWire) never runs dry and records silence in the
# middle; PulseAudio's takes it as written, early. Returns once the FIFO
# is empty, so what a clocked source had not yet taken is not left for the
# next take.
feed_synth() { # seconds fifo synth-args...
    local s=$1 fifo=$2; shift 2
    feed $(( s + 10 )) "$fifo" bash -c \
        'sox -n -r 44100 -c 2 -b 16 -e signed -t raw - synth "$@" 2>/dev/null | {
         start=${EPOCHREALTIME/./}; n=0
         while [ "$(dd bs=17640 count=1 iflag=fullblock 2>&1 >&3 | head -1)" != "0+0 records in" ]; do
             n=$((n + 1)); ahead=$((start + (n - ${FEED_AHEAD:-3}) * 100000 - ${EPOCHREALTIME/./}))
             [ $ahead -gt 0 ] && sleep "$(printf "0.%06d" $ahead)"
         done; } 3>&1
         python3 -c "import array, fcntl, termios, time
for _ in range(100):
    left = array.array(\"i\", [0]); fcntl.ioctl(1, termios.FIONREAD, left)
    if left[0] == 0: break
    time.sleep(0.02)"' _ "$s" "$@"
}

# Waits up to $2 seconds (default 5) for a line in the program's shown-text
# log ($VESTREL_SHOWN_LOG) matching the extended regex $1; prints it.
wait_shown() { # regex [seconds]
    local n=$(( ${2:-5} * 10 ))
    for _ in $(seq "$n"); do
        grep -E "$1" "$VESTREL_SHOWN_LOG" 2>/dev/null | tail -1 | grep . && return 0
        sleep 0.1
    done
    return 1
}

# The colour (hex, e.g. F2C81D) of pixel x,y of PNG $1.
pixel() { # png x y
    convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | awk 'NR == 2 { sub("#", "", $3); print substr($3, 1, 6) }'
}

# Whether colour $4 appears in row $3 of PNG $1 between x = $2 and the
# right edge, within ImageMagick's fuzz of 8 %.
row_has_colour() { # png x y hex
    local w
    w=$(identify -format %w "$1")
    convert "$1" -crop "$((w - $2))x1+$2+$3" +repage -fuzz 8% -fill black +opaque "#$4" \
        -fill white -opaque "#$4" -format "%[fx:maxima.r]" info: | grep -q '^1'
}

# Waits up to 5 s until the program holds file $1 open (the player loaded it).
holds_open() {
    for _ in $(seq 50); do
        ls -l "/proc/$app/fd" 2>/dev/null | grep -qF "$1" && return 0
        sleep 0.1
    done
    return 1
}

# A stand-in for the desktop's browser first on PATH: xdg-open appends the
# address it is given to $opened, and leaves its environment in $opened.env.
fake_browser() {
    opened=$VESTREL_SESSION_ROOT/opened
    local fake=$VESTREL_SESSION_ROOT/fakebin
    mkdir -p "$fake"
    printf '#!/bin/sh\nenv > "%s.env"\necho "$1" >> "%s"\n' "$opened" "$opened" >"$fake/xdg-open"
    chmod +x "$fake/xdg-open"
    export PATH=$fake:$PATH
}

# Waits up to 5 s until file $1 has at least $2 lines.
wait_lines() { # file count
    for _ in $(seq 50); do
        [ "$(cat "$1" 2>/dev/null | wc -l)" -ge "$2" ] && return 0
        sleep 0.1
    done
    return 1
}

# Serves folder $1 over HTTP on 127.0.0.1, on a free port (in $port); the
# requests it answers go to $VESTREL_SESSION_ROOT/http.log.
serve_dir() { # folder
    local log=$VESTREL_SESSION_ROOT/http.log
    python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$1" >"$log" 2>&1 &
    server=$!
    for _ in $(seq 50); do
        port=$(sed -n 's/^Serving HTTP on .* port \([0-9]*\).*/\1/p' "$log")
        [ -n "$port" ] && return 0
        sleep 0.1
    done
    fail "the web server did not start: $(cat "$log")"
}

# What a person copies from window $1 after a click at x,y there, Ctrl+A
# and Ctrl+C: the clipboard's text (once a session: it starts empty).
copied_text() { # window x y
    click "$1" "$2" "$3"
    xdotool key ctrl+a ctrl+c
    for _ in $(seq 20); do
        xclip -o -selection clipboard 2>/dev/null | grep -q . && break
        sleep 0.1
    done
    xclip -o -selection clipboard 2>/dev/null
}

# Where in PNG $1 colour $2 (hex) fills a box: its centre, "X Y" (nothing
# when the colour is not there).
colour_centre() { # png hex
    convert "$1" -fuzz 4% -fill black +opaque "#$2" -format '%@' info: 2>/dev/null |
        awk -F'[x+]' '$1 > 1 && $2 > 1 { print int($3 + $1 / 2), int($4 + $2 / 2) }'
}

# Fails unless every text of window $1 (its title) has the room it needs,
# as the program's layout lines in the shown-text log say.
fits_its_place() { # caption
    local cut
    cut=$(awk -F'\t' -v c="$1" '$1 == "layout" && $2 == c {
        split($3, has, " "); split($4, need, " ")
        if (need[1] > has[3] || need[2] > has[4]) print $5 ": needs " $4 ", has " has[3] " " has[4] }' "$VESTREL_SHOWN_LOG")
    [ -z "$cut" ] || fail "in $1 texts are cut: $cut"
}

# How many pixels of PNG $1 are a strong red (an error icon's).
red_pixels() { # png
    convert "$1" -fx 'r > 0.7 && g < 0.35 && b < 0.35 ? 1 : 0' -format '%[fx:int(mean * w * h)]' info:
}

# The darkest grey (0 to 255) in the W x H box at X,Y of PNG $1.
darkest() { # png x y w h
    convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray -format "%[fx:int(255 * minima)]" info:
}

# Waits up to $3 seconds (default 2) until the latest line of kind $1 in the
# shown-text log (e.g. status) matches the extended regex $2; prints it.
wait_latest() { # kind regex [seconds]
    local n=$(( ${3:-2} * 10 )) line
    for _ in $(seq 0 "$n"); do
        line=$(grep "^$1	" "$VESTREL_SHOWN_LOG" 2>/dev/null | tail -1)
        printf '%s\n' "${line#*	}" | grep -E "$2" && return 0
        sleep 0.1
    done
    return 1
}

# Plugs in a test source $1 described as $2, reading FIFO $3; prints its
# module number. (This quoting keeps the description whole on PulseAudio
# and on pipewire-pulse.)
load_source() { # name description fifo
    pactl load-module module-pipe-source source_name="$1" file="$3" format=s16le rate=44100 \
        channels=2 "source_properties='device.description=\"$2\"'"
}

# What the server calls source $1 (its description).
source_description() { # name
    pactl list sources | awk -v n="$1" '$1 == "Name:" { on = $2 == n }
        on && $1 == "Description:" { sub(/^[ \t]*Description: /, ""); print; exit }'
}

# Runs the program from the command line as a script or a timer does: no
# display. Standard output and error go where the caller sends them.
vestrel_cli() {
    env -u DISPLAY -u WAYLAND_DISPLAY LD_LIBRARY_PATH=${VESTREL_APP_LD_LIBRARY_PATH:-} "$bin/vestrel" "$@"
}
# The same in the background, its process in $app (for signals, wait_exit).
start_cli() {
    env -u DISPLAY -u WAYLAND_DISPLAY LD_LIBRARY_PATH=${VESTREL_APP_LD_LIBRARY_PATH:-} "$bin/vestrel" "$@" &
    app=$!
}

# Mounts a tmpfs of size $1 (e.g. 1m) on a new folder, named in $disk and
# unmounted when the script ends. Fails without root: skip that part then.
small_disk() { # size
    [ "$(id -u)" = 0 ] || return 1
    disk=$(mktemp -d "$VESTREL_SESSION_ROOT/disk.XXXXXX") || return 1
    mount -t tmpfs -o "size=$1" tmpfs "$disk" 2>/dev/null || return 1
    small_disks="${small_disks:-} $disk"
}
# Fills file system $1 with a file $1/fill, leaving $2 bytes free.
fill_disk() { # folder bytes-free
    dd if=/dev/zero of="$1/fill" bs=4k 2>/dev/null
    [ "$2" -gt 0 ] && truncate -s "-$2" "$1/fill"
    sync
}
# "3 KB" as the program writes sizes (1 KB = 1000 bytes).
size_text() { # bytes
    awk -v b="$1" 'BEGIN { if (b < 1000) printf "%d bytes", b;
        else if (b < 1000000) printf "%d KB", int((b + 500) / 1000); else printf "%.1f MB", b / 1e6 }'
}

# Waits up to 10 s until the sound server has $1 recording streams (default 1).
wait_streams() { # [count]
    for _ in $(seq 100); do
        [ "$(source_outputs)" -ge "${1:-1}" ] && return 0
        sleep 0.1
    done
    return 1
}

# Empties FIFO $1 of what a killed feeder wrote and nobody read.
drain_fifo() { # fifo
    python3 -c "import os, sys
fd = os.open(sys.argv[1], os.O_RDONLY | os.O_NONBLOCK)
try:
    while os.read(fd, 65536): pass
except BlockingIOError: pass" "$1"
}

# Ends process $1 and everything it started (a feeder's sox and dd, which
# would go on writing stale audio into their FIFO).
kill_tree() { # pid
    local c
    for c in $(pgrep -P "$1"); do kill_tree "$c"; done
    kill "$1" 2>/dev/null
}

# On Wayland the verbs above get their Wayland versions.
if [ -n "${WAYLAND_DISPLAY:-}" ]; then . "$(dirname "${BASH_SOURCE[0]}")/lib_wayland.sh"; fi
