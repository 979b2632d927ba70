#!/bin/bash
# Offline, the web panel shows the local page (VESTREL_INFO_URL other than
# http or https is ignored); F1 hands the help page beside the program to the
# desktop's browser; a copy of the program without its help page says so in
# a box instead. Neither the program nor the browser it starts loads a GL
# driver on the program's account.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
fake_browser
export VESTREL_INFO_URL=file://$(cd "$bin" && pwd)/help/index.html
start_app
w=$(wait_window Vestrel) || fail "no main window"
# The session has no network: the information page can't be resolved.
wait_shown '^page	Vestrel [0-9.]+$' 15 >/dev/null || fail "the web panel did not show the local page"
screenshot "$w" "$VESTREL_SESSION_ROOT/offline.png"
text=$(copied_text "$w" 300 420) # in the web panel
grep -qE '^The information page at https://[^ ]+/info\.php\?n=corvane could not be loaded: .+' <<<"$text" ||
    fail "the local page says: $text"
! grep -E '/(dri/|libLLVM)' "/proc/$app/maps" || fail "the program has loaded a GL driver"
before=$(count_windows vestrel)
press "$w" F1
wait_lines "$opened" 1
grep -q "$(cd "$bin" && pwd)/help/index.html" "$opened" ||
    fail "the browser was given '$(cat "$opened" 2>/dev/null)'"
! grep -E '^(GDK_GL|__EGL_VENDOR_LIBRARY_FILENAMES)=' "$opened.env" ||
    fail "the browser was started with the program's GL settings"
sleep 0.5
[ "$(count_windows vestrel)" = "$before" ] || fail "a box came up although the page is there"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"

# Without the page: the box, closed with Return.
copy=$VESTREL_SESSION_ROOT/copy
mkdir -p "$copy"
cp "$bin/vestrel" "$bin/liblame_enc.so" "$copy/"
bin=$copy
: >"$opened"
start_app
w=$(wait_window Vestrel) || fail "no main window from the copy"
sleep 1
before=$(count_windows vestrel)
press "$w" F1
for _ in $(seq 50); do [ "$(count_windows vestrel)" -gt "$before" ] && break; sleep 0.1; done
[ "$(count_windows vestrel)" -gt "$before" ] || fail "no box for the missing help page"
box=$(xdotool search --onlyvisible --name '^vestrel$' | tail -1)
[ ! -s "$opened" ] || fail "a browser was started for a missing page"
press "$box" Return
sleep 0.5
[ "$(count_windows vestrel)" = "$before" ] || fail "Return did not close the box"
press "$w" Escape
wait_exit || fail "Escape did not end the copy"
echo "ok"
