#!/bin/bash
# A recording killed with SIGKILL leaves a decodable MP3 holding all but
# at most the last two seconds.
set -u
. "$(dirname "$0")/lib.sh"
start_recording
feed_tone 500 10 "$VESTREL_FIFO_ALPHA" &
feeder=$!
sleep 5
kill -9 $app; app=
kill $feeder 2>/dev/null
mp3="$HOME/MyMP3.mp3"
d=$(ffmpeg -v error -i "$mp3" -f s16le -ac 1 - | wc -c | awk '{ print $1 / 88200 }')
echo "killed after ~5 s; the file decodes to $d s"
awk -v d="$d" 'BEGIN { exit !(d >= 2.7) }' || fail "lost more than two seconds: $d s"
echo "ok"
