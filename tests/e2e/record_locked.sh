#!/bin/bash
# One output file, two copies of the program and the command line: while
# copy A records it, B's Record and `vestrel --record` are refused before
# anything is touched (a box in B, with the error icon; status 1 with the same words), and A's
# take stays whole where it is. Then (PulseAudio, whose pipe source is
# bit-exact) the same audio gives the same bytes from the window and from
# the command line.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
mp3="$HOME/MyMP3.mp3"
trash="$HOME/.local/share/Trash/files"
echo "an earlier take" >"$mp3"
start_recording
a=$app wa=$w
wait_streams || fail "A does not record"
feed_synth 5 "$VESTREL_FIFO_ALPHA" sine 1000 vol 0.5 & feeder=$!
sleep 1.5
VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown-b.log start_app
b=$app
wb=$(wait_other_window Vestrel "$wa") || fail "no window of copy B"
sleep 1
press "$wb" Return
box=$(wait_box Vestrel "$wb") || fail "B's Record was not refused with a box"
# An error box shows the desktop's error icon, as the completion box does
# (looked at again while a loaded machine has not drawn the box yet).
for _ in $(seq 20); do
    sleep 0.3
    screenshot "$box" "$shots/locked.png"
    [ "$(red_pixels "$shots/locked.png")" -gt 300 ] && break
done
[ "$(red_pixels "$shots/locked.png")" -gt 300 ] ||
    fail "B's error box shows no error icon (window $box: $(xdotool getwindowname "$box" 2>&1), $(size_of "$box"))"
grep -A2 "^box	The recording could not be started." "$VESTREL_SESSION_ROOT/shown-b.log" |
    grep -qx "The file $mp3 is being recorded by another Vestrel window. Choose another output file." ||
    fail "B's box says: $(grep -A2 '^box' "$VESTREL_SESSION_ROOT/shown-b.log")"
vestrel_cli --record "$mp3" 2>"$VESTREL_SESSION_ROOT/err"; rc=$?
[ $rc = 1 ] && grep -q "is being recorded by another Vestrel window" "$VESTREL_SESSION_ROOT/err" ||
    fail "--record on A's file: status $rc, $(cat "$VESTREL_SESSION_ROOT/err")"
[ "$(ls "$trash" | wc -l)" = 1 ] || fail "the Trash holds $(ls "$trash")"
[ "$(source_outputs)" = 1 ] || fail "another recording stream was opened"
click "$box" 250 $(( $(xwininfo -id "$box" | awk '/Height:/ { print $2 }') - 25 ))
if ! wait_gone_id "$box" 5; then
    # A click can land before a slow program's box has taken its final
    # size; a person would press Return on the focused OK then.
    echo "the click missed OK; Return" >&2
    press "$box" Return
    wait_gone_id "$box" 10 || fail "neither a click on OK nor Return closed B's box"
fi
press "$wb" Escape
wait_exit || fail "B did not end"
app=$a
wait $feeder
press "$wa" Return
# A clocked source (PipeWire) records on until Stop, which comes later
# when B was slow: the sound in it is checked below.
wait_latest status "^Last take 0:(0[5-9]|1[0-9])" 3 >/dev/null || fail "A's take: $(grep '^status' "$VESTREL_SHOWN_LOG" | tail -1)"
s=$(audible_of "$mp3"); f=$(tone_of "$mp3")
echo "A kept $s s of sound at $f Hz"
awk -v s="$s" -v f="$f" 'BEGIN { exit !(s > 4.5 && s < 5.6 && f > 950 && f < 1050) }' ||
    fail "A's take is not whole: $s s at $f Hz"

if [ "${VESTREL_SOUND:-pulseaudio}" = pulseaudio ]; then
    sox -n -r 44100 -c 2 -b 16 -e signed -t raw "$VESTREL_SESSION_ROOT/tone.raw" synth 3 sine 700 vol 0.5
    press "$wa" Return
    wait_streams || fail "A's second take does not record"
    cat "$VESTREL_SESSION_ROOT/tone.raw" >"$VESTREL_FIFO_ALPHA"
    wait_latest status "^Recording 0:03" 5 >/dev/null || fail "A did not take the 3 s"
    press "$wa" Return
    wait_latest status "^Last take" 3 >/dev/null || fail "A's second take did not end"
    start_cli --record "$HOME/cli.mp3" >/dev/null
    wait_streams 1 || fail "the command line does not record"
    cat "$VESTREL_SESSION_ROOT/tone.raw" >"$VESTREL_FIFO_ALPHA"
    for _ in $(seq 50); do [ "$(stat -c %s "$HOME/cli.mp3")" -ge 23000 ] && break; sleep 0.1; done
    kill -INT $app; wait_exit && [ "$rc" = 0 ] || fail "the command line's take: status ${rc:-}"
    cmp "$mp3" "$HOME/cli.mp3" || fail "the window and the command line wrote different bytes"
    echo "window and command line: the same $(stat -c %s "$mp3") bytes"
    app=$a
fi
press "$wa" Escape
wait_exit || fail "A did not end"
echo ok
