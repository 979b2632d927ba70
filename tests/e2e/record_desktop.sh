#!/bin/bash
# A call recorded whole: an input "+ desktop audio" takes the microphone and
# what the default output plays into one file. From the command line: both
# tones at the level fed, the length asked, and the default output switched
# mid-take to another playing a third tone, which the rest of the take
# holds. Through the window (real input under openbox): both tones, a pause
# that keeps out what was said during it, and every output removed
# mid-take: the take goes on and the status row says so.
set -u
. "$(dirname "$0")/lib.sh"
out=$VESTREL_SESSION_ROOT/out
err=$VESTREL_SESSION_ROOT/err
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { exit !(a - b <= t && b - a <= t) }'; }
# Each tone fed at -12 dBFS; the decoded take must hold it within 1.5 dB.
at_level() { near "$1" -12 1.5; }
absent() { awk -v a="$1" 'BEGIN { exit !(a < -40) }'; }
# A tone played to output $3 as a call does: in short blocks, not 2 s ahead
# (150 ms on PulseAudio, where a loaded test machine starved the player at
# 30; on PipeWire a player asking 150 ms was not heard on the second output).
player_ms=30
[ "$VESTREL_SOUND" = pulseaudio ] && player_ms=150
play_tone() { # hz seconds sink
    sox -n -r 44100 -c 2 -b 16 -e signed -t raw - synth "$2" sine "$1" vol 0.25 |
        pacat --raw --rate 44100 --channels 2 --format s16le --latency-msec="$player_ms" -d "$3"
}

vestrel_cli --list-devices >"$out" || fail "--list-devices failed"
grep -qx "  Zeta Microphone + desktop audio	zeta_mic+desktop" "$out" &&
    grep -qx "  Alpha Line In + desktop audio	alpha_line+desktop" "$out" ||
    fail "no input is listed with the desktop's sound: $(cat "$out")"
grep -q "Monitor.* + desktop audio" "$out" && fail "a monitor is listed with the desktop's sound"

# A second output, as headphones plugged in would add.
phones=$(pactl load-module module-null-sink sink_name=phones \
    sink_properties=device.description=Phones) || fail "no second output"

# The command line: 8 s; the default output becomes "phones" at about 4 s.
start_cli --record "$HOME/call.mp3" --device "Zeta Microphone + desktop audio" --for 8s \
    >"$out" 2>"$err"
wait_streams 2 || fail "not both streams: $(pactl list short source-outputs)"
# PulseAudio's pipe source has no clock: the take is as long as what was
# written, so the microphone is written barely ahead of time there.
[ "$VESTREL_SOUND" = pulseaudio ] && export FEED_AHEAD=1
feed_synth 10 "$VESTREL_FIFO_ZETA" sine 440 vol 0.25 & feeder=$!
play_tone 1500 12 speakers & speakers=$!
play_tone 2500 12 phones & headphones=$!
sleep 4
# The call's sound goes to the headphones: the speakers fall silent.
pactl set-default-sink phones
kill_tree $speakers
wait_exit || fail "the 8 s take did not end"
[ "$rc" = 0 ] || fail "the take: status $rc, $(cat "$err")"
kill_tree $feeder; kill_tree $speakers; kill_tree $headphones
wait $feeder $speakers $headphones 2>/dev/null
unset FEED_AHEAD
d=$(duration_of "$HOME/call.mp3")
early=$(tone_levels "$HOME/call.mp3" 2.5 1.3 440 1500 2500)
late=$(tone_levels "$HOME/call.mp3" 6 1.5 440 2500 1500)
echo "command line: $d s; at 2.5-3.8 s 440/1500/2500 Hz at $early dBFS; at 6-7.5 s 440/2500/1500 Hz at $late dBFS"
near "$d" 8 0.3 || fail "the 8 s take lasts $d s"
read -r mic desk other <<<"$early"
at_level "$mic" && at_level "$desk" || fail "the tones are not at the level fed: $early"
absent "$other" || fail "the other output was recorded before it was the default: $other dB"
read -r mic desk old <<<"$late"
at_level "$mic" && at_level "$desk" && absent "$old" ||
    fail "after the switch the new output's tone is missing or the old one's is left: $late"

