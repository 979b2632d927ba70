#!/bin/bash
# No sound server: the "No Input Device Available" box first, then the
# main window with an empty device list; Escape ends it with status 0.
set -u
. "$(dirname "$0")/lib.sh"
export PULSE_SERVER=unix:/nonexistent/native
start_app
box=$(wait_window Corvane) || fail "no 'Corvane' box"
press "$box" Return
w=$(wait_window Vestrel) || fail "no main window after the box"
sleep 0.5
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
echo "ok"
