#!/bin/bash
# Convert and Save as a person uses it: the Options window by clicks beside
# a usable main window
# (Cancel, Escape and its close box drop a choice, OK keeps it), the Save As
# dialog by keys, the completion box closed by OK, Return and its close box
# (Return never starts a recording), a name typed without extension over an
# existing file gets the question and the old file goes to the Trash; then
# Escape ends the program without a click first.
set -u
. "$(dirname "$0")/lib.sh"
take="$HOME/MyMP3.mp3"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
ffmpeg -v error -f lavfi -i sine=f=440:d=3 -ac 2 -ar 44100 -b:a 128k "$take" || fail "no take made"
take_sum=$(md5sum <"$take")
probe() { ffprobe -v error -select_streams a:0 -show_entries "stream=$2" -of csv=p=0 "$1"; }

start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 2
open_options() {
    click "$w" 542 204 # Convert Options
    o=$(wait_window Options) || fail "Convert Options showed no Options window"
    sleep 0.5
}
pick() { # x y downs: opens a drop-down of the Options window, moves, takes it
    click "$o" "$1" "$2"
    sleep 0.7
    for _ in $(seq "$3"); do xdotool key Down; done
    xdotool key Return
    sleep 0.3
}
completion_box() { b=$(wait_other_window Vestrel "$w" "${h:-}" "${q:-}") || fail "no completion box ($1)"; sleep 0.5; }

# (Titles are matched without regard to case: the boxes' "vestrel" also
# matches the main window's "Vestrel", hence wait_other_window.)
# Options sits near the top-left corner of the screen, not over the main window.
open_options
read -r ox oy < <(xwininfo -id "$o" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } END { print x, y }')
[ "$ox" -lt 50 ] && [ "$oy" -lt 80 ] || fail "Options at $ox,$oy, not near the top-left corner"
# The main window stays usable beside it: Help opens its box there.
click "$w" 190 341
h=$(wait_other_window vestrel "$w") || fail "Help gave no box while Options was open"
press "$h" Return
wait_gone_id "$h" || fail "Return left the help box open"
is_visible "$o" || fail "Options went away"
pick 185 72 1 # wav
click "$o" 249 266 # Cancel
wait_gone Options || fail "Cancel left Options open"
open_options
pick 185 72 3 # wma
press "$o" Escape
wait_gone Options || fail "Escape left Options open"
kill -0 $app || fail "Escape in Options ended the program"
open_options
pick 185 190 1 # 64k
close_box "$o"
wait_gone Options || fail "the close box left Options open"

# Nothing was stored: the first conversion is mp3 at 128k.
click "$w" 357 204 # Convert and Save
# A bare name goes beside the take (in the home folder), not into the folder
# the program was started from.
[ "$(pwd)" != "$HOME" ] || fail "the script runs in the home folder"
save_as first
completion_box first
[ "$(probe "$HOME/first.mp3" codec_name)" = mp3 ] || fail "first.mp3 is not mp3"
[ "$(probe "$HOME/first.mp3" bit_rate)" = 128000 ] || fail "first.mp3 not at 128k"
read -r bw bh < <(size_of "$b")
click "$b" $((bw / 2)) $((bh - 26)) # OK
wait_gone_id "$b" || fail "OK left the completion box open"

# wma and 64k, OK: the next conversion is wma at 64 kbps.
open_options
pick 185 72 3
pick 185 190 1
click "$o" 126 266 # OK
wait_gone Options || fail "OK left Options open"
click "$w" 357 204
save_as "$HOME/second"
completion_box second
[ "$(probe "$HOME/second.wma" codec_name)" = wmav2 ] || fail "second.wma is not wma"
[ "$(probe "$HOME/second.wma" bit_rate)" = 64000 ] || fail "second.wma not at 64k"
press "$b" Return
wait_gone_id "$b" || fail "Return left the completion box open"
sleep 1.5
[ "$(md5sum <"$take")" = "$take_sum" ] || fail "Return in the completion box started a recording"
ls "$HOME/.local/share/Trash/files" 2>/dev/null | grep -q MyMP3 && fail "the take went to the Trash"
second_sum=$(md5sum <"$HOME/second.wma")

# "second" again: it becomes second.wma, which exists: the question; No
# brings the dialog back, Yes replaces, and the old file is in the Trash.
click "$w" 357 204
save_as "$HOME/second"
q=$(wait_other_window vestrel "$w") || fail "no question before replacing second.wma"
sleep 0.5
read -r qw qh < <(size_of "$q")
click "$q" $((qw / 4)) $((qh - 18)) # No
# The file dialog comes back once the question is gone (slow under the
# sanitizers): don't type into the one that is closing.
wait_gone_id "$q" || fail "No left the question open"
sleep 1
save_as "$HOME/second"
q=$(wait_other_window vestrel "$w") || fail "no question the second time"
sleep 0.5
click "$q" $((qw * 3 / 4)) $((qh - 18)) # Yes
completion_box replaced
trash="$HOME/.local/share/Trash"
[ -f "$trash/files/second.wma" ] || fail "the replaced second.wma is not in the Trash"
[ "$(md5sum <"$trash/files/second.wma")" = "$second_sum" ] || fail "the Trash holds another file"
grep -qx "Path=$HOME/second.wma" "$trash/info/second.wma.trashinfo" || fail "no .trashinfo for second.wma"
[ "$(probe "$HOME/second.wma" codec_name)" = wmav2 ] || fail "no new second.wma"
close_box "$b"
wait_gone_id "$b" || fail "the close box left the completion box open"

# A name with a dot in it gets the format's extension too ("Talk 10.12"
# is no file type ffmpeg knows).
click "$w" 357 204
save_as "$HOME/Talk 10.12"
completion_box dotted
[ "$(probe "$HOME/Talk 10.12.wma" codec_name)" = wmav2 ] || fail "\"Talk 10.12\" did not become Talk 10.12.wma"
press "$b" Return
wait_gone_id "$b" || fail "Return left the completion box open"

# A file held by a recording (another copy's take: flock, as a recording
# holds it) is refused as the target after the question, and left whole.
cp "$take" "$HOME/held.wma"
held_sum=$(md5sum <"$HOME/held.wma")
flock -x "$HOME/held.wma" sleep 60 >/dev/null 2>&1 &
holder=$!
sleep 0.3
click "$w" 357 204
save_as "$HOME/held"
q=$(wait_other_window vestrel "$w") || fail "no question before replacing held.wma"
sleep 0.5
read -r qw qh < <(size_of "$q")
click "$q" $((qw * 3 / 4)) $((qh - 18)) # Yes
r=$(wait_other_window Vestrel "$w") || fail "replacing a file being recorded was not refused"
grep -A2 "^box	The file $HOME/held.wma is in use by another program (flock, process $holder)" "$VESTREL_SHOWN_LOG" |
    grep -q "Nothing was converted." || fail "the refusal says: $(tail -3 "$VESTREL_SHOWN_LOG")"
press "$r" Return
wait_gone_id "$r" || fail "Return left the refusal open"
kill_tree $holder
[ "$(md5sum <"$HOME/held.wma")" = "$held_sum" ] || fail "the held file changed"
ls "$trash/files" | grep -q held && fail "the held file went to the Trash"

# Escape, with no click into the main window since the conversion.
press "$w" Escape
wait_exit || fail "Escape after a conversion did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
[ "$(md5sum <"$take")" = "$take_sum" ] || fail "the take changed"
echo "ok"
