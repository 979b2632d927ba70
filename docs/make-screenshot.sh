#!/bin/bash
# Takes docs/main-window.png: the main window under a private test desktop.
#   docs/make-screenshot.sh [BUILD_DIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
exec "$here/../tests/env/session.sh" bash -c '
    "$0/bin/vestrel" & app=$!
    for _ in $(seq 100); do
        w=$(xdotool search --onlyvisible --name "^Vestrel$" 2>/dev/null | head -1) && [ -n "$w" ] && break
        sleep 0.1
    done
    sleep 3
    eval "$(xdotool getwindowgeometry --shell "$w")"
    import -window root "$VESTREL_SESSION_ROOT/root.png"
    convert "$VESTREL_SESSION_ROOT/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1/main-window.png"
    kill $app
' "$build" "$here"
