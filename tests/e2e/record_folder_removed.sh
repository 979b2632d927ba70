#!/bin/bash
# The output folder is removed mid-take. The recording ends at the next
# buffer with a box, and the take is saved: into the home folder under a
# new name while the folder is gone, at its own path once it is back.
set -u
. "$(dirname "$0")/lib.sh"
dir="$VESTREL_SESSION_ROOT/talks"
mkdir -p "$dir"
start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 2
# Select output file... and a full path typed into the name field.
click "$w" 545 149
save=$(wait_box "Select a file" "$w") || fail "no file dialog"
sleep 0.5
xdotool key ctrl+a
type_into "$save" "$dir/lecture.mp3"
sleep 0.5
# Save, by a click: Return may go to the name completion's pop-up.
click "$save" $(( $(xwininfo -id "$save" | awk '/Width:/ { print $2 }') - 45 )) \
    $(( $(xwininfo -id "$save" | awk '/Height:/ { print $2 }') - 24 ))
wait_gone_id "$save" 10 || fail "the file dialog did not close"
sleep 0.5
take() { # seconds before the folder goes; recreate it? (yes/no)
    click "$w" 199 204 # Record (the focus is on Select output file...)
    sleep 0.3
    feed_tone 1000 $(( $1 + 1 )) "$VESTREL_FIFO_ALPHA" &
    feeder=$!
    sleep "$1"
    rm -rf "$dir"
    [ "$2" = yes ] && mkdir "$dir"
    t0=$(date +%s.%N)
    box=$(wait_box Vestrel "$w") || fail "no box told of the removed folder"
    echo "box after $(echo "$(date +%s.%N) - $t0" | bc) s"
    # What the source was not given any more must not reach the next take.
    timeout 3 cat "$VESTREL_FIFO_ALPHA" >/dev/null
    wait $feeder
    screenshot "$box" "$shots/folder-removed-$2.png"
    press "$box" Return
    wait_gone_id "$box" 10 || fail "the box did not close on Return"
}
take 3 no
kept="$HOME/lecture (recovered).mp3"
[ -s "$kept" ] || fail "the take is not in the home folder: $(ls "$HOME")"
a=$(audible_of "$kept")
echo "folder gone after about 3 s fed: $a s of sound kept in $kept"
awk -v a="$a" 'BEGIN { exit !(a > 2.8) }' || fail "kept $a s of sound"
mkdir -p "$dir"
take 2 yes
[ -s "$dir/lecture.mp3" ] || fail "the take is not back at its path"
a=$(audible_of "$dir/lecture.mp3")
echo "folder back after about 2 s fed: $a s of sound kept in $dir/lecture.mp3"
awk -v a="$a" 'BEGIN { exit !(a > 1.8) }' || fail "kept $a s of sound"
# The player was given the saved take.
holds_open "$dir/lecture.mp3" || fail "the player did not get the saved take"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo "ok"
