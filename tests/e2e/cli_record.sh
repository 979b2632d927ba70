#!/bin/bash
# `vestrel --record` and `--list-devices` as a script or a timer runs them:
# no display, real sources. Takes are checked with ffprobe and sox; the
# syncs are counted with strace; a take killed mid-way still decodes.
set -u
. "$(dirname "$0")/lib.sh"
out=$VESTREL_SESSION_ROOT/out
err=$VESTREL_SESSION_ROOT/err
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { exit !(a - b <= t && b - a <= t) }'; }

# The list, as the window shows it, with the default marked.
vestrel_cli --list-devices >"$out" || fail "--list-devices failed"
cat "$out"
grep -qx "\* Alpha Line In	alpha_line" "$out" || fail "the default is not marked"
grep -qx "  Zeta Microphone	zeta_mic" "$out" || fail "Zeta is not listed with its source"
[ "$(head -1 "$out" | cut -c3-)" = "Alpha Line In	alpha_line" ] || fail "the list is not sorted"

# Mistakes on the command line: status 2 with what is allowed.
vestrel_cli --record x.mp3 --device "Nobody" 2>"$err"; rc=$?
[ $rc = 2 ] && grep -q "Zeta Microphone	zeta_mic" "$err" || fail "unknown device: status $rc, $(cat "$err")"
vestrel_cli --record x.mp3 --bitrate 100 2>"$err"; rc=$?
[ $rc = 2 ] && grep -q "16, 32, 48, 64, 96, 128, 160, 256" "$err" || fail "bad bit rate: status $rc, $(cat "$err")"
vestrel_cli --record x.mp3 --for 3 2>/dev/null; [ $? = 2 ] || fail "--for 3 was taken"
# Two fields read as hours to some and minutes to others.
vestrel_cli --record x.mp3 --for 1:30 2>"$err"; rc=$?
[ $rc = 2 ] && grep -q "1h30m, 90m or 1:30:00" "$err" || fail "--for 1:30: status $rc, $(cat "$err")"
vestrel_cli --list-devices --record x.mp3 >/dev/null 2>"$err"; rc=$?
[ $rc = 2 ] && grep -q -- "--list-devices goes alone" "$err" || fail "--list-devices --record: status $rc, $(cat "$err")"
[ ! -e x.mp3 ] || fail "a wrong command line made a file"

# A 3-second take from the default source into a strftime name, on a
# terminal (script gives it one). The tone is written at once: a clocked
# source (PipeWire) takes it at its pace, PulseAudio's as it comes.
mkdir "$HOME/takes"
before=$(date +%Y-%m-%d)
( wait_streams && sox -n -r 44100 -c 2 -b 16 -e signed -t raw - synth 3 sine 1000 vol 0.5 \
    >"$VESTREL_FIFO_ALPHA" ) & feeder=$!
script -qec "env -u DISPLAY LD_LIBRARY_PATH=${VESTREL_APP_LD_LIBRARY_PATH:-} $bin/vestrel \
    --record '~/takes/lecture-%Y-%m-%d.mp3' --for 3s" /dev/null >"$out" || fail "the 3 s take failed: $(cat "$out")"
kill_tree $feeder; wait $feeder
take=$(ls "$HOME"/takes/lecture-*.mp3) || fail "no take under a strftime name"
[[ $take == */lecture-$before.mp3 || $take == */lecture-$(date +%Y-%m-%d).mp3 ]] || fail "named $take"
d=$(duration_of "$take"); f=$(tone_of "$take")
echo "3 s take: $d s, $f Hz"
near "$d" 3 0.2 || fail "the 3 s take lasts $d s"
near "$f" 1000 50 || fail "the take's tone is $f Hz"
# Its Info tag: players show the length of the sound written, not an
# estimate from the bit rate. (ffprobe's duration counts the encoder's
# delay, which it gives as the start time.)
w=$(ffprobe -v warning -show_entries format=duration -of csv=p=0 "$take" 2>&1 >/dev/null)
shown=$(ffprobe -v error -show_entries format=start_time,duration -of csv=p=0 "$take" |
    awk -F, '{ print $2 - $1 }')
