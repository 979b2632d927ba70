#!/bin/bash
# The real program recording live at 256 kbps with the status row running:
# its CPU share, and the GUI thread's wake-ups per second while idle, while
# recording, and idle again once the take's playing is stopped. A wake-up
# is the main loop leaving its sleep (a blocking poll that returns, counted
# with strace); the thread's context switches also count the X server's
# replies it waits for while already awake.
#   bench/status_row.sh [BUILD_DIR] [SECONDS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
secs=${2:-60}
exec env VESTREL_WM=openbox "$here/../tests/env/session.sh" bash -c '
    set -u
    . "$0/../tests/e2e/lib.sh" "$1/bin"
    secs=$2
    E2E_LIMIT=$((secs + 100))
    hz=$(getconf CLK_TCK)
    cpu() { awk "{ print \$14 + \$15 }" /proc/$app/stat; }
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
    feed_synth $((secs + 12)) "$VESTREL_FIFO_ALPHA" sine 440 vol 0.5 &
    sleep 2
    c0=$(cpu); n0=$(wakeups); t0=$(date +%s%N)
    [ -n "${BENCH_THREADS:-}" ] && for t in /proc/$app/task/*; do echo "${t##*/} $(cat $t/comm) $(awk "{ print \$14 + \$15 }" $t/stat)"; done >"$VESTREL_SESSION_ROOT/t0"
    sleep $((secs - 4))
    c1=$(cpu); n1=$(wakeups); t1=$(date +%s%N)
    [ -n "${BENCH_THREADS:-}" ] && { for t in /proc/$app/task/*; do echo "${t##*/} $(cat $t/comm) $(awk "{ print \$14 + \$15 }" $t/stat)"; done >"$VESTREL_SESSION_ROOT/t1"; join "$VESTREL_SESSION_ROOT/t0" "$VESTREL_SESSION_ROOT/t1" | awk "{ print \$1, \$2, \$5 - \$3 }" | sort -k3 -n | tail -4; }
    loop=$(loop_wakeups)
    wait $!
    press "$w" Return
    sleep 1
    rate=$(ffprobe -v error -show_entries stream=bit_rate -of csv=p=0 "$HOME/MyMP3.mp3")
    awk -v c=$((c1 - c0)) -v hz=$hz -v t=$((t1 - t0)) -v n=$((n1 - n0)) -v r="$rate" -v s="$secs" "BEGIN {
        printf \"live recording %d s at %d kbps: %.2f %% of a core; GUI thread %.1f context switches/s\n\",
            s, r / 1000, 100 * c / hz / (t / 1e9), n / (t / 1e9) }"
    echo "GUI main loop woken while recording: $(( loop / 10 )).$(( loop % 10 ))/s"
    # The take plays at once; the player'"'"'s Stop ends that, and then nothing
    # should wake the program.
    xdotool mousemove --window "$w" 150 269 click 1
    sleep 3
    echo "GUI main loop woken idle after a take (player stopped): $(( $(loop_wakeups) / 10 ))/s"
    press "$w" Escape
    wait_exit
' "$here" "$build" "$secs"
