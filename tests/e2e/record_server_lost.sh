#!/bin/bash
# The sound server dies mid-take: a box says so, and all the audio the
# server had handed over is in the file, not just the whole seconds.
set -u
. "$(dirname "$0")/lib.sh"
mp3="$HOME/MyMP3.mp3"
start_recording
feed_tone 1000 5 "$VESTREL_FIFO_ALPHA" &
alpha=$!
sleep 3.5
kill -9 "$VESTREL_PULSE_PID"
box=$(wait_box Vestrel "$w") || fail "no box told of the lost server"
screenshot "$box" "$shots/server-lost.png"
kill "$alpha" 2>/dev/null
d=$(duration_of "$mp3")
a=$(audible_of "$mp3")
echo "audio fed about 3.5 s, kept $d s ($a s of sound)"
awk -v a="$a" 'BEGIN { exit !(a > 3.1) }' || fail "kept only $a s of sound of about 3.5 s"
f=$(tone_of "$mp3")
awk -v f="$f" 'BEGIN { exit !(f > 900 && f < 1100) }' || fail "not the tone fed ($f Hz)"
close_box "$box"
wait_gone_id "$box" 10 || fail "the box did not close by its close box"
# The program goes on: Record is refused in plain words, the take is kept.
sum=$(md5sum <"$mp3")
press "$w" Return
box=$(wait_box Vestrel "$w") || fail "no box told that Record could not start"
screenshot "$box" "$shots/no-server.png"
[ "$(md5sum <"$mp3")" = "$sum" ] || fail "a refused Record changed the take"
press "$box" Return
wait_gone_id "$box" 10 || fail "the box did not close on Return"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo "ok"
