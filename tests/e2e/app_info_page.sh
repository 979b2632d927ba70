#!/bin/bash
# The web panel against a real web server, pointed at it by VESTREL_INFO_URL:
# an address the server answers with 404 brings the local page, which names
# the status; links clicked on a page that loads, one of them into a new
# window, go to the desktop's browser and the panel keeps the page.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
fake_browser
site=$VESTREL_SESSION_ROOT/site
mkdir -p "$site"
# Two links that fill the panel between them, in colours a screenshot finds.
cat >"$site/info.html" <<'HTML'
<!DOCTYPE html><html><head><meta charset="utf-8"><title>Test information</title>
<style>html,body{margin:0;height:100%}a{display:block;height:50%;background:#33aa66;color:#fff}
a+a{background:#3366aa}</style></head>
<body><a href="/elsewhere.html">Same window</a><a href="/new.html" target="_blank">New window</a></body></html>
HTML
# What the panel would show had it followed a link.
echo '<title>Elsewhere</title>' >"$site/elsewhere.html"
echo '<title>New</title>' >"$site/new.html"
serve_dir "$site"
site_url=http://127.0.0.1:$port

export VESTREL_INFO_URL=$site_url/info.html
start_app
w=$(wait_window Vestrel) || fail "no main window"
wait_shown '^page	Test information$' 40 >/dev/null || fail "the web panel did not show the page"
# The title comes before the page is painted.
for _ in $(seq 50); do
    screenshot "$w" "$shots/info_page.png"
    same=$(colour_centre "$shots/info_page.png" 33aa66)
    new=$(colour_centre "$shots/info_page.png" 3366aa)
    [ -n "$same" ] && [ -n "$new" ] && break
    sleep 0.1
done
[ -n "$same" ] && [ -n "$new" ] || fail "the links are not in the panel (see $shots/info_page.png)"
# shellcheck disable=SC2086 # "X Y"
click "$w" $same
wait_lines "$opened" 1 || fail "the browser was not started for the link"
# shellcheck disable=SC2086
click "$w" $new
wait_lines "$opened" 2 || fail "the browser was not started for the new-window link"
[ "$(cat "$opened")" = "$site_url/elsewhere.html
$site_url/new.html" ] || fail "the browser was given: $(cat "$opened")"
sleep 1 # time for the panel to follow a link it should not
[ "$(grep '^page	' "$VESTREL_SHOWN_LOG" | tail -1)" = "page	Test information" ] ||
    fail "the panel left the information page"
! grep -qE 'GET /(elsewhere|new)\.html' "$VESTREL_SESSION_ROOT/http.log" ||
    fail "the panel loaded a link: $(cat "$VESTREL_SESSION_ROOT/http.log")"
screenshot "$w" "$shots/info_page_after.png"
[ "$(colour_centre "$shots/info_page_after.png" 33aa66)" = "$same" ] ||
    fail "the page is gone from the panel (see $shots/info_page_after.png)"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"

# An address the server does not have: the local page, with the reason.
: >"$VESTREL_SHOWN_LOG"
export VESTREL_INFO_URL=$site_url/missing.html
start_app
w=$(wait_window Vestrel) || fail "no main window for the missing page"
wait_shown '^page	Vestrel [0-9.]+$' 40 >/dev/null || fail "the web panel did not show the local page"
sleep 0.5
screenshot "$w" "$shots/info_page_404.png"
# shellcheck disable=SC2086
want="The information page at $site_url/missing.html could not be loaded: the server answered with HTTP status 404"
# Its title is shown before its text is laid out: a slow program (the
# sanitizers, a loaded machine) is given the time to finish.
for _ in $(seq 10); do
    text=$(copied_text "$w" $same)
    grep -qF "$want" <<<"$text" && break
    sleep 1
done
grep -qF "$want" <<<"$text" || fail "the local page says: $text"
# The server's own error page never showed, not even for a moment.
[ "$(grep -c '^page	' "$VESTREL_SHOWN_LOG")" = 1 ] ||
    fail "the panel showed other pages first: $(grep '^page	' "$VESTREL_SHOWN_LOG" | tr '\n' ' ')"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
echo "ok"
