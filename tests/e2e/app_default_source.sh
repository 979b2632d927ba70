#!/bin/bash
# The device list is sorted but starts on the server's default source, not
# on whatever sorts first; a source plugged in later, even made the default,
# does not move the selection, and Record records the selected one.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
pactl set-default-source zeta_mic
start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 1
monitor=$(source_description speakers.monitor)
load_source aard_in "Aardvark Input" "$VESTREL_SESSION_ROOT/aard.fifo" >/dev/null || fail "no source loaded"
pactl set-default-source aard_in
mix=" \+ desktop audio" # each input is listed once more, with the desktop's sound
wait_shown "^devices	Aardvark Input \| Aardvark Input$mix \| Alpha Line In \| Alpha Line In$mix \| $monitor \| \*Zeta Microphone \| Zeta Microphone$mix\$" 2 >/dev/null ||
    fail "the list did not stay on the default source it started on: $(grep '^devices' "$VESTREL_SHOWN_LOG")"
press "$w" Return
wait_streams || fail "Record did not start"
feed_synth 2 "$VESTREL_FIFO_ZETA" sine 440 vol 0.5 || fail "Zeta was not recorded"
press "$w" Return
wait_latest status "^Last take" 3 >/dev/null || fail "the take did not end"
screenshot "$w" "$shots/default-source.png"
f=$(tone_of "$HOME/MyMP3.mp3")
echo "recorded $f Hz"
awk -v f="$f" 'BEGIN { exit !(f > 410 && f < 470) }' || fail "the take holds $f Hz, not Zeta's 440 Hz"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
echo ok
