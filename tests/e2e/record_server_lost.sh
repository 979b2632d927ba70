#!/bin/bash
# The sound server dies mid-take: a box says so, and all the audio the
# server had handed over is in the file, not just the whole seconds.
# Started again with a new source, the server is found by itself: the list
# refills within 2 s, still on the device chosen, the status row says once
# that the server is back, and Record into the new source works.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
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

restart_sound_server || fail "the sound server did not start again"
t0=$(date +%s%N)
load_source aard_in "Aardvark Input" "$VESTREL_SESSION_ROOT/aard.fifo" >/dev/null ||
    fail "pactl could not load a source"
monitor=$(source_description speakers.monitor)
mix=" \+ desktop audio" # each input is listed once more, with the desktop's sound
wait_shown "^devices	Aardvark Input \| Aardvark Input$mix \| \*Alpha Line In \| Alpha Line In$mix \| $monitor \| Zeta Microphone \| Zeta Microphone$mix\$" 2 >/dev/null ||
    fail "the list was not refilled, on Alpha, within 2 s of the server's return: $(grep '^devices' "$VESTREL_SHOWN_LOG")"
echo "listed $(( ($(date +%s%N) - t0) / 1000000 )) ms after the server's return"
wait_latest status "^The sound server is back\.\$" >/dev/null || fail "the row did not say the server is back"
# Aardvark, two above Alpha in the list's drop-down (its entry with the
# desktop's sound between them).
click "$w" 300 72
sleep 0.7
keys Up Up Return
sleep 0.5
press "$w" Return
wait_streams || fail "Record into the new source did not start"
feed_synth 2 "$VESTREL_SESSION_ROOT/aard.fifo" sine 440 vol 0.5 || fail "Aardvark was not recorded"
press "$w" Return
wait_latest status "^Last take" 3 >/dev/null || fail "the take did not end"
f=$(tone_of "$mp3")
echo "recorded $f Hz from the new source"
awk -v f="$f" 'BEGIN { exit !(f > 410 && f < 470) }' || fail "the take holds $f Hz, not Aardvark's 440 Hz"
n=$(grep -c "^status	The sound server is back" "$VESTREL_SHOWN_LOG")
[ "$n" = 1 ] || fail "the row said $n times that the server is back"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo "ok"