decoded=$(ffmpeg -v error -i "$take" -f s16le - | wc -c | awk '{ print $1 / 176400 }')
echo "3 s take: ffprobe $d s from $(ffprobe -v error -show_entries format=start_time -of csv=p=0 "$take"), decodes to $decoded s"
[ -z "$w" ] && near "$shown" "$decoded" 0.03 || fail "ffprobe: $shown s ($w), decodes to $decoded s"
tr '\r' '\n' <"$out" | sed 's/\x1b\[K//g' >"$out.lines"
grep -Eq "^Recording 0:0[0-3], [0-9]+ (bytes|KB), peak -[0-9]+ dB" "$out.lines" &&
    grep -q "^$take: 0:03, [0-9]* KB" "$out.lines" || fail "terminal lines: $(cat -A "$out")"

# --device by its name, fed in real time, its syncs counted (at least one a
# second, the folder's once); SIGINT at 2 s keeps the take like Stop
# (status 0), a second one too; not on a terminal nothing but the end line.
# (The leak checker cannot run under a tracer.)
strace -f -qq -e trace=fdatasync,fsync -o "$VESTREL_SESSION_ROOT/syncs" env -u DISPLAY \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" LD_LIBRARY_PATH=${VESTREL_APP_LD_LIBRARY_PATH:-} "$bin/vestrel" --record "$HOME/sigint.mp3" \
    --device "Zeta Microphone" --bitrate 128 >"$out" 2>"$err" &
tracer=$!
wait_streams || fail "no recording stream"
feed_synth 5 "$VESTREL_FIFO_ZETA" sine 440 vol 0.5 & feeder=$!
# A second Ctrl+C while the take is finished changes nothing.
sleep 2; pkill -INT -P $tracer vestrel; sleep 0.01; pkill -INT -P $tracer vestrel
app=$tracer; wait_exit || fail "SIGINT did not end the take"
[ "$rc" = 0 ] || fail "SIGINT: status $rc, $(cat "$err")"
kill_tree $feeder; wait $feeder
[ "$(wc -l <"$out")" = 1 ] && [ ! -s "$err" ] || fail "not on a terminal it printed: $(cat "$out" "$err")"
d=$(duration_of "$HOME/sigint.mp3"); f=$(tone_of "$HOME/sigint.mp3")
# The frames' own rate: the container's is size over length, which rounds.
b=$(ffprobe -v error -select_streams a:0 -show_entries stream=bit_rate -of csv=p=0 "$HOME/sigint.mp3")
syncs=$(grep -c 'fdatasync(' "$VESTREL_SESSION_ROOT/syncs"); dirs=$(grep -c 'fsync(' "$VESTREL_SESSION_ROOT/syncs")
echo "SIGINT at 2 s: $d s, $f Hz, $b b/s; $syncs data syncs, $dirs folder syncs"
near "$d" 2 0.45 && near "$f" 440 30 && [ "$b" = 128000 ] || fail "the SIGINT take: $d s, $f Hz, $b b/s"
[ "$syncs" -ge 2 ] && [ "$dirs" = 1 ] || fail "$syncs data syncs and $dirs folder syncs in a 2 s take"

# A source by its server name, into a name that gets .mp3 added; the file
# in use is refused to another take, which names the holder and the path
# tidied. Killed outright mid-take (no Info tag yet), the file decodes to
# within 2 s of what was fed.
load_source kill_in "Killed Input" "$VESTREL_SESSION_ROOT/kill.fifo" >/dev/null || fail "no source loaded"
start_cli --record "$HOME/killed.wav" --device kill_in --quiet >"$out" 2>&1
wait_streams || fail "no recording stream"
feed_synth 8 "$VESTREL_SESSION_ROOT/kill.fifo" sine 440 vol 0.5 & feeder=$!
t0=$EPOCHREALTIME
sleep 1
vestrel_cli --record "$HOME/./killed.wav" --device kill_in 2>"$err"; rc=$?
[ $rc = 1 ] && grep -qF "The file $HOME/killed.wav.mp3 is being recorded by another Vestrel (vestrel --record, process $app)." "$err" ||
    fail "a second take of the same file: status $rc, $(cat "$err")"
