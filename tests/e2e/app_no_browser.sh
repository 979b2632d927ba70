#!/bin/bash
# No browser to start (none on PATH, none registered with the desktop):
# Website, F1 and a link on the web panel each say so in one plain box of the program's own, not in
# wxWidgets' "Failed to open URL ... (error N: ...)" box, and the program
# goes on. (A stand-in xdg-open that fails would not do: wxWidgets counts
# xdg-open as having worked once it has started.)
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
gio mime x-scheme-handler/https | grep -q '^No default' ||
    fail "this system registers a browser: $(gio mime x-scheme-handler/https)"
site=$VESTREL_SESSION_ROOT/site
mkdir -p "$site"
cat >"$site/info.html" <<'HTML'
<!DOCTYPE html><html><head><title>Test information</title><style>html,body{margin:0;height:100%}
a{display:block;height:100%;background:#33aa66}</style></head><body><a href="/elsewhere.html">Out</a></body></html>
HTML
serve_dir "$site"
export VESTREL_INFO_URL=http://127.0.0.1:$port/info.html
nobrowser=$VESTREL_SESSION_ROOT/nobrowser # all the program looks for on PATH
mkdir -p "$nobrowser"
ln -s "$(command -v ffmpeg)" "$nobrowser/ffmpeg"
PATH=$nobrowser start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 1
# The program's windows other than the main one.
boxes() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -vx "$w"; }
# One box saying $1 (an extended regex), the only one, closed by Return.
one_box() { # regex what
    for _ in $(seq 50); do [ -n "$(boxes)" ] && break; sleep 0.1; done
    sleep 1 # a second box would be up by now
    local ids; ids=$(boxes)
    [ -n "$ids" ] || fail "no box after $2"
    [ "$(wc -l <<<"$ids")" = 1 ] ||
        fail "$(wc -l <<<"$ids") boxes after $2: $(for b in $ids; do xdotool getwindowname "$b"; done | paste -sd,)"
    wait_shown "^box	$1\$" 1 >/dev/null || fail "after $2 the box says: $(grep '^box' "$VESTREL_SHOWN_LOG" | tail -1)"
    screenshot "$ids" "$shots/no_browser_$3.png"
    press "$ids" Return
    wait_gone_id "$ids" || fail "Return did not close the box after $2"
}
click "$w" 72 341 # Website
one_box 'The website https://[^ ]+/ could not be opened: no web browser was found\.' "Website" website
press "$w" F1
one_box "The help page $(cd "$bin" && pwd)/help/index\.html could not be opened: no web browser was found\." "F1" help
wait_shown '^page	Test information$' 40 >/dev/null || fail "the web panel did not show the page"
for _ in $(seq 50); do
    screenshot "$w" "$shots/no_browser_panel.png"
    link=$(colour_centre "$shots/no_browser_panel.png" 33aa66)
    [ -n "$link" ] && break
    sleep 0.1
done
[ -n "$link" ] || fail "the link is not in the panel (see $shots/no_browser_panel.png)"
# shellcheck disable=SC2086 # "X Y"
click "$w" $link
one_box "The page http://127\.0\.0\.1:$port/elsewhere\.html could not be opened: no web browser was found\." "the link" link
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
echo "ok"
