#!/bin/bash
# The Debian package: built by CPack, its control fields and file list,
# lintian, then the program unpacked into a scratch root and run on the
# test desktop: the main window shows, About shows thanks.txt and a short
# recording is made through the packaged encoder library.
#   tests/package/deb.sh SOURCE_DIR BUILD_DIR APP_ID   (inside tests/env/session.sh)
set -u
src=$1 build=$2 appid=$3
. "$src/tests/e2e/lib.sh" "$VESTREL_SESSION_ROOT/unpacked/usr/bin"
fails=0
check() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }

"$src/scripts/make-package.sh" "$build" >"$VESTREL_SESSION_ROOT/cpack.log" 2>&1 ||
    { cat "$VESTREL_SESSION_ROOT/cpack.log" >&2; fail "the package did not build"; }
deb=$build/vestrel_1.0.0_amd64.deb
[ -f "$deb" ] || fail "no $deb"
echo "package: $deb, $(stat -c %s "$deb") bytes"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vestrel ] || check "Package: $(field Package)"
[ "$(field Version)" = 1.0.0 ] || check "Version: $(field Version)"
[ "$(field Section)" = sound ] || check "Section: $(field Section)"
[ "$(field Architecture)" = amd64 ] || check "Architecture: $(field Architecture)"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@]+@[^\>]+\>$ ]] || check "Maintainer: $(field Maintainer)"
[[ "$(field Homepage)" == https://* ]] || check "Homepage: $(field Homepage)"
depends=$(field Depends)
echo "Depends: $depends"
# What is run or loaded, and what dpkg-shlibdeps finds in the program.
for dep in ffmpeg gstreamer1.0-plugins-good gstreamer1.0-pulseaudio bubblewrap xdg-dbus-proxy \
    libpulse0 libmp3lame0 libwxgtk-webview3.2-1 libc6; do
    grep -q "$dep" <<<"$depends" || check "Depends lacks $dep"
done
[ "$(field Recommends)" = "wx3.2-i18n, fonts-noto-cjk" ] || check "Recommends: $(field Recommends)"

files=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for want in ./usr/bin/vestrel "./usr/lib/$multiarch/vestrel/liblame_enc.so" \
    ./usr/share/vestrel/thanks.txt ./usr/share/vestrel/screenshots/main-window.png \
    "./usr/share/applications/$appid.desktop" "./usr/share/metainfo/$appid.metainfo.xml" \
    "./usr/share/icons/hicolor/scalable/apps/$appid.svg" ./usr/share/man/man1/vestrel.1.gz \
    ./usr/share/doc/vestrel/copyright ./usr/share/doc/vestrel/changelog.gz; do
    grep -qxF "$want" <<<"$files" || check "package lacks $want"
done
for px in 16 24 32 48 64 128 256 512; do
    grep -qxF "./usr/share/icons/hicolor/${px}x${px}/apps/$appid.png" <<<"$files" ||
        check "package lacks the $px px icon"
done
[ -d "$src/data/help" ] && { grep -q '^./usr/share/vestrel/help/.' <<<"$files" || check "no help page"; }
grep -v -e '^\./usr/' -e '^\./$' <<<"$files" | grep . && check "files outside /usr"
grep -q '/local/' <<<"$files" && check "files under /usr/local"
grep -q -e "/vestrel\.desktop$" -e "/vestrel\.png$" <<<"$files" && check "old desktop names"

# lintian: no errors; the warnings are printed for the record.
lintian --tag-display-limit 0 "$deb" >"$VESTREL_SESSION_ROOT/lintian.log" 2>&1
echo "--- lintian:"; cat "$VESTREL_SESSION_ROOT/lintian.log"
grep -q '^E:' "$VESTREL_SESSION_ROOT/lintian.log" && check "lintian reports errors"

# The unpacked program, run as a user starts it.
dpkg -x "$deb" "$VESTREL_SESSION_ROOT/unpacked" || fail "dpkg -x"
start_app
w=$(wait_window Vestrel "$app") || fail "no main window from the unpacked program"
sleep 1
screenshot "$w" "$VESTREL_SESSION_ROOT/package-main.png"
# About from the context menu: a right click beside the controls.
xdotool windowactivate --sync "$w" 2>/dev/null
xdotool mousemove --window "$w" 640 120 click 3
sleep 0.7
xdotool key Down Return
a=$(wait_window "About Vestrel") || fail "no About box"
sleep 1
# The text panel holds the installed thanks.txt: copy it out.
xdotool mousemove --window "$a" 300 250 click 1
sleep 0.2
xdotool key ctrl+a ctrl+c
sleep 0.5
shown=$(timeout 5 xclip -o -selection clipboard 2>/dev/null)
want=$(cat "$VESTREL_SESSION_ROOT/unpacked/usr/share/vestrel/thanks.txt")
[ -n "$shown" ] && [ "$shown" = "$want" ] || check "About does not show thanks.txt: '${shown:0:80}'"
screenshot "$a" "$VESTREL_SESSION_ROOT/package-about.png"
press "$a" Escape
wait_gone "About Vestrel" || check "About did not close"

# A short recording through the packaged encoder library.
out=$HOME/MyMP3.mp3
press "$w" Return
feed_tone 700 3 "$VESTREL_FIFO_ALPHA" &
feeder=$!
sleep 2.5
press "$w" Return
wait $feeder 2>/dev/null
sleep 1
d=$(duration_of "$out" 2>/dev/null)
awk -v d="${d:-0}" 'BEGIN { exit !(d > 1.5) }' || check "recording from the package: '${d:-none}' s"
press "$w" Escape
wait_exit || fail "the program did not end"
[ -n "${VESTREL_KEEP_SHOTS:-}" ] && cp "$VESTREL_SESSION_ROOT"/package-*.png "$VESTREL_SESSION_ROOT"/app.log "$VESTREL_KEEP_SHOTS"/

[ "$fails" = 0 ] && echo "package: all checks passed"
exit $((fails > 0))
