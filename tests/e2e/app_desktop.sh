#!/bin/bash
# The program on the desktop the test session runs (X11 with a window
# manager, or GNOME's compositor on Wayland), driven only through the verbs
# both share: a take by keys and one by pointer hold the tones fed; Options
# by pointer, opening over the main window, then Convert and Save: the
# completion box opens centred over the main window, which stays usable,
# the player has the take again, and Return closes the box; Shift+F10 opens
# the About menu at the focused control; Escape ends the program with status
# 0 and nothing on standard error. The windows carry the desktop file's
# application id (Wayland) or window class (X11), and on X11 a window larger
# than the screen at GDK_SCALE=2 is fitted to it with every text whole
# (run on a 1024x768 screen). The About box names the ffmpeg found.
set -u
. "$(dirname "$0")/lib.sh"
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
# The X11 test desktop has no session bus, so no settings store for the
# file chooser to write to (it would say so on standard error).
[ -z "${WAYLAND_DISPLAY:-}" ] && export GSETTINGS_BACKEND=memory
mp3=$HOME/MyMP3.mp3
probe() { ffprobe -v error -select_streams a:0 -show_entries "stream=$2" -of csv=p=0 "$1"; }
# The take in $mp3 holds about 3 s of a tone at $1 Hz.
check_take() { # hz how
    wait_latest status '^Last take' 10 >/dev/null || fail "the take $2 did not end"
    local d f
    d=$(audible_of "$mp3") f=$(tone_of "$mp3")
    echo "take $2: ${d}s of ${f} Hz"
    awk -v d="$d" -v f="$f" -v hz="$1" 'BEGIN { exit !(d > 2.7 && d < 3.4 && f > hz * 0.95 && f < hz * 1.05) }' ||
        fail "the take $2 holds ${d}s at ${f} Hz, not 3 s at $1 Hz"
}
# The part of the screen that changed between two screenshots: "X Y W H".
changed() { # before after
    convert "$1" "$2" -compose difference -composite -threshold 10% -format '%@' info: 2>/dev/null |
        awk -F'[x+]' '{ print $3, $4, $1, $2 }'
}

start_app
w=$(wait_window Vestrel) || fail "no main window"
if [ -n "${WAYLAND_DISPLAY:-}" ]; then
    grep -aq "set_app_id(\"$VESTREL_APP_ID\")" "$VESTREL_SESSION_ROOT/app.log" ||
        fail "the window's application id is not $VESTREL_APP_ID: $(grep -ao 'set_app_id(.*)' "$VESTREL_SESSION_ROOT/app.log" | head -1)"
else
    [ "$(xprop -id "$w" WM_CLASS | sed 's/.*, "\(.*\)"$/\1/')" = Vestrel ] || fail "window class: $(xprop -id "$w" WM_CLASS)"
fi
wait_latest status . 10 >/dev/null # the status row is up
sleep 0.5
screenshot "$w" "$shots/main.png"

# By keys: Return starts (Record has the focus) and stops.
press "$w" Return
feed_tone 1000 3 "$VESTREL_FIFO_ALPHA" || fail "nobody recorded the source"
press "$w" Return
check_take 1000 "by keys"
# By pointer: Record, then the same button, now Stop.
click "$w" 199 204
feed_tone 440 3 "$VESTREL_FIFO_ALPHA" || fail "nobody recorded the source"
click "$w" 199 204
check_take 440 "by pointer"

# Options by pointer: it opens over the main window as every box does; wav,
# OK.
click "$w" 542 204
o=$(wait_window Options) || fail "Convert Options showed no Options window"
sleep 0.5
screenshot_all "$shots/options.png"
centred_over "$w" "$o" || fail "Options did not open over the main window (see options.png)"
click "$o" 185 72
sleep 0.7
keys Down Return
sleep 0.3
click "$o" 126 266 # OK
wait_gone Options || fail "OK left Options open"

click "$w" 357 204 # Convert and Save
save_as "$HOME/converted"
b=$(wait_other_window Vestrel "$w") || fail "no completion box"
[ "$(probe "$HOME/converted.wav" codec_name)" = pcm_s16le ] || fail "converted.wav is not wav"
centred_over "$w" "$b" || fail "the completion box is not centred over the main window"
# The player has the take again once the conversion is over, not playing.
wait_latest player '^Play	0:00 / 0:0[2-4]	0$' 3 >/dev/null ||
    fail "the player after the conversion: $(grep "^player" "$VESTREL_SHOWN_LOG" | tail -4)"
