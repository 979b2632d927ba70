#!/bin/bash
# A 10-minute take converted as a person does it, by clicks and keys:
# the status row counts the progress up on one line, never back, and its
# Cancel puts everything back
# (no ffmpeg left, no partial file, the replaced file back, the take
# untouched); the completion box tells what the file holds, checked
# against ffprobe; Return held down or pressed twice on the box records
# nothing, nor does it after the Help box; Escape during a conversion
# cancels it and ends the program.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
take="$HOME/MyMP3.mp3"
sox -n -r 44100 -c 2 -b 16 -t wav - synth 600 sine 440 vol 0.5 2>/dev/null |
    ffmpeg -v error -f wav -i - -b:a 64k -compression_level 9 "$take" || fail "no take made"
take_sum=$(md5sum <"$take")
old="$HOME/lecture.mp3"
ffmpeg -v error -f lavfi -i sine=f=880:d=2 "$old" || fail "no old file made"
old_sum=$(md5sum <"$old")
ffmpeg_of_app() { # the app's ffmpeg children, from /proc
    local p
    for p in /proc/[0-9]*; do
        [ "$(awk '{ print $4 }' "$p/stat" 2>/dev/null)" = "$1" ] &&
            grep -q '^ffmpeg' "$p/comm" 2>/dev/null && echo "${p#/proc/}"
    done
}
percents() { grep -o '^status	Converting [0-9]*%' "$VESTREL_SHOWN_LOG" | grep -o '[0-9]*' | tr '\n' ' '; }

start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 2
W=$(xwininfo -id "$w" | awk '/Width:/ { print $2 }'); H=$(xwininfo -id "$w" | awk '/Height:/ { print $2 }')
cancel_x=$(( W * 135 / 292 )); cancel_y=$(( H * 142 / 199 ))
convert_to() { click "$w" 357 204; save_as "$1"; }
completion_box() { b=$(wait_other_window Vestrel "$w") || fail "no completion box ($1)"; sleep 0.5; }

# A box gives the focus back to the button that opened it: Return once more
# opens Help again.
for n in 1 2; do
    [ $n = 1 ] && click "$w" 190 341 || xdotool key Return
    h=$(wait_other_window vestrel "$w") || fail "no help box ($n)"
    sleep 0.5
    press "$h" Return
    wait_gone_id "$h" || fail "Return left the help box open"
    sleep 0.3
done

# mp3 at 512k (2 up from 128k in Options), over the old lecture.mp3,
# cancelled at about half.
click "$w" 542 204
o=$(wait_window Options) || fail "no Options window"
sleep 0.5
click "$o" 185 190; sleep 0.7
xdotool key Up Up Return; sleep 0.3
click "$o" 126 266 # OK
wait_gone Options || fail "OK left Options open"
convert_to "$HOME/lecture"
q=$(wait_other_window vestrel "$w") || fail "no question before replacing lecture.mp3"
sleep 0.5
read -r qw qh < <(size_of "$q")
click "$q" $((qw * 3 / 4)) $((qh - 18)) # Yes
wait_latest status '^Converting [5-9][0-9]%' 60 >/dev/null || fail "no progress past 50%: $(percents)"
screenshot "$w" "$shots/converting.png"
pid=$(ffmpeg_of_app "$app")
[ -n "$pid" ] || fail "no ffmpeg while converting"
click "$w" $cancel_x $cancel_y
wait_latest status '^Conversion cancelled$' 5 >/dev/null || fail "Cancel did not cancel"
seen=$(percents)
echo "percentages before Cancel: $seen"
echo "$seen" | awk '{ n = 1; for (i = 2; i <= NF; i++) { if ($i < $(i - 1)) exit 1; n += $i > $(i - 1) } exit n < 5 }' ||
    fail "not 5 distinct rising percentages: $seen"
grep -q "^status	Converting [0-9]*% ([0-9:]* of 10:00)$" "$VESTREL_SHOWN_LOG" || fail "no 'of 10:00' in the progress"
# The position never steps back, and the whole line has room in the row.
back=$(sed -n 's/^status	Converting [0-9]*% (\([0-9]*\):\([0-9]*\) of 10:00)$/\1 \2/p' "$VESTREL_SHOWN_LOG" |
    awk '{ t = $1 * 60 + $2; if (t < last) print last " then " t; last = t }')
