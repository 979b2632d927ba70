#!/bin/bash
# While a take records, the status row shows its level (-6 dBFS tone), the
# clip mark (a tone clipped at full scale), the silence warning after 10 s (gone with
# sound), greyed buttons that look greyed, and at Stop the take's time and
# the file's size. (A clocked source records silence besides what is fed,
# so the take's time is checked against the file.)
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log

fifo=$VESTREL_FIFO_ALPHA
t0=$(date +%s.%N)
start_recording
wait_shown '^status	Recording 0:00' || fail "no recording text"

feed_synth 3 "$fifo" sine 1000 vol 0.5 &
sleep 2.5
shot=$VESTREL_SESSION_ROOT/level.png
screenshot "$w" "$shot"
wait $! || fail "nobody recorded the source"
db=$(grep -E '^meter	Peak -?[0-9.]+ dBFS' "$VESTREL_SHOWN_LOG" | awk '{ v = $3 } END { print v }')
grep -qE '^meter	Peak -[56]\.[0-9] dBFS$' "$VESTREL_SHOWN_LOG" || fail "no level near -6 dBFS shown"
awk '$1 == "meter" && $3 + 0 > -7 && $3 + 0 < -5 { ok = 1 } END { exit !ok }' "$VESTREL_SHOWN_LOG" ||
    fail "level $db, not within 1 dB of -6"
W=$(identify -format %w "$shot"); H=$(identify -format %h "$shot")
mx=$(( W * 232 / 292 )); my=$(( H * 142 / 199 ))
row_has_colour "$shot" $mx $my F2C81D || fail "the meter shows no yellow at -6 dBFS"
row_has_colour "$shot" $mx $my E02323 && fail "the clip mark is lit by a -6 dBFS tone"
# Greyed while recording, and seen to be: Convert and Save's label is grey
# (#666666, still readable at 5.7:1 on white), Stop's black.
label() { darkest "$shot" $(( W * $1 / 292 - 20 )) $(( H * 85 / 199 - 5 )) 40 10; }
[ "$(label 158)" -gt 85 ] && [ "$(label 88)" -lt 60 ] ||
    fail "Convert and Save's label at grey $(label 158) and Stop's at $(label 88): greyed looks live"

feed_synth 2 "$fifo" sine 1000 vol 2 &
sleep 1.6
screenshot "$w" "$VESTREL_SESSION_ROOT/clip.png"
wait $!
wait_shown '^meter	.*, clipped$' 1 >/dev/null || fail "full scale did not light the clip mark"
[ "$(pixel "$VESTREL_SESSION_ROOT/clip.png" $(( W * 283 / 292 )) $my)" = E02323 ] ||
    fail "the clip mark is not red on screen"

feed_synth 11 "$fifo" sine 1000 vol 0 &
# The whole name fits on two lines (a longer one would be shortened).
wait_shown '^status	No sound from Alpha.*: is it muted\?$' 12 >/dev/null ||
    fail "no silence warning after 10 s"
grep -q '^status	No sound from Alpha Line In: is it muted?$' "$VESTREL_SHOWN_LOG" ||
    fail "the warning does not name the device whole: $(grep '^status	No sound' "$VESTREL_SHOWN_LOG" | tail -1)"
screenshot "$w" "$VESTREL_SESSION_ROOT/warning.png"
wait $!
feed_synth 2 "$fifo" sine 440 vol 0.5 &
wait_latest status '^Recording' 1 >/dev/null || fail "the warning stayed with sound back"
wait $!
sleep 0.8
press "$w" Return
line=$(wait_shown '^status	Last take' 3) || fail "no last take text"
wall=$(echo "$(date +%s.%N) - $t0" | bc)
mp3=$HOME/MyMP3.mp3
size=$(stat -c %s "$mp3")
want=$(awk -v b="$size" 'BEGIN { if (b < 1000) printf "%d bytes", b;
    else if (b < 1000000) printf "%d KB", int((b + 500) / 1000); else printf "%.1f MB", b / 1e6 }')
[ "${line#*, }" = "$want" ] || fail "shown '$line', want the size '$want'"
# At least the 3 + 2 + 11 + 2 seconds fed, no more than the take lasted,
# and what the file decodes to (PulseAudio takes only what is fed: 0:18).
d=$(duration_of "$mp3")
shown=$(echo "$line" | sed -nE 's/^status	Last take ([0-9]+):([0-9]{2}), .*/\1 \2/p')
[ -n "$shown" ] || fail "no time in '$line'"
awk -v m="${shown% *}" -v s="${shown#* }" -v d="$d" -v wall="$wall" \
    'BEGIN { t = m * 60 + s; exit !(t >= 18 && t <= wall + 0.5 && t - d <= 0.7 && d - t <= 0.7) }' ||
    fail "shown '$line' for a take that decodes to $d s, fed 18 s in $wall s"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo "ok: level $db dBFS, ${line#*	} (decodes to $d s)"