sleep 0.5
screenshot "$b" "$shots/completion-box.png"
# The main window takes clicks beside the box: Help, whose box has no
# caption of its own and shows the program's file name. On X11 the box,
# taller with what the file holds, covers Help: moved aside as a person
# would drag it (on Wayland it stays where the compositor put it).
[ -n "${WAYLAND_DISPLAY:-}" ] || xdotool windowmove "$b" 0 0
click "$w" 190 341
h=$(wait_other_window vestrel "$w" "$b") || fail "the main window took no click while the completion box was open"
[ "$(window_title "$h")" = vestrel ] || fail "the help box is titled '$(window_title "$h")', not vestrel"
press "$h" Return
wait_gone_id "$h" || fail "Return left the help box open"
press "$b" Return
wait_gone_id "$b" || fail "Return left the completion box open"

# Shift+F10 at the focused control (Convert and Save, where the focus went
# back when the completion box closed), found
# as what changes on the screen once the box has gone from it.
before=$VESTREL_SESSION_ROOT/before-menu.png
for _ in $(seq 10); do
    screenshot_all "$before.1"; sleep 0.3; screenshot_all "$before"
    [ "$(compare -metric AE "$before.1" "$before" null: 2>&1)" = 0 ] && break
done
press "$w" shift+F10
for _ in $(seq 10); do
    sleep 0.5
    screenshot_all "$shots/about-menu.png"
    read -r ux uy uw _ < <(changed "$before" "$shots/about-menu.png")
    [ "$uw" -gt 0 ] && break
done
[ "$uw" -gt 0 ] || fail "Shift+F10 opened no menu"
sleep 0.5 # the menu fully drawn
screenshot_all "$shots/about-menu.png"
read -r ux uy _ < <(changed "$before" "$shots/about-menu.png")
read -r mx my _ < <(window_frame "$w")
echo "menu at $((ux - mx)),$((uy - my)) in the main window"
[ $((ux - mx)) -gt 250 ] && [ $((ux - mx)) -lt 460 ] && [ $((uy - my)) -gt 170 ] && [ $((uy - my)) -lt 240 ] ||
    fail "Shift+F10 opened the menu at $((ux - mx)),$((uy - my)), not at Convert and Save"
keys Down Return
a=$(wait_window "About Vestrel") || fail "the menu's About entry opened no About box"
sleep 1
screenshot "$a" "$shots/about.png"
# It names the ffmpeg Convert and Save runs, and its version; each text fits
# its place, and the box keeps its template's size (its texts did not make
# it grow).
version=$(ffmpeg -version | awk 'NR == 1 { print $3 }')
found=$(printf 'The ffmpeg found is version %s, at %s.' "$version" "$(command -v ffmpeg)" | sed 's/[].+*?^$()[]/\\&/g')
wait_shown "^layout	About Vestrel	.*	$found\$" 5 >/dev/null ||
    fail "the About box does not name ffmpeg $version: $(grep '^layout	About' "$VESTREL_SHOWN_LOG")"
fits_its_place "About Vestrel"
grep -q '^scale	About Vestrel	1.00$' "$VESTREL_SHOWN_LOG" ||
    fail "the About box grew for its texts: $(grep '^scale	About' "$VESTREL_SHOWN_LOG")"
press "$a" Escape
wait_gone "About Vestrel" || fail "Escape left the About box open"

press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
# The sandboxed web process (pid 2 in its own namespace) looks for the
# session bus, the accessibility bus and the settings portal, which a
# desktop session has and this test desktop lacks: its notes are not the
# program's.
errors=$(app_errors | grep -v -e '^$' \
    -e '^\(\*\* \)\?(\(WebKitWebProcess\|process\):2): WARNING \*\*.*\(connect to bus\|connect to a11y bus\|read portal settings\)' \
    -e '^(WebKitWebProcess:2): Gdk-WARNING \*\*.*read portal settings')
[ -z "$errors" ] || fail "the program wrote on standard error: $(echo "$errors" | head -5)"

if [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # At GDK_SCALE=2 the main window is wider than this screen; the texts
    # take a smaller font rather than being cut.
    : >"$VESTREL_SHOWN_LOG"
    GDK_SCALE=2 start_app
    w=$(wait_window Vestrel) || fail "no main window at GDK_SCALE=2"
    wait_shown '^layout	Vestrel	' 10 >/dev/null || fail "no layout at GDK_SCALE=2"
    sleep 1
    screenshot "$w" "$shots/main-scale2.png"
    read -r x y wd h < <(window_frame "$w")
    read -r sw sh < <(xdpyinfo | awk '/dimensions:/ { sub("x", " ", $2); print $2 }')
    echo "at GDK_SCALE=2 on ${sw}x$sh: $x,$y ${wd}x$h"
    [ "$x" -ge 0 ] && [ $((x + wd)) -le "$sw" ] && [ "$y" -ge 0 ] && [ $((y + h)) -le "$sh" ] ||
        fail "at GDK_SCALE=2 the main window ($x,$y ${wd}x$h) is not on the screen"
    fits_its_place Vestrel
    press "$w" Escape
    wait_exit || fail "Escape did not end the program at GDK_SCALE=2"
fi
echo ok