# The window: Alpha (the default source, first in the list) with the
# desktop's sound, the next item; the default output back on "speakers".
pactl set-default-sink speakers
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 1
click "$w" 200 62 # the device list
sleep 0.7
keys Down Return
# The call is on before Record: the output plays (an idle output is
# suspended and gives its monitor nothing).
play_tone 1500 12 speakers & speakers=$!
sleep 1
press "$w" Return
wait_streams 2 || fail "Record did not start both streams: not on Alpha with the desktop?"
# The microphone from now on: a pipe written before Record would hand
# PulseAudio's take a burst of what waited in it. Paused while it says
# something else (3000 Hz at 3-4.6 s), resumed just after: the held-back mix must keep none of it.
[ "$VESTREL_SOUND" = pulseaudio ] && export FEED_AHEAD=1
feed_synth 3 "$VESTREL_FIFO_ALPHA" sine 440 vol 0.25 : synth 1.6 sine 3000 vol 0.25 : \
    synth 6 sine 440 vol 0.25 & feeder=$!
unset FEED_AHEAD
W=$(xwininfo -id "$w" | awk '/Width:/ { print $2 }'); H=$(xwininfo -id "$w" | awk '/Height:/ { print $2 }')
pause() { click "$w" $(( W * 135 / 292 )) $(( H * 142 / 199 )); }
sleep 2.5
pause
wait_shown "^status	Paused " 2 >/dev/null || fail "Pause did not pause"
sleep 2.2
pause
wait_shown "^status	Recording " 2 >/dev/null || fail "Resume did not resume"
sleep 0.5
# Every output goes: nothing is left for the desktop's side to record.
pactl unload-module "$phones"
pactl unload-module module-null-sink 2>/dev/null
wait_shown "^status	Recording 0:0[2-7], [0-9]+ KB\. Microphone only" 3 \
    >/dev/null || fail "the status row does not say the output went"
sleep 2.5
[ "$(source_outputs)" -ge 1 ] && kill -0 $app || fail "the take did not go on"
screenshot "$w" "$shots/record_desktop.png"
click "$w" $(( W * 88 / 292 )) $(( H * 85 / 199 )) # Stop (Enter would press Pause)
wait_shown "^status	Last take" 5 >/dev/null || fail "Stop did not end the take"
kill_tree $feeder; kill_tree $speakers; wait $feeder $speakers 2>/dev/null
grep -qE "^status	Recording 0:0[4-9], [0-9]+ KB\. Microphone only" "$VESTREL_SHOWN_LOG" ||
    fail "the status row did not keep saying it"
d=$(duration_of "$HOME/MyMP3.mp3")
# PulseAudio's null output gives its monitor's first sound up to a second
# late: the desktop's side is measured from 1 s.
early=$(tone_levels "$HOME/MyMP3.mp3" 1 1 440 1500)
paused=$(tone_levels "$HOME/MyMP3.mp3" 1.5 3 3000) # around the join
late=$(tone_levels "$HOME/MyMP3.mp3" 4.2 1 440 1500)
echo "window: $d s; at 1-2 s 440/1500 Hz at $early dBFS; 3000 Hz (paused) at 1.5-4.5 s $paused dBFS; after the outputs went $late dBFS"
read -r mic desk <<<"$early"
at_level "$mic" && at_level "$desk" || fail "the window's take lacks a tone: $early"
absent "$paused" || fail "what was said during the pause is in the take: $paused dB"
read -r mic desk <<<"$late"
at_level "$mic" && absent "$desk" || fail "after the outputs went: $late"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo ok
