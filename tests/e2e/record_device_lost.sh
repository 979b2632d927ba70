#!/bin/bash
# The chosen source is unplugged mid-take while the default source goes on
# delivering: the recording ends at once (not moved to the other source),
# a box says so, the take up to then is in the file, and the program holds
# no recording stream any more.
set -u
. "$(dirname "$0")/lib.sh"
mp3="$HOME/MyMP3.mp3"
start_app
w=$(wait_window Vestrel) || fail "no main window"
# Another source becomes the default once the list stands on "Alpha Line In".
pactl set-default-source zeta_mic
sleep 1
press "$w" Return
feed_tone 1000 5 "$VESTREL_FIFO_ALPHA" &
alpha=$!
feed_tone 440 6 "$VESTREL_FIFO_ZETA" &
zeta=$!
sleep 3
[ "$(source_outputs)" -eq 1 ] || fail "no recording stream while recording"
t0=$(date +%s.%N)
unload_source alpha_line || fail "could not unload the source"
box=$(wait_box Vestrel "$w") || fail "no box told of the lost device"
t1=$(date +%s.%N)
screenshot "$box" "$shots/device-lost.png"
[ "$(source_outputs)" -eq 0 ] || fail "the recording stream is still open: $(pactl list short source-outputs)"
d=$(duration_of "$mp3")
a=$(audible_of "$mp3")
echo "audio fed about 3.0 s, kept $d s ($a s of sound); box after $(echo "$t1 - $t0" | bc) s"
awk -v a="$a" 'BEGIN { exit !(a > 2.6 && a < 3.6) }' || fail "kept $a s of sound of about 3 s"
# Nothing of the default source went into the take.
f=$(tone_of "$mp3")
echo "rough frequency $f Hz"
awk -v f="$f" 'BEGIN { exit !(f > 900 && f < 1100) }' || fail "the take holds another source ($f Hz)"
press "$box" Return
wait_gone_id "$box" 10 || fail "the box did not close on Return"
kill "$alpha" "$zeta" 2>/dev/null
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo "ok"
