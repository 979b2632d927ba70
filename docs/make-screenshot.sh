#!/bin/bash
# Takes docs/main-window.png: the main window recording, under a private
# test desktop; with a locale (de_DE) docs/main-window-de.png, in its
# language.
#   docs/make-screenshot.sh [BUILD_DIR [LOCALE]]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
locale=${2:-}
name=main-window${locale:+-${locale%%_*}}.png
[ -z "$locale" ] || export LANG=$locale.UTF-8 LANGUAGE=
VESTREL_WM=openbox exec "$here/../tests/env/session.sh" bash -c '
    "$0/bin/vestrel" & app=$!
    for _ in $(seq 100); do
        w=$(xdotool search --onlyvisible --pid $app --name "." 2>/dev/null | head -1) && [ -n "$w" ] && break
        sleep 0.1
    done
    sleep 3
    # A recording in progress, with its status row.
    xdotool mousemove --window "$w" 20 20
    xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w"
    xdotool key Return
    timeout 15 bash -c "exec >\"\$VESTREL_FIFO_ALPHA\"; sox -n -r 44100 -c 2 -b 16 -e signed -t raw - synth 8 sine 300 vol 0.35 tremolo 3 60 |
        while [ \"\$(dd bs=17640 count=1 iflag=fullblock status=none | tee /dev/fd/3 | wc -c)\" -gt 0 ]; do sleep 0.1; done 3>&1" &
    sleep 6.3
    import -window "$w" "$1/$2"
    kill $app
' "$build" "$here" "$name"
