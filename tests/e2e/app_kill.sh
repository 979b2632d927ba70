#!/bin/bash
# A recording killed with SIGKILL leaves a decodable MP3 holding all but
# at most the last two seconds. SIGTERM (a logout), SIGHUP (the terminal
# closed) and SIGINT (Ctrl+C there) finish the take as Stop does, the last
# part-second included, and the program ends with status 0, also while a
# box (here the question a stray Escape asks) is open.
set -u
. "$(dirname "$0")/lib.sh"
start_recording
# The tone has all been taken when the program is killed: a clocked source
# (PipeWire) would otherwise hold the rest and hand it to the next take.
feed_tone 500 5 "$VESTREL_FIFO_ALPHA" &
feeder=$!
sleep 5.5
kill -9 $app; app=
kill_tree $feeder; wait $feeder 2>/dev/null
mp3="$HOME/MyMP3.mp3"
d=$(ffmpeg -v error -i "$mp3" -f s16le -ac 1 - | wc -c | awk '{ print $1 / 88200 }')
echo "killed 0.5 s after 5 s fed; the file decodes to $d s"
awk -v d="$d" 'BEGIN { exit !(d >= 2.7) }' || fail "lost more than two seconds: $d s"

for sig in TERM HUP INT; do
    rm -f "$mp3"
    drain_fifo "$VESTREL_FIFO_ALPHA" # of what the last feeder left
    start_recording
    wait_streams || fail "SIG$sig: the take did not start"
    feed_tone 500 3 "$VESTREL_FIFO_ALPHA" || fail "SIG$sig: nobody recorded the source"
    sleep 0.3
    if [ $sig = TERM ]; then
        press "$w" Escape
        wait_other_window vestrel "$w" >/dev/null || fail "a stray Escape during a take did not ask"
    fi
    kill -$sig $app
    wait_exit || fail "SIG$sig did not end the program"
    a=$(audible_of "$mp3")
    echo "SIG$sig after 3 s of tone: status $rc, $a s of sound kept"
    [ "$rc" = 0 ] || fail "SIG$sig: status $rc"
    awk -v a="$a" 'BEGIN { exit !(a > 2.8 && a < 3.3) }' || fail "SIG$sig: kept $a s of the 3 s fed"
done
# Idle, with nothing on the main loop's clock: the signal wakes it.
start_app
wait_window Vestrel >/dev/null || fail "no main window"
sleep 1
kill -TERM $app
wait_exit || fail "SIGTERM did not end the idle program"
[ "$rc" = 0 ] || fail "SIGTERM when idle: status $rc"
echo "ok"
