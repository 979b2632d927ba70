#!/bin/bash
# The web panel's page runs in WebKit's sandbox: the web process is started
# through bwrap, in a mount namespace of its own where the user's files are
# not. Where the sandbox cannot start (a bwrap that fails, mounted over the
# real one in a mount namespace of the test's; needs root), no web process
# runs, the panel says why, Record still records and Escape ends the
# program with status 0.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
site=$VESTREL_SESSION_ROOT/site
mkdir -p "$site"
echo '<!DOCTYPE html><title>Test information</title><p>Sandboxed' >"$site/info.html"
serve_dir "$site"
export VESTREL_INFO_URL=http://127.0.0.1:$port/info.html
echo "not for the page" >"$HOME/private.txt"

# The program's descendants named $1 (as /proc/PID/comm has it).
descendants() { # comm
    local todo=$app kids p
    while [ -n "$todo" ]; do
        kids=$(for p in $todo; do pgrep -P "$p"; done)
        for p in $kids; do [ "$(cat "/proc/$p/comm" 2>/dev/null)" = "$1" ] && echo "$p"; done
        todo=$kids
    done
}

start_app
w=$(wait_window Vestrel) || fail "no main window"
wait_shown '^page	Test information$' 40 >/dev/null || fail "the web panel did not show the page"
web=$(descendants WebKitWebProces)
[ "$(wc -w <<<"$web")" = 1 ] || fail "web processes: '$web'"
parent() { awk '/^PPid:/ { print $2 }' "/proc/$1/status"; }
chain="" p=$(parent "$web")
while [ "${p:-0}" -gt 1 ] && [ "$p" != "$app" ]; do
    chain="$chain $(cat "/proc/$p/comm")" p=$(parent "$p")
done
echo "between the program and its web process:$chain"
[[ " $chain " == *" bwrap "* ]] || fail "the web process was not started through bwrap"
[ "$(readlink "/proc/$web/ns/mnt")" != "$(readlink "/proc/$app/ns/mnt")" ] ||
    fail "the web process shares the program's mount namespace"
[ -e "/proc/$app/root$HOME/private.txt" ] || fail "no file to look for"
[ ! -e "/proc/$web/root$HOME/private.txt" ] || fail "the web process sees the user's files"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"

# A bwrap that cannot make namespaces, as where user namespaces are off.
fake=$VESTREL_SESSION_ROOT/bwrap
printf '#!/bin/sh\necho "bwrap: No permissions to create new namespace" >&2\nexit 1\n' >"$fake"
chmod +x "$fake"
: >"$VESTREL_SHOWN_LOG"
LD_LIBRARY_PATH=${VESTREL_APP_LD_LIBRARY_PATH:-} unshare -m sh -c \
    'mount --bind "$0" /usr/bin/bwrap && exec "$1"' "$fake" "$bin/vestrel" \
    >"$VESTREL_SESSION_ROOT/app.log" 2>&1 &
app=$!
w=$(wait_window Vestrel) || fail "no main window without the sandbox"
wait_shown '^page	Vestrel [0-9.]+$' 40 >/dev/null || fail "the web panel did not show the local page"
sleep 1 # no web process to come either
[ -z "$(descendants WebKitWebProces)$(descendants bwrap)" ] || fail "a web process was started"
press "$w" Return # Record
feed_tone 1000 2 "$VESTREL_FIFO_ALPHA" || fail "nobody recorded the source"
press "$w" Return # Stop
mp3=$HOME/MyMP3.mp3
holds_open "$mp3" || fail "the player did not get the take"
tone=$(tone_of "$mp3")
awk -v t="$tone" 'BEGIN { exit !(t > 950 && t < 1050) }' || fail "the take's tone is ${tone:-none} Hz"
screenshot "$w" "$shots/web_sandbox_failed.png"
text=$(copied_text "$w" 300 420) # in the web panel
grep -qxF "The information page at $VESTREL_INFO_URL could not be loaded: the web panel's sandbox could not be started: bwrap: No permissions to create new namespace" <<<"$text" ||
    fail "the panel says: $text"
[ "$(grep -c 'GET /info.html' "$VESTREL_SESSION_ROOT/http.log")" = 1 ] ||
    fail "the page was fetched again, without the sandbox"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
echo "ok"
