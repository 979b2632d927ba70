#!/bin/bash
# A bit rate picked in the drop-down, then Enter, speak, Enter: the take is
# in the file at that rate and the player has it; a stray Escape or the
# close box during a take asks, and Escape or Return on the question keeps the take going;
# outside a take Escape ends the program at once, with status 0.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 1
# Choose "96 Kbps" in the bit-rate list's drop-down: after it, Enter must
# still press Record rather than reopen the list.
xdotool mousemove --window "$w" 60 220 click 1
sleep 0.7
xdotool key Down Return
sleep 0.7
xdotool key Return
sleep 0.5
feed 20 "$VESTREL_FIFO_ALPHA" bash -c 'espeak-ng --stdout "Recording a lecture note for the test." |
    sox -t wav - -r 44100 -c 2 -b 16 -e signed -t raw -' || fail "nobody recorded the source"
sleep 0.5
press "$w" Return
mp3="$HOME/MyMP3.mp3"
sleep 1
[ -s "$mp3" ] || fail "no recording at $mp3"
d=$(duration_of "$mp3")
echo "recorded $d s"
rate=$(ffprobe -v error -show_entries stream=bit_rate -of csv=p=0 "$mp3")
[ "$rate" = 96000 ] || fail "bit rate $rate, not the 96 Kbps chosen in the list"
awk -v d="$d" 'BEGIN { exit !(d > 1.5) }' || fail "recording too short: $d"
# The player holds the file it was given.
holds_open "$mp3" || fail "the player did not load $mp3"
# A stray Escape (or the close box) during a take asks; a second stray
# Escape, or Return, on the question keeps recording (Keep recording is the default), and the
# take goes on whole.
question="A recording is running. Stop it and quit?"
press "$w" Return
feed_synth 8 "$VESTREL_FIFO_ALPHA" sine 1000 vol 0.5 &
feeder=$!
sleep 1
for stray in Escape:Escape Escape:Return close:Escape; do
    answer=${stray#*:}
    if [ "${stray%:*}" = close ]; then
        # One click on the close box (close_box would click again when the
        # window stays).
        read -r x y wd < <(xwininfo -id "$w" | awk '/Absolute upper-left X/ { x = $4 }
            /Absolute upper-left Y/ { y = $4 } /Width:/ { w = $2 } END { print x, y, w }')
        xdotool mousemove $((x + wd - 8)) $((y - 10)) click 1
    else
        press "$w" Escape
    fi
    q=$(wait_other_window vestrel "$w") || fail "a stray ${stray%:*} during a take did not ask"
    sleep 0.3
    press "$q" "$answer"
    wait_gone_id "$q" || fail "$answer left the question open (after a stray ${stray%:*})"
    kill -0 $app 2>/dev/null || fail "$answer on the question ended the program"
    wait_latest status '^Recording' 1 >/dev/null || fail "$answer on the question stopped the take"
done
[ "$(grep -c "^box	$question$" "$VESTREL_SHOWN_LOG")" = 3 ] || fail "the question read: $(grep '^box' "$VESTREL_SHOWN_LOG")"
wait $feeder || fail "nobody recorded the source"
sleep 0.3
press "$w" Return
wait_latest status '^Last take' 3 >/dev/null || fail "Return did not stop the take"
a=$(audible_of "$mp3")
echo "take with three stray closes: $a s of the 8 s tone"
awk -v a="$a" 'BEGIN { exit !(a > 7.7 && a < 8.3) }' || fail "the take holds $a s of the 8 s tone"
# Again, at once: Record and Stop in a row twice must not hang.
press "$w" Return; press "$w" Return; press "$w" Return; press "$w" Return
sleep 0.5
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
echo "ok"
