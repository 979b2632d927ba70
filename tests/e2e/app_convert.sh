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

# Escape, with no click into the main window since the conversion.
press "$w" Escape
wait_exit || fail "Escape after a conversion did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
[ "$(md5sum <"$take")" = "$take_sum" ] || fail "the take changed"
echo "ok"
