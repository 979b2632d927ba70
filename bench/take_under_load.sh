#!/bin/bash
# A take recorded whole while both cores are busy: `vestrel --record` takes
# SECONDS from the null output's monitor, which pacat plays a click track
# into with two seconds of buffer (a source that cannot be starved), while
# one busy loop a core runs. The click track says how many samples the take
# lost (missing_samples, the goal is 0) or gained (extra_samples: silence a
# starved feeder left); pacat's underruns and the program's own account of
# audio it dropped say which side it was. On PipeWire the graph's missed
# cycles are counted too (late_cycles, per client): a client late for a
# cycle loses that quantum (2048 samples) whatever its own buffer.
# STALL_SECONDS stops the program (SIGSTOP) that long in mid-take: its
# take must still come out whole, the server holds the audio meanwhile.
#   [VESTREL_SOUND=pulseaudio|pipewire] bench/take_under_load.sh [BUILD_DIR] [SECONDS] [STALL_SECONDS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
secs=${2:-60}
stall=${3:-0}
# Info level of the graph's nodes: one line per client late for a cycle.
[ "${VESTREL_SOUND:-pulseaudio}" = pipewire ] && export PIPEWIRE_DEBUG="2,pw.node:3"
exec "$here/../tests/env/session.sh" bash -c '
    set -u
    here=$0 bin=$1/bin secs=$2 stall=$3
    root=$VESTREL_SESSION_ROOT
    python3 "$here/clicks.py" make "$root/clicks.raw" $((secs + 20))
    pacat --playback -v -d speakers --raw --format=s16le --rate=44100 --channels=2 \
        --latency-msec=2000 <"$root/clicks.raw" 2>"$root/pacat.log" &
    feeder=$!
    sleep 2
    busy=()
    for _ in $(seq "$(nproc)"); do ( while :; do :; done ) & busy+=($!); done
    # A second recorder of the same monitor with the client library'"'"'s own
    # buffer settings: where both lose samples, the server or the feeder lost them.
    parec -d speakers.monitor --raw --format=s16le --rate=44100 --channels=2 >"$root/witness.raw" &
    witness=$!
    LD_LIBRARY_PATH=$bin "$bin/vestrel" --record "$root/take.mp3" --device speakers.monitor \
        --bitrate 128 --for "${secs}s" --quiet 2>"$root/vestrel.log" &
    program=$!
    if [ "$stall" != 0 ]; then
        sleep $((secs / 2)); kill -STOP $program; sleep "$stall"; kill -CONT $program
    fi
    wait $program
    status=$?
    kill "${busy[@]}" $feeder $witness 2>/dev/null
    wait 2>/dev/null
    echo "server=${VESTREL_SOUND:-pulseaudio} seconds=$secs status=$status load=$(nproc)_busy_loops stall=${stall}s"
    echo "take: $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$root/take.mp3") s"
    python3 "$here/clicks.py" count "$root/take.mp3"
    ffmpeg -v error -f s16le -ar 44100 -ac 2 -i "$root/witness.raw" "$root/witness.wav"
    echo "witness (parec): $(python3 "$here/clicks.py" count "$root/witness.wav")"
    echo "feeder_underruns=$(grep -ci underrun "$root/pacat.log")"
    echo "program_dropped: $(grep -i "lost\|dropped" "$root/vestrel.log" || echo none)"
    if [ "${VESTREL_SOUND:-pulseaudio}" = pipewire ]; then
        late=$(sed -n "s/.*(\([^)]*\)-[0-9]*) client too slow.*/\1/p" "$root/pipewire.log" | sort | uniq -c |
            awk "{printf \" %s=%s\", \$2, \$1}")
        echo "late_cycles=$(grep -c "client too slow" "$root/pipewire.log")${late:+ (}${late# }${late:+)}"
    fi
' "$here" "$build" "$secs" "$stall"
