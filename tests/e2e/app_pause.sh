#!/bin/bash
# A 9 s take with its middle 3 s paused (Pause, then Resume, clicked in the
# window) decodes to 6 s, with the tone whole across the join; the row says
# "Paused" meanwhile.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
fifo=$VESTREL_FIFO_ALPHA
start_recording
wait_shown '^status	Recording' >/dev/null || fail "no recording text"
W=$(xwininfo -id "$w" | awk '/Width:/ { print $2 }'); H=$(xwininfo -id "$w" | awk '/Height:/ { print $2 }')
px=$(( W * 135 / 292 )); py=$(( H * 142 / 199 ))
# 1000 Hz over 3 s is a whole number of cycles: the kept parts join in phase.
# The pauses between the parts let the FIFO empty before each click.
feed_synth 3 "$fifo" sine 1000 vol 0.5 || fail "nobody recorded the source"
sleep 0.7
click "$w" $px $py
wait_shown '^status	Paused ' 2 >/dev/null || fail "Pause did not pause"
feed_synth 3 "$fifo" sine 1000 vol 0.5
sleep 0.7
click "$w" $px $py
sleep 0.3
grep '^status' "$VESTREL_SHOWN_LOG" | tail -1 | grep -q '^status	Recording 0:03' || fail "Resume did not resume"
feed_synth 3 "$fifo" sine 1000 vol 0.5
sleep 0.7
# Stop by a click: Enter now would press Pause, which has the focus.
click "$w" $(( W * 88 / 292 )) $(( H * 85 / 199 ))
wait_shown '^status	Last take 0:06' 3 >/dev/null || fail "the last take is not 0:06"
mp3=$HOME/MyMP3.mp3
d=$(duration_of "$mp3")
awk -v d="$d" 'BEGIN { exit !(d > 5.8 && d < 6.2) }' || fail "decodes to $d s, not 6 +/- 0.2"
# The tone is whole: every 20 ms from the start of the tone to its end holds
# it at its level (a gap or a glitch at the join drops a window); the first
# and last windows hold its edges.
ffmpeg -v error -i "$mp3" -f s16le -ac 1 -ar 44100 - | python3 -c '
import sys, array, math
a = array.array("h"); a.frombytes(sys.stdin.buffer.read())
n = 882
rms = [math.sqrt(sum(x * x for x in a[i:i + n]) / n) for i in range(0, len(a) - n, n)]
on = [i for i, r in enumerate(rms) if r > 5000]
first, last = on[0], on[-1]
bad = [i for i in range(first + 1, last) if abs(20 * math.log10(max(rms[i], 1) / 11585)) > 1.5]
print("tone %.2f s, windows off level: %s" % ((last - first + 1) * n / 44100, bad))
sys.exit(1 if bad or (last - first + 1) * n / 44100 < 5.8 else 0)' || fail "the tone is not whole across the join"

# Escape while paused finishes and keeps the take, as while recording.
click "$w" $(( W * 88 / 292 )) $(( H * 85 / 199 ))
sleep 0.5
feed_synth 2 "$fifo" sine 1000 vol 0.5 || fail "the second take did not record"
sleep 0.7
click "$w" $px $py
sleep 0.3
press "$w" Escape
wait_exit || fail "Escape did not end the program while paused"
d2=$(duration_of "$mp3")
awk -v d="$d2" 'BEGIN { exit !(d > 1.8 && d < 2.2) }' || fail "the paused take kept $d2 s, not 2"
echo "ok: $d s, then $d2 s ended while paused"
