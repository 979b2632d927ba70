#!/bin/bash
# The keyboard alone, under a dark theme: Shift+Tab from Record goes into
# the web panel (Space there presses nothing), Tab from the web panel
# reaches Record (WebKit would keep it) and Space presses it; the
# file-name box shows dark text on its white background. The window stays
# light as a whole, and every text of it, live or greyed, stands out from
# what is behind it by at least 4.5:1 (measured on the screenshot).
set -u
. "$(dirname "$0")/lib.sh"
take="$HOME/MyMP3.mp3"
export GTK_THEME=Adwaita:dark
export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown.log
start_app
w=$(wait_window Vestrel) || fail "no main window"
wait_shown '^layout	' 10 >/dev/null || fail "no layout in the shown-text log"
sleep 2
shot="$shots/dark.png"
screenshot "$w" "$shot"
/usr/bin/python3 "$(dirname "$0")/contrast.py" "$shot" Vestrel <"$VESTREL_SHOWN_LOG" ||
    fail "a text under 4.5:1 under a dark theme"
# Light as a whole: no part of the window (the lists, the player's buttons)
# drawn dark. The darkest tenth of the window's pixels are text and lines.
dark=$(convert "$shot" -crop +0-130 +repage -colorspace Gray -threshold 35% -negate -format "%[fx:mean]" info:)
awk -v m="$dark" 'BEGIN { exit !(m < 0.06) }' || fail "under a dark theme $dark of the window is dark"
# The file-name box (its text starts at the left): white with dark letters.
white=$(convert "$shot" -crop 430x24+20+137 +repage -colorspace Gray -threshold 30% -format "%[fx:mean]" info:)
awk -v m="$white" 'BEGIN { exit !(m > 0.8 && m < 0.98) }' ||
    fail "file-name box under a dark theme: $white of it light, not dark text on white"

press "$w" shift+Tab
press "$w" space
sleep 1
[ -e "$take" ] && fail "Shift+Tab from Record did not leave it"
press "$w" Tab
press "$w" space
sleep 1
[ -e "$take" ] || fail "Tab from the web panel did not reach Record"
press "$w" space # Stop
press "$w" Escape
wait_exit || fail "Escape did not end the program"
[ $rc -eq 0 ] || fail "exit status $rc"
echo ok
