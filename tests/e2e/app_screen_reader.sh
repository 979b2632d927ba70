#!/bin/bash
# What a screen reader user meets, read and driven through AT-SPI alone:
# the program is called "Vestrel", not by its application id
# (on the test desktop's own accessibility bus); every control Tab reaches
# is named and of the right kind, labels name what they label, the focus
# ring shows on Record and on the web panel, Record pressed through its
# action records and the status reaches the reader as it changes, the
# meter's value follows a -6 dBFS tone, the silence warning (its device's
# name longer than the row) is named and read as text whole, on one line,
# as are its change and the row's text after Stop, and it and its end
# are announced and, with another window active, sent as desktop
# notifications, and the box after Convert and Save is an alert that
# reads "Converted and Saved".
set -u
. "$(dirname "$0")/lib.sh"
a11y() { /usr/bin/python3 "$(dirname "$0")/a11y.py" "$@"; }
# (exec: $! is the reader itself, to be ended.)
a11y_bg() { exec /usr/bin/python3 "$(dirname "$0")/a11y.py" "$@"; }
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
# A source with a name longer than the status row: the window starts on it
# as the server's default.
device="Accessory Port Line In of the Second USB Audio Interface"
fifo=$VESTREL_SESSION_ROOT/accessory.fifo
load_source accessory_in "$device" "$fifo" >/dev/null || fail "could not plug in $device"
pactl set-default-source accessory_in
notes=$VESTREL_SESSION_ROOT/notifications events=$VESTREL_SESSION_ROOT/events
# The desktop notifications asked for on the test desktop's bus.
dbus-monitor --session "interface='org.freedesktop.Notifications',member='Notify'" >"$notes" 2>&1 &
monitor=$!
wait_lines "$notes" 1 || fail "dbus-monitor did not start"
trap 'kill $watchdog $monitor ${listener:-} ${other:-} 2>/dev/null; [ -n "${app:-}" ] && kill -9 $app 2>/dev/null' EXIT

start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 1
a11y tree $app >"$shots/screen-reader-tree.txt" || fail "no accessible tree"
# The program is called by its name, not by its application id.
[ "$(head -1 "$shots/screen-reader-tree.txt")" = "application	'Vestrel'	" ] ||
    fail "the program reads as $(head -1 "$shots/screen-reader-tree.txt")"
a11y check $app Vestrel || fail "the main window as a screen reader reads it (above)"
a11y press $app "Convert Options"
wait_window Options >/dev/null || fail "Convert Options did not open the Options window"
a11y check $app Options || fail "the Options window as a screen reader reads it (above)"
a11y tree $app | grep "^  dialog	'Options'" >/dev/null || fail "the Options window is not a dialog"
a11y press $app Cancel
wait_gone Options || fail "Cancel did not close the Options window"

# The focus ring, drawn once keys move the focus: on Record, then on the
# web panel (Shift+Tab from Record).
ring_of() { # name focused-shot unfocused-shot
    local changed strong half
    read -r changed strong half <<<"$(a11y ring $app "$1" "$2" "$3")"
    # A ring all round: at least half its length stands out from white.
    [ "$strong" -ge "$half" ] ||
        fail "focus on $1 changed $changed pixels, $strong of them at 3:1 against white"
    rings+="$1 $strong/$changed px; "
}
press "$w" Tab shift+Tab
sleep 0.5
screenshot "$w" "$shots/focus-record.png"
press "$w" shift+Tab
sleep 0.5
screenshot "$w" "$shots/focus-web.png"
ring_of Record "$shots/focus-record.png" "$shots/focus-web.png"
ring_of "Information page" "$shots/focus-web.png" "$shots/focus-record.png"

a11y_bg events $app >"$events" 2>&1 &
listener=$!
wait_lines "$events" 1 || fail "the event listener did not start"
feed_synth 4 "$fifo" sine 1000 vol 0.5 &
feeder=$!
a11y press $app Record
heard() { # regex: waits up to 5 s for an event that matches
    for _ in $(seq 50); do grep -qE "$1" "$events" && return 0; sleep 0.1; done
    return 1
}
heard "status bar	Recording 0:0[1-9]" ||
    fail "no status from Record pressed through AT-SPI: $(head -5 "$events")"