[ -z "$back" ] || fail "the progress went back: $back"
fits_its_place "status row"
grep -q '^layout	status row	' "$VESTREL_SHOWN_LOG" || fail "the progress line was not measured"
grep -q "^status	Converting 100%" "$VESTREL_SHOWN_LOG" && fail "100% shown for a cancelled conversion"
[ -z "$(ffmpeg_of_app "$app")" ] && [ ! -e "/proc/$pid" ] || fail "ffmpeg $pid still there after Cancel"
[ "$(md5sum <"$old" 2>/dev/null)" = "$old_sum" ] || fail "the replaced lecture.mp3 is not back"
ls "$HOME/.local/share/Trash/files" 2>/dev/null | grep -q lecture && fail "lecture.mp3 left in the Trash"
[ "$(ls "$HOME")" = "$(printf 'MyMP3.mp3\nlecture.mp3')" ] || fail "other files in the home folder: $(ls "$HOME")"
[ "$(md5sum <"$take")" = "$take_sum" ] || fail "Cancel changed the take"
[ "$(wait_latest status . 0)" = "Conversion cancelled" ] || fail "the row went on"
# The button reads Cancel, live, while converting; Pause after, greyed.
screenshot "$w" "$shots/cancelled.png"
label() { darkest "$1" $((cancel_x - 15)) $((cancel_y - 5)) 30 10; }
echo "darkest of the button's label: $(label "$shots/converting.png") converting, $(label "$shots/cancelled.png") after"
[ "$(label "$shots/converting.png")" -lt 80 ] || fail "Cancel looks greyed while converting"
[ "$(label "$shots/cancelled.png")" -gt 100 ] || fail "the disabled Pause looks live"

# mp3 at 512k: the box tells the written 320k and why, as ffprobe reads the
# file (its bit rate is the file's, as a file manager tells it).
convert_to "$HOME/lecture-512"
completion_box mp3
screenshot "$b" "$shots/completion.png"
out="$HOME/lecture-512.mp3"
rate=$(ffprobe -v error -show_entries format=bit_rate -of csv=p=0 "$out")
secs=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out")
size=$(stat -c %s "$out")
want=$(printf 'MP3, %d kb/s, %d:%02d, %.1f MB' $((rate / 1000)) "$(printf %.0f "$secs" | awk '{ print int($1 / 60) }')" \
    "$(printf %.0f "$secs" | awk '{ print $1 % 60 }')" "$(echo "$size / 1000000" | bc -l)")
box=$(awk '/^box\t/ { t = "" } { t = t $0 "\n" } END { printf "%s", t }' "$VESTREL_SHOWN_LOG")
expected=$(printf 'box\tConverted and Saved\n\n%s\n%s\nmp3 goes up to 320k\n' "$out" "$want")
[ "$box" = "$expected" ] || fail "the box says '$box', ffprobe '$want'"
[ "$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 "$out")" = mp3 ] || fail "not mp3"
# Return held down for a second on the box: it closes it, the repeats reach nothing.
xdotool mousemove --window "$b" 20 20
xdotool windowactivate --sync "$b" 2>/dev/null
xdotool keydown Return; sleep 1; xdotool keyup Return
wait_gone_id "$b" || fail "Return left the box open"
sleep 1
[ "$(count_windows 'Select a file')" = 0 ] || fail "the held Return went on to Convert and Save"
[ "$(md5sum <"$take")" = "$take_sum" ] || fail "the held Return started a recording"
# Twice 0.3 s apart: the second lands on Convert and Save, whence the box
# came. (On a loaded machine the first one's release can go with the box,
# and the second is then taken for its repeat and dropped: as safe.)
convert_to "$HOME/again"
completion_box again
xdotool mousemove --window "$b" 20 20
xdotool windowactivate --sync "$b" 2>/dev/null
xdotool key Return; sleep 0.3; xdotool key Return
wait_gone_id "$b" || fail "Return left the box open"
for _ in $(seq 50); do [ "$(count_windows 'Select a file')" = 0 ] || break; sleep 0.1; done
if [ "$(count_windows 'Select a file')" = 0 ]; then
    echo "the second Return was taken for a repeat" >&2
    [ "$(md5sum <"$take")" = "$take_sum" ] || fail "two Returns started a recording"
    click "$w" 357 204 # Convert and Save
fi
[ "$(md5sum <"$take")" = "$take_sum" ] || fail "two Returns started a recording"
# Escape during the conversion it starts: cancelled, and the program ends.
save_as "$HOME/closing"
wait_latest status '^Converting [1-9][0-9]*%' 30 >/dev/null || fail "the last conversion shows no progress"
pid=$(ffmpeg_of_app "$app")
press "$w" Escape
wait_exit || fail "Escape during a conversion did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
[ -n "$pid" ] && [ ! -e "/proc/$pid" ] || fail "ffmpeg ${pid:-?} outlived the program"
[ ! -e "$HOME/closing.mp3" ] || fail "a partial closing.mp3 was left"
[ "$(md5sum <"$take")" = "$take_sum" ] || fail "the take changed"
echo "ok"
