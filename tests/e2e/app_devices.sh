#!/bin/bash
# A source loaded while the program runs is in the list within 1 s, in its
# sorted place, with the selection still on the device it was on; unloaded
# it goes; during a take the list waits for Stop; the number behind each
# item still opens its own device.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 1
monitor=$(source_description speakers.monitor)
mix=" \+ desktop audio" # each input is listed once more, with the desktop's sound
t0=$(date +%s%N)
mod=$(load_source aard_in "Aardvark Input" "$VESTREL_SESSION_ROOT/aard.fifo") ||
    fail "pactl could not load a source"
wait_shown "^devices	Aardvark Input \| Aardvark Input$mix \| \*Alpha Line In \| Alpha Line In$mix \| $monitor \| Zeta Microphone \| Zeta Microphone$mix\$" 1 >/dev/null ||
    fail "the new source is not in its sorted place with Alpha still selected within 1 s"
echo "listed after $(( ($(date +%s%N) - t0) / 1000000 )) ms"
# Record from the selection: the number behind it is Alpha's new one.
press "$w" Return
feed_synth 2 "$VESTREL_FIFO_ALPHA" sine 1000 vol 0.5 || fail "Alpha was not recorded"
pactl unload-module "$mod"
sleep 1
[ "$(grep -c '^devices' "$VESTREL_SHOWN_LOG")" = 1 ] || fail "the list changed during the take"
sleep 0.5
press "$w" Return
wait_shown "^devices	\*Alpha Line In \| Alpha Line In$mix \| $monitor \| Zeta Microphone \| Zeta Microphone$mix\$" 2 >/dev/null ||
    fail "the list was not refreshed after Stop"
a=$(audible_of "$HOME/MyMP3.mp3")
awk -v a="$a" 'BEGIN { exit !(a > 1.8 && a < 2.3) }' || fail "recorded $a s of sound from the selection, not 2"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo "ok"
