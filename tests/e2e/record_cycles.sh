#!/bin/bash
# 50 quick Record/Stop cycles by Enter: each Stop hands the player a file
# and the next Record empties it before it has loaded. Afterwards the
# program holds no more threads or descriptors than before.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 2
stops() { cat "$VESTREL_SHOWN_LOG" 2>/dev/null | grep -c '^status	Last take'; }
quick_cycles() { # n: returns once the program has done them all
    local done0
    done0=$(stops)
    xdotool mousemove --window "$w" 20 20
    xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w"
    for _ in $(seq $(( $1 * 2 ))); do xdotool key Return; sleep 0.012; done
    for _ in $(seq 300); do
        [ "$(stops)" -ge $((done0 + $1)) ] && return 0
        sleep 0.1
    done
    fail "$(( $(stops) - done0 )) of $1 cycles done after 30 s"
}
# A take with sound, played by the player (a clocked source gives even the
# quick takes some silence to play, PulseAudio nothing): the counts are
# taken each time with the player having played one.
take() { # hz
    press "$w" Return
    sleep 0.3
    feed_tone "$1" 2 "$VESTREL_FIFO_ALPHA"
    press "$w" Return
    sleep 4
}
# A few first, so that what the program opens once is open.
quick_cycles 5
take 500
t0=$(thread_count $app); f0=$(fd_count $app)
quick_cycles 50
[ "$(source_outputs)" -eq 0 ] || fail "recording streams left on the server"
# Still usable: a take records and plays.
take 800
a=$(audible_of "$HOME/MyMP3.mp3")
awk -v a="$a" 'BEGIN { exit !(a > 1.8) }' || fail "the take after the cycles has $a s of sound"
t1=$(thread_count $app); f1=$(fd_count $app)
echo "threads $t0 -> $t1, descriptors $f0 -> $f1 after 50 cycles"
[ "$t1" -le $((t0 + 2)) ] || fail "threads grew from $t0 to $t1"
[ "$f1" -le $((f0 + 3)) ] || fail "descriptors grew from $f0 to $f1: $(ls -l /proc/$app/fd | tail -5)"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo "ok"