[ -s "$HOME/MyMP3.mp3" ] || fail "Record pressed through AT-SPI wrote no take"
level=
for _ in $(seq 20); do
    level=$(a11y value $app "Input level")
    awk -v v="$level" 'BEGIN { exit !(v >= -7 && v <= -5) }' && break
    sleep 0.25
done
awk -v v="$level" 'BEGIN { exit !(v >= -7 && v <= -5) }' || fail "the meter reads $level for a -6 dBFS tone"
wait $feeder

# Silence while the user writes notes in another window.
xmessage -geometry +700+700 "Notes" 2>/dev/null &
other=$!
o=$(wait_window xmessage) || fail "no other window"
xdotool windowactivate --sync "$o"
feed_synth 13 "$fifo" sine 1000 vol 0 &
feeder=$!
warning="No sound from $device: is it muted?"
wait_shown "^notified	$warning" 13 >/dev/null || fail "no silence warning came"
# A screen reader reads the whole sentence, whatever the row shows: the
# name shortened in its middle, the whole sentence in the tooltip (which
# GTK gives as the description), as the status bar's name and as its text
# (what a reader's text commands read, word by word too).
IFS=$'\t' read -r name tip text last < <(a11y status $app)
shown=$(wait_latest status '^No sound from' 1) || fail "the row does not show the warning"
echo "status bar: name '$name', tooltip '$tip', text '$text' (last word '$last'); on screen '$shown'"
[ "$name" = "$warning" ] || fail "the status bar is named '$name'"
[ "$tip" = "$warning" ] || fail "the warning's tooltip is '$tip'"
[ "$text" = "$warning" ] || fail "the status bar's text reads '$text'"
[ "$last" = "muted?" ] || fail "the text's last word reads '$last'"
grep -qxF "object:text-changed:insert	status bar	$warning	$warning" "$events" ||
    fail "the change of text told a reader: $(grep 'text-changed:insert.*No sound' "$events")"
[[ "$shown" == "No sound from Acc"*"..."*"Interface: is it muted?" ]] ||
    fail "the row shows '$shown', not the name shortened in its middle"
screenshot "$w" "$shots/warning.png"
wait $feeder
# Sound again; Stop while it plays (a source with no sound for 5 s would
# stop the take by itself).
feed_synth 3 "$fifo" sine 440 vol 0.5 &
feeder=$!
wait_shown "^notified	Sound from $device again" 4 >/dev/null || fail "the warning's end was not told"
heard "object:announcement.*	${warning/\?/\\?}$" || fail "the warning was not announced: $(cat "$events" | tail -5)"
for said in "$warning" "Sound from $device again"; do
    grep -qF "string \"$said\"" "$notes" || fail "no desktop notification of '$said': $(cat "$notes")"
done
kill $other
xdotool windowactivate --sync "$w"
a11y press $app Stop
shown=$(wait_latest status '^Last take' 3) || fail "Stop pressed through AT-SPI did not stop"
said=$(a11y status $app) # (no tooltip: an empty field)
name=$(cut -f1 <<<"$said") text=$(cut -f3 <<<"$said")
[ "$name" = "$shown" ] && [ "$text" = "$shown" ] ||
    fail "after Stop the row shows '$shown', the status bar is named '$name' and reads '$text'"
wait $feeder
# A reader listening for events while a modal box runs from an action
# keeps the box from getting keys: it goes before Convert and Save.
kill $listener
wait $listener 2>/dev/null

# Convert and Save opens the modal Save As: pressed from a process of its own.
a11y press $app "Convert and Save" &
save_as "$HOME/converted.mp3"
box=$(a11y alert $app "Converted and Saved") || fail "no alert says Converted and Saved"
[ "$(echo "$box" | head -1 | cut -f2)" = "Conversion finished" ] || fail "the completion box reads as '$box'"
[ -s "$HOME/converted.mp3" ] || fail "nothing converted"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
echo "ok: ring ${rings}meter $level dB; heard (the take's clock aside):"
cut -f1,4 "$events" | grep -v -e "^object:text-changed" -e "Recording [0-9]" | sort -u
