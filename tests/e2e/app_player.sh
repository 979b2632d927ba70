#!/bin/bash
# The player after a take: its Stop goes back to the start and keeps the
# length ("0:00 / 0:04", slider at the left), Play then plays from the start;
# Record while it plays empties it, and its button reads Play again.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
play_at=(60 269) stop_at=(150 269) record_at=(199 204) # in the main window
# The player's last state: "BUTTON<TAB>ELAPSED / TOTAL<TAB>SLIDER(0..1000)".
player_now() { grep '^player	' "$VESTREL_SHOWN_LOG" | tail -1 | cut -f2-; }
start_recording
feed_tone 600 4 "$VESTREL_FIFO_ALPHA"
press "$w" Return
wait_shown '^player	Pause	0:02 / 0:0[4-7]	' 10 >/dev/null || fail "the take does not play: $(player_now)"
total=$(player_now | cut -f2 | sed 's|.* / ||') # a clocked source (PipeWire) adds some silence
click "$w" "${stop_at[@]}"
wait_shown "^player	Play	0:00 / $total	0\$" >/dev/null || fail "after Stop the player shows '$(player_now)'"
sleep 1 # and stays so
[ "$(player_now)" = "Play	0:00 / $total	0" ] || fail "a second after Stop the player shows '$(player_now)'"
screenshot "$w" "$shots/player_stopped.png"
# Play again: from the start, not from where Stop was pressed.
: >"$VESTREL_SHOWN_LOG"
click "$w" "${play_at[@]}"
wait_shown "^player	Pause	0:01 / $total	" 10 >/dev/null || fail "Play after Stop does not play: $(player_now)"
! grep -q '^player	Pause	0:0[2-4] ' "$VESTREL_SHOWN_LOG" || fail "Play after Stop did not start at the beginning"
# Record while it plays, fed at once (a silent device ends the take).
: >"$VESTREL_SHOWN_LOG"
click "$w" "${record_at[@]}"
feed_tone 600 3 "$VESTREL_FIFO_ALPHA" & feeder=$!
wait_shown '^player	Play	0:00 / 0:00	0$' >/dev/null || fail "Record left the player at '$(player_now)'"
sleep 1
[ "$(player_now)" = "Play	0:00 / 0:00	0" ] || fail "a second after Record the player shows '$(player_now)'"
screenshot "$w" "$shots/player_emptied.png"
wait $feeder
click "$w" "${record_at[@]}"
wait_shown '^status	Last take ' >/dev/null || fail "the second take did not end"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
echo "ok"
