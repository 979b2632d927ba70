#!/bin/bash
# The source stops delivering mid-take (the sound server is stopped): after
# the stall check the take ends with a box, and nothing of the device is
# left (no recording stream on the server, no thread more after each
# round); the next recordings work and leave nothing either.
set -u
. "$(dirname "$0")/lib.sh"
mp3="$HOME/MyMP3.mp3"
start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 2
threads=
for round in 1 2 3; do
    t0=$(date +%s.%N)
    press "$w" Return
    sleep 0.3
    feed_tone 1000 2 "$VESTREL_FIFO_ALPHA"
    # Then nothing more comes: the server is stopped (a PipeWire source
    # would go on with silence), once it has taken what the writer kept ahead.
    sleep 0.5
    kill -STOP "$VESTREL_SOUND_PID"
    ran=$(echo "$(date +%s.%N) - $t0" | bc)
    box=$(wait_box Vestrel "$w")
    got=$?
    kill -CONT "$VESTREL_SOUND_PID"
    [ $got -eq 0 ] || fail "no box told of the stall (round $round)"
    screenshot "$box" "$shots/stall.png"
    n=$(source_outputs)
    [ "$n" -eq 0 ] || fail "round $round: $n recording streams left on the server"
    d=$(duration_of "$mp3")
    a=$(audible_of "$mp3")
    echo "round $round: fed 2 s, kept $d s ($a s of sound) of $ran s running; threads $(thread_count $app) (were $threads)"
    # The sound whole; the take no longer than the source ran (a clocked
    # source adds silence around the tone, more of it on a loaded machine).
    awk -v a="$a" -v d="$d" -v ran="$ran" 'BEGIN { exit !(a > 1.8 && a < 2.45 && d < ran + 0.3) }' ||
        fail "kept $d s ($a s of sound) of 2 s, the source ran $ran s"
    press "$box" Return
    wait_gone_id "$box" 10 || fail "the box did not close on Return"
    sleep 2 # the player has played the take
    # Counted from the first round on, once the player has been used.
    [ -z "$threads" ] && threads=$(thread_count $app)
done
[ "$(thread_count $app)" -le $((threads + 1)) ] || fail "threads $(thread_count $app), were $threads"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo "ok"
