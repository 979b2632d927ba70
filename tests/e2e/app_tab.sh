#!/bin/bash
# The keyboard alone, under a dark theme: Shift+Tab from Record goes into
# the web panel (Space there presses nothing), Tab from the web panel
# reaches Record (WebKit would keep it) and Space presses it; the
# file-name box shows dark text on its white background.
set -u
. "$(dirname "$0")/lib.sh"
take="$HOME/MyMP3.mp3"
export GTK_THEME=Adwaita:dark
start_app
w=$(wait_window Vestrel) || fail "no main window"
sleep 2
shot="$VESTREL_SESSION_ROOT/dark.png"
screenshot "$w" "$shot"
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
