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

# A source by its server name; killed outright mid-take, the file decodes to
# within 2 s of what was fed.
load_source kill_in "Killed Input" "$VESTREL_SESSION_ROOT/kill.fifo" >/dev/null || fail "no source loaded"
start_cli --record "$HOME/killed.mp3" --device kill_in --quiet >"$out" 2>&1
wait_streams || fail "no recording stream"
feed_synth 8 "$VESTREL_SESSION_ROOT/kill.fifo" sine 440 vol 0.5 & feeder=$!
sleep 4.5; kill -KILL $app; wait_exit 2>/dev/null; t=4.5
kill_tree $feeder; wait $feeder
d=$(ffmpeg -v error -i "$HOME/killed.mp3" -f s16le - | wc -c | awk '{ print $1 / 176400 }')
echo "killed at $t s: $d s decode"
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

# No sound server: status 1, the window's words, the existing file as it was.
echo "an earlier take" >"$HOME/kept.mp3"
PULSE_SERVER=unix:/nonexistent/native vestrel_cli --record "$HOME/kept.mp3" 2>"$err"; rc=$?
[ $rc = 1 ] && grep -q "^The recording could not be started." "$err" || fail "no server: status $rc, $(cat "$err")"
[ "$(cat "$HOME/kept.mp3")" = "an earlier take" ] || fail "the existing file was changed"
[ -z "$(ls -A "$HOME/.local/share/Trash/files" 2>/dev/null)" ] || fail "something went to the Trash"
echo ok
