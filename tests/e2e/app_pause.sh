#!/bin/bash
# A 9 s tone with about 3 s of its middle paused (Pause, then Resume,
# clicked in the window while it plays) leaves the rest of it in the take,
# whole across the join; the row says "Paused" meanwhile, its time and size
# standing still. Escape while paused asks, and Stop and quit keeps the
# take, without the pause.
# (A clocked source records silence before and after what is fed: the tone
# is measured, not the file.)
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
fifo=$VESTREL_FIFO_ALPHA
now() { date +%s.%N; }
# The 20 ms windows of file $1, from the first that holds the -6 dBFS tone
# to the last, that are more than 1.5 dB off its level (a gap or a glitch).
gaps() {
    ffmpeg -v error -i "$1" -f s16le -ac 1 -ar 44100 - | python3 -c '
import sys, array, math
a = array.array("h"); a.frombytes(sys.stdin.buffer.read())
n = 882
rms = [math.sqrt(sum(x * x for x in a[i:i + n]) / n) for i in range(0, len(a) - n + 1, n)]
on = [i for i, r in enumerate(rms) if r > 5000] or [0]
print(*[i for i in range(on[0] + 1, on[-1]) if abs(20 * math.log10(max(rms[i], 1) / 11585)) > 1.5])'
}
start_recording
wait_shown '^status	Recording' >/dev/null || fail "no recording text"
W=$(xwininfo -id "$w" | awk '/Width:/ { print $2 }'); H=$(xwininfo -id "$w" | awk '/Height:/ { print $2 }')
px=$(( W * 135 / 292 )); py=$(( H * 142 / 199 ))
stop() { click "$w" $(( W * 88 / 292 )) $(( H * 85 / 199 )); } # Enter would press Pause, which has the focus
feed_synth 9 "$fifo" sine 1000 vol 0.5 &
feeder=$!
wait_shown '^meter	Peak -[56]\.' 3 >/dev/null || fail "nobody recorded the source"
sleep 2.5
# The pause begins somewhere between the click and its text, as does the
# resume: the part dropped lies between the shortest and longest reading.
p0=$(now)
click "$w" $px $py
wait_latest status '^Paused ' 2 >/dev/null || fail "Pause did not pause"
p1=$(now)
sleep 0.3 # a buffer filled just before the click may still be on its way
held=$(wait_latest status '^Paused ' 0)
sleep 2.7
[ "$(wait_latest status . 0)" = "$held" ] || fail "the row moved while paused: $(grep '^status	Paused ' "$VESTREL_SHOWN_LOG" | tr '\n' ' ')"
r0=$(now)
click "$w" $px $py
wait_latest status '^Recording ' 2 >/dev/null || fail "Resume did not resume"
r1=$(now)
resumed=$(awk -F '\t' '$1 == "status" && $2 ~ /^Paused / { p = 1 } $1 == "status" && p && $2 ~ /^Recording / { print $2; exit }' "$VESTREL_SHOWN_LOG")
[ "${resumed#Recording }" = "${held#Paused }" ] || fail "resumed at '$resumed' after '$held'"
wait $feeder || fail "the source did not take the tone"
sleep 0.3
stop
line=$(wait_shown '^status	Last take' 3) || fail "no last take text"
mp3=$HOME/MyMP3.mp3
d=$(duration_of "$mp3")
a=$(audible_of "$mp3")
echo "tone kept $a s, paused between $(echo "$r0 - $p1" | bc) and $(echo "$r1 - $p0" | bc) s; ${line#*	}; file $d s"
# The tone is whole: every 20 ms window from its start to its end holds it
# at its level (a gap or a glitch at the join drops one).
bad=$(gaps "$mp3")
[ -z "$bad" ] || fail "the tone is not whole across the join: windows $bad off its level"
awk -v k="$a" -v lo="$(echo "9 - ($r1 - $p0) - 0.25" | bc)" -v hi="$(echo "9 - ($r0 - $p1) + 0.25" | bc)" \
    'BEGIN { exit !(k >= lo && k <= hi) }' || fail "kept $a s of the 9 s tone, with about 3 s paused"
shown=$(echo "$line" | sed -nE 's/^status	Last take ([0-9]+):([0-9]{2}), .*/\1 \2/p')
awk -v m="${shown% *}" -v s="${shown#* }" -v d="$d" 'BEGIN { t = m * 60 + s; exit !(t - d <= 0.7 && d - t <= 0.7) }' ||
    fail "shown '$line' for a take that decodes to $d s"

# Escape while paused asks; Stop and quit (the question's other button,
# by keys) finishes and keeps the take, as Stop does, and ends the program.
t0=$(now)
stop
wait_latest status '^Recording' 2 >/dev/null || fail "the second take did not start"
feed_synth 2 "$fifo" sine 1000 vol 0.5 || fail "the second take did not record"
sleep 0.3
click "$w" $px $py
wait_latest status '^Paused ' 2 >/dev/null || fail "Pause did not pause the second take"
t1=$(now)
sleep 1
press "$w" Escape
q=$(wait_other_window vestrel "$w") || fail "Escape while paused did not ask"
sleep 0.3
press "$q" Tab Return
wait_exit || fail "Stop and quit did not end the program while paused"
[ "$rc" = 0 ] || fail "Stop and quit: exit status $rc"
a2=$(audible_of "$mp3")
d2=$(duration_of "$mp3")
echo "second take: tone $a2 s, file $d2 s, $(echo "$t1 - $t0" | bc) s from Record to paused"
bad=$(gaps "$mp3")
[ -z "$bad" ] || fail "the paused take's tone has gaps: windows $bad"
awk -v k="$a2" 'BEGIN { exit !(k > 1.8 && k < 2.2) }' || fail "the paused take kept $a2 s of tone, not 2"
awk -v d="$d2" -v t="$(echo "$t1 - $t0" | bc)" 'BEGIN { exit !(d < t + 0.3) }' ||
    fail "the paused take lasts $d2 s: more than its $(echo "$t1 - $t0" | bc) s before the pause"
echo "ok: $a s, then $a2 s ended while paused"
