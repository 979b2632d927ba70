#!/bin/bash
# Installed to a prefix and the prefix moved: the program still finds its
# data and icons beside itself. About, opened from the context menu by
# Shift+F10, shows thanks.txt (its text read back through the clipboard),
# and the windows carry the program's icon and the desktop file's class.
set -u
. "$(dirname "$0")/lib.sh"
build=$(cd "$bin/.." && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
cmake --install "$build" --prefix "$VESTREL_SESSION_ROOT/prefix" >/dev/null || fail "install failed"
mv "$VESTREL_SESSION_ROOT/prefix" "$VESTREL_SESSION_ROOT/moved"
bin="$VESTREL_SESSION_ROOT/moved/bin"
[ -e "$build/bin/thanks.txt" ] || fail "no thanks.txt in the build"
start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 2
# The program's own icons come in four sizes (a window manager's stand-in
# in one).
has_icons() { [ "$(xprop -id "$1" _NET_WM_ICON | grep -c -e "Icon (16 x 16)" -e "Icon (48 x 48)")" = 2 ]; }
has_icons "$w" || fail "the main window lacks the program's icons"
# A dock or app grid puts the window under the desktop file's entry.
class=$(xprop -id "$w" WM_CLASS | sed 's/.*, "\(.*\)"$/\1/')
grep -qx "StartupWMClass=$class" "$VESTREL_SESSION_ROOT"/moved/share/applications/*.desktop ||
    fail "the desktop file does not name the window's class '$class'"

press "$w" shift+F10
sleep 0.7
xdotool key Down Return
a=$(wait_window "About Vestrel") || fail "Shift+F10 and the About entry opened no About box"
sleep 1
has_icons "$a" || fail "the About box lacks the program's icons"
read -r aw ah < <(size_of "$a")
click "$a" $((aw / 2)) $((ah / 2)) # into the text
xdotool key ctrl+a ctrl+c
sleep 0.5
xclip -o -selection clipboard >"$VESTREL_SESSION_ROOT/shown.txt" || fail "nothing copied from the About text"
diff <(tr -d '\r' <"$src/data/thanks.txt") "$VESTREL_SESSION_ROOT/shown.txt" >&2 ||
    fail "the About box does not show thanks.txt"
press "$a" Escape
wait_gone "About Vestrel" || fail "Escape left the About box open"
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
echo ok
