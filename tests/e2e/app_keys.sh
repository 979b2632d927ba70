#!/bin/bash
# A bit rate picked in the drop-down, then Enter, speak, Enter: the take is
# in the file at that rate and the player has it;
# Escape then ends the program with status 0.
set -u
. "$(dirname "$0")/lib.sh"
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
# Again, at once: Record and Stop in a row twice must not hang.
press "$w" Return; press "$w" Return; press "$w" Return; press "$w" Return
sleep 0.5
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
echo "ok"