sleep 3.5; kill -KILL $app; t=$(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { print b - a }')
wait_exit 2>/dev/null
kill_tree $feeder; wait $feeder
[ ! -e "$HOME/killed.wav" ] || fail "a take was written under a .wav name"
d=$(ffmpeg -v error -i "$HOME/killed.wav.mp3" -f s16le - | wc -c | awk '{ print $1 / 176400 }')
echo "killed at $t s (fed 8 s): $d s decode"
near "$d" "$t" 2 || fail "the killed take decodes to $d s of $t s fed"

# A closed terminal (SIGHUP) finishes the take as Ctrl+C does: status 0,
# the end line, the take whole.
drain_fifo "$VESTREL_SESSION_ROOT/kill.fifo"
start_cli --record "$HOME/hup.mp3" --device kill_in >"$out" 2>"$err"
wait_streams || fail "no recording stream"
feed_synth 5 "$VESTREL_SESSION_ROOT/kill.fifo" sine 440 vol 0.5 & feeder=$!
sleep 2; kill -HUP $app
wait_exit || fail "SIGHUP did not end the take"
kill_tree $feeder; wait $feeder
a=$(audible_of "$HOME/hup.mp3"); echo "SIGHUP at 2 s: status $rc, $a s kept; $(cat "$out")"
[ "$rc" = 0 ] && grep -q "^$HOME/hup.mp3: 0:0[1-3], [0-9]* KB\$" "$out" || fail "SIGHUP: status $rc, $(cat "$out" "$err")"
near "$a" 2 0.45 || fail "the SIGHUP take holds $a s of about 2"

# A source unplugged mid-take: status 1, the take up to then kept.
mod=$(load_source gone_in "Gone Input" "$VESTREL_SESSION_ROOT/gone.fifo") || fail "no source loaded"
start_cli --record "$HOME/gone.mp3" --device "Gone Input" >"$out" 2>"$err"
wait_streams || fail "no recording stream"
feed_synth 6 "$VESTREL_SESSION_ROOT/gone.fifo" sine 700 vol 0.5 & feeder=$!
sleep 2.5; pactl unload-module "$mod"; wait_exit || fail "the take went on without its source"
kill_tree $feeder; wait $feeder
grep -q "kept in $HOME/gone.mp3" "$err" && [ "$rc" = 1 ] || fail "unplugged: status $rc, $(cat "$err")"
a=$(audible_of "$HOME/gone.mp3"); echo "unplugged at 2.5 s: $a s kept"
near "$a" 2.5 0.6 || fail "kept $a s of 2.5"

# A nearly full disk (a small tmpfs: root only) holding two earlier takes.
# Warned once of the little room left; the take that fills it ends with
# status 1, its end line and message saying what the file truly holds and
# where the earlier take went. With no room at all nothing of the take is
# written, and the earlier file is back under its own name.
if small_disk 1m; then
    lecture=$disk/lecture.mp3 second=$disk/second.mp3
    head -c 100000 /dev/urandom >"$lecture"; head -c 100000 /dev/urandom >"$second"
    sum1=$(md5sum <"$lecture") sum2=$(md5sum <"$second")
    fill_disk "$disk" 49152
    start_cli --record "$lecture" --for 10s >"$out" 2>"$err"
    wait_streams || fail "no recording stream on the small disk"
    feed_synth 10 "$VESTREL_FIFO_ALPHA" sine 440 vol 0.5 & feeder=$!
    wait_exit || fail "the take on a full disk did not end"
    kill_tree $feeder; wait $feeder
    cat "$out" "$err"
    [ "$rc" = 1 ] || fail "full disk: status $rc"
    decoded=$(ffmpeg -v error -i "$lecture" -f s16le - 2>"$err.decode" | wc -c | awk '{ print $1 / 176400 }')
    # Whole frames only: the file ends with the last whole second written.
    [ ! -s "$err.decode" ] || fail "the take on a full disk does not decode cleanly: $(cat "$err.decode")"
    size=$(size_text "$(stat -c %s "$lecture")")
    shown=$(sed -n "s|^$lecture: \([0-9]*\):\([0-9]*\), $size\$|\1 \2|p" "$out")
    [ -n "$shown" ] && awk -v t="$shown" -v d="$decoded" 'BEGIN { split(t, a, " "); s = a[1] * 60 + a[2]
        exit !(s - d <= 0.6 && d - s <= 0.6) }' || fail "end line $(cat "$out") for $decoded s, $size"
    grep -q "is kept in $lecture\.$" "$err" || fail "where the take is: $(cat "$err")"
    if grep -qx "The earlier file of that name is kept as $lecture~." "$err"; then
        [ "$(md5sum <"$lecture~")" = "$sum1" ] || fail "$lecture~ is not the earlier take"
    else
        grep -qx "The earlier file $lecture is in the Trash." "$err" || fail "where the earlier take is: $(cat "$err")"
    fi
    [ "$(grep -c "^vestrel: Disk almost full: less than a minute left$" "$err")" = 1 ] ||
        fail "the little room left was not told once"

    fill_disk "$disk" 0
    start_cli --record "$second" --for 5s >"$out" 2>"$err"
    wait_streams || fail "no recording stream on the full disk"
    feed_synth 5 "$VESTREL_FIFO_ALPHA" sine 440 vol 0.5 & feeder=$!
    wait_exit || fail "the take on a full disk did not end"
    kill_tree $feeder; wait $feeder
    [ "$rc" = 1 ] && [ ! -s "$out" ] || fail "no room: status $rc, $(cat "$out")"
    grep -qF "Nothing of it could be written, so the earlier file is back in $second." "$err" ||
        fail "no room: $(cat "$err")"
    [ "$(md5sum <"$second")" = "$sum2" ] && [ ! -e "$second~" ] || fail "the earlier take is not back: $(ls "$disk")"
    echo "full disk: $shown (m s), decodes to $decoded s, $size; no room: the earlier file is back"

    # More room: the minutes are counted at the take's own bit rate.
    small_disk 16m || fail "no second small disk"
    start_cli --record "$disk/roomy.mp3" --bitrate 256 --for 2s >"$out" 2>"$err"
    wait_streams || fail "no recording stream on the 16 MB disk"
    feed_synth 2 "$VESTREL_FIFO_ALPHA" sine 440 vol 0.5 & feeder=$!
    wait_exit && [ "$rc" = 0 ] || fail "the take on the 16 MB disk: status ${rc:-}, $(cat "$err")"
    kill_tree $feeder; wait $feeder
    grep -qx "vestrel: Disk almost full: about 8 minutes left" "$err" || fail "16 MB at 256k: $(cat "$err")"
else
    echo "not root: the full disk is not tried"
fi

# No sound server: status 1, the window's words, the existing file as it was.
echo "an earlier take" >"$HOME/kept.mp3"
PULSE_SERVER=unix:/nonexistent/native vestrel_cli --record "$HOME/kept.mp3" 2>"$err"; rc=$?
[ $rc = 1 ] && grep -q "^The recording could not be started." "$err" || fail "no server: status $rc, $(cat "$err")"
[ "$(cat "$HOME/kept.mp3")" = "an earlier take" ] || fail "the existing file was changed"
[ -z "$(ls -A "$HOME/.local/share/Trash/files" 2>/dev/null)" ] || fail "something went to the Trash"
echo ok
