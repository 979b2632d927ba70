#!/bin/bash
# No take is destroyed: a new recording sends the previous take to the
# Trash (with its .trashinfo); on a nearly full disk (a small tmpfs, root
# only) the row warns of the little room left and the box that ends the take
# says what the file truly holds and where the earlier take went; and a
# Record that cannot start (no sound server) changes no file at all and
# says so.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
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
target=$mp3
if small_disk 1m; then
    lecture=$disk/lecture.mp3
    # Select output file... and the path typed into the name field.
    click "$w" 545 149
    save=$(wait_box "Select a file" "$w") || fail "no file dialog"
    sleep 0.5
    xdotool key ctrl+a
    type_into "$save" "$lecture"
    sleep 0.5
    click "$save" $(( $(xwininfo -id "$save" | awk '/Width:/ { print $2 }') - 45 )) \
        $(( $(xwininfo -id "$save" | awk '/Height:/ { print $2 }') - 24 ))
    wait_gone_id "$save" 10 || fail "the file dialog did not close"
    head -c 100000 /dev/urandom >"$lecture"
    earlier=$(md5sum <"$lecture")
    fill_disk "$disk" 49152
    sleep 0.5
    click "$w" 199 204 # Record (the focus is on Select output file...)
    feed_tone 1000 12 "$VESTREL_FIFO_ALPHA" & feeder=$!
    wait_shown '^status	Disk almost full: less than a minute left$' 5 >/dev/null ||
        fail "the row did not warn of the little room left"
    grep -Eq '^(announced|notified)	Disk almost full: less than a minute left$' "$VESTREL_SHOWN_LOG" ||
        fail "the little room left was not announced"
    box=$(wait_box Vestrel "$w") || fail "no box told of the full disk"
    kill_tree $feeder; wait $feeder
    timeout 3 cat "$VESTREL_FIFO_ALPHA" >/dev/null
    screenshot "$box" "$shots/disk-full.png"
    size=$(size_text "$(stat -c %s "$lecture")")
    decoded=$(ffmpeg -v error -i "$lecture" -f s16le - | wc -c | awk '{ print $1 / 176400 }')
    said=$(grep -o "What was recorded up to then ([0-9:]*, $size) is kept in $lecture\." "$VESTREL_SHOWN_LOG") ||
        fail "the box says: $(grep -A4 '^box' "$VESTREL_SHOWN_LOG" | tail -5)"
    awk -v t="$(echo "$said" | sed -E 's/.*\(([0-9]+):([0-9]+),.*/\1 \2/')" -v d="$decoded" \
        'BEGIN { split(t, a, " "); s = a[1] * 60 + a[2]; exit !(s - d <= 0.6 && d - s <= 0.6) }' ||
        fail "the box says '$said' of a take that decodes to $decoded s"
    if grep -qx "The earlier file of that name is kept as $lecture~." "$VESTREL_SHOWN_LOG"; then
        [ "$(md5sum <"$lecture~")" = "$earlier" ] || fail "$lecture~ is not the earlier take"
    else
        grep -qx "The earlier file $lecture is in the Trash." "$VESTREL_SHOWN_LOG" ||
            fail "the box does not say where the earlier take is"
    fi
    press "$box" Return
    wait_gone_id "$box" 10 || fail "the box did not close on Return"
    wait_latest status "^Last take [0-9:]*, $size\$" 3 >/dev/null ||
        fail "the row says $(grep '^status' "$VESTREL_SHOWN_LOG" | tail -1) of $size"
    echo "full disk: $said (decodes to $decoded s)"
    target=$lecture second=$(md5sum <"$lecture")
fi

# The sound server goes away; Record is refused and nothing is touched.
# (A source that goes away leaves the list, which then offers another.)
kill -9 "$VESTREL_PULSE_PID" || fail "could not stop the sound server"
sleep 1
trashed=$(ls "$trash/files" | wc -l)
click "$w" 199 204 # Record
box=$(wait_box Vestrel "$w") || fail "no box told that Record could not start"
screenshot "$box" "$shots/refused.png"
[ "$(md5sum <"$target")" = "$second" ] || fail "a refused Record changed the take ($(stat -c %s "$target") bytes)"
[ ! -e "$target~2" ] || fail "a refused Record moved the take away"
[ "$(ls "$trash/files" | wc -l)" -eq "$trashed" ] || fail "a refused Record moved the take away"
click "$box" 250 $(( $(xwininfo -id "$box" | awk '/Height:/ { print $2 }') - 25 ))
wait_gone_id "$box" 10 || fail "OK did not close the box"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo "ok"
