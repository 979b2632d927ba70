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
for _ in $(seq 50); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
wait $app; rc=$?
[ $rc -eq 0 ] || fail "exit status $rc"
echo "ok"
