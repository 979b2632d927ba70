#!/bin/bash
# The real program recording live at 256 kbps with the status row running:
# its CPU share, and the GUI thread's wake-ups per second while idle, while
# recording, and idle again once the take's playing is stopped. A wake-up
# is the main loop leaving its sleep (a blocking poll that returns, counted
# with strace); the thread's context switches also count the X server's
# replies it waits for while already awake.
#   [BENCH_SIGNAL=tone|dithered] bench/status_row.sh [BUILD_DIR] [SECONDS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
secs=${2:-60}
exec env VESTREL_WM=openbox "$here/../tests/env/session.sh" bash -c '
    set -u
    . "$0/../tests/e2e/lib.sh" "$1/bin"
    secs=$2
    # The bare tone is what bench/live_recording feeds; sox dithers unless
    # told not to, and the noise it adds costs the encoder about half again.
    signal=${BENCH_SIGNAL:-tone}
    case $signal in tone) dither=-D ;; dithered) dither= ;; *) fail "BENCH_SIGNAL: tone or dithered" ;; esac
    E2E_LIMIT=$((secs + 100))
    hz=$(getconf CLK_TCK)
    cpu() { awk "{ print \$14 + \$15 }" /proc/$app/stat; }
    # "tid name ticks" of every thread; the main thread is the GUI thread.
    threads() {
        for t in /proc/$app/task/*; do
            name=$(cat "$t/comm"); [ "${t##*/}" = "$app" ] && name=GUI
            echo "${t##*/} $name $(awk "{ print \$14 + \$15 }" "$t/stat")"
        done | sort
    }
    wakeups() { awk "/ctxt_switches/ { n += \$2 } END { print n }" /proc/$app/task/$app/status; }
    # Main-loop polls that slept (more than one descriptor, a time limit
    # other than 0) over 10 s.
    loop_wakeups() {
        timeout 10 strace -p $app -e trace=poll -o "$VESTREL_SESSION_ROOT/poll.txt" 2>/dev/null
        grep -E "^poll\(\[\{fd=[0-9]+, events=POLLIN\}, \{" "$VESTREL_SESSION_ROOT/poll.txt" |
            grep -vc ", 0) = 0"
    }
    start_app
    w=$(wait_window Vestrel) || fail "no main window"
    sleep 4 # the web and media panels settle
    # 256 Kbps: the last item of the bit-rate list.
    xdotool mousemove --window "$w" 60 220 click 1; sleep 0.7; xdotool key End Return; sleep 0.7
    n0=$(wakeups); sleep 10; n1=$(wakeups)
    echo "GUI thread idle: $(( (n1 - n0) / 10 )) context switches/s, main loop woken $(( $(loop_wakeups) / 10 ))/s"
    press "$w" Return
    sleep 0.5
    # One light process paces the tone into the source: a feeder that starts
    # processes ten times a second would be measured in the threads of the program.
    sox $dither -n -r 44100 -c 2 -b 16 -e signed -t raw "$VESTREL_SESSION_ROOT/tone.raw" \
        synth $((secs + 12)) sine 440 vol 0.5
    python3 -c "import sys, time
src = open(sys.argv[1], \"rb\"); out = open(sys.argv[2], \"wb\", buffering=0)
start = time.monotonic(); n = 0
while True:
    block = src.read(17640)
    if not block: break
    out.write(block); n += 1
    time.sleep(max(0.0, start + (n - 3) * 0.1 - time.monotonic()))" "$VESTREL_SESSION_ROOT/tone.raw" "$VESTREL_FIFO_ALPHA" &
    sleep 2
    c0=$(cpu); n0=$(wakeups); t0=$(date +%s%N)
    threads >"$VESTREL_SESSION_ROOT/t0"
    sleep $((secs - 4))
    c1=$(cpu); n1=$(wakeups); t1=$(date +%s%N)
    threads >"$VESTREL_SESSION_ROOT/t1"
    loop=$(loop_wakeups)
    wait $!
    press "$w" Return
    sleep 1
    rate=$(ffprobe -v error -show_entries stream=bit_rate -of csv=p=0 "$HOME/MyMP3.mp3")
    awk -v c=$((c1 - c0)) -v hz=$hz -v t=$((t1 - t0)) -v n=$((n1 - n0)) -v r="$rate" -v s="$secs" -v g="$signal 440 Hz" "BEGIN {
        printf \"live recording %d s at %d kbps (%s): %.2f %% of a core; GUI thread %.1f context switches/s\n\",
            s, r / 1000, g, 100 * c / hz / (t / 1e9), n / (t / 1e9) }"
    echo "GUI main loop woken while recording: $(( loop / 10 )).$(( loop % 10 ))/s"
    # capture delivers and encodes; threaded-ml is the sound server'"'"'s client.
    join "$VESTREL_SESSION_ROOT/t0" "$VESTREL_SESSION_ROOT/t1" |
        awk -v hz=$hz -v t=$((t1 - t0)) "{ d = \$5 - \$3 } d > 0 { printf \"  %s %.2f %%\n\", \$2, 100 * d / hz / (t / 1e9) }" |
        sort -k2 -rn | head -4 | paste -sd, | sed "s/^/threads (share of a core):/"
    # The take plays at once; the player'"'"'s Stop ends that, and then nothing
    # should wake the program.
    xdotool mousemove --window "$w" 150 269 click 1
    sleep 3
    echo "GUI main loop woken idle after a take (player stopped): $(( $(loop_wakeups) / 10 ))/s"
    press "$w" Escape
    wait_exit
' "$here" "$build" "$secs"
