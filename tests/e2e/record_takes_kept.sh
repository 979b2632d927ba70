#!/bin/bash
# No take is destroyed: a new recording sends the previous take to the
# Trash (with its .trashinfo), and a Record that cannot start (its source
# unplugged) changes no file at all and says so.
set -u
. "$(dirname "$0")/lib.sh"
mp3="$HOME/MyMP3.mp3"
trash="$HOME/.local/share/Trash"
start_recording
feed_tone 1000 2 "$VESTREL_FIFO_ALPHA"
press "$w" Return
sleep 1
[ -s "$mp3" ] || fail "no first take"
first=$(md5sum <"$mp3")
press "$w" Return
sleep 0.3
feed_tone 500 1 "$VESTREL_FIFO_ALPHA"
press "$w" Return
sleep 1
[ -f "$trash/files/MyMP3.mp3" ] || fail "the first take is not in the Trash: $(ls -R "$trash" 2>&1)"
[ "$(md5sum <"$trash/files/MyMP3.mp3")" = "$first" ] || fail "the Trash holds something else"
grep -qx "Path=$mp3" "$trash/info/MyMP3.mp3.trashinfo" || fail "no .trashinfo for the first take"
grep -q "^DeletionDate=" "$trash/info/MyMP3.mp3.trashinfo" || fail ".trashinfo without a date"
second=$(md5sum <"$mp3")
[ "$second" != "$first" ] || fail "the second take is not in the file"
f=$(tone_of "$mp3")
awk -v f="$f" 'BEGIN { exit !(f > 450 && f < 550) }' || fail "the file holds $f Hz, not the second take"
# The sound server goes away; Record is refused and nothing is touched.
# (A source that goes away leaves the list, which then offers another.)
kill -9 "$VESTREL_PULSE_PID" || fail "could not stop the sound server"
sleep 1
trashed=$(ls "$trash/files" | wc -l)
press "$w" Return
box=$(wait_box Vestrel "$w") || fail "no box told that Record could not start"
screenshot "$box" "$shots/refused.png"
[ "$(md5sum <"$mp3")" = "$second" ] || fail "a refused Record changed the take ($(stat -c %s "$mp3") bytes)"
[ "$(ls "$trash/files" | wc -l)" -eq "$trashed" ] || fail "a refused Record moved the take away"
click "$box" 250 $(( $(xwininfo -id "$box" | awk '/Height:/ { print $2 }') - 25 ))
wait_gone_id "$box" 10 || fail "OK did not close the box"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo "ok"
