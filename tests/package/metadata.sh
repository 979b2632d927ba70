#!/bin/bash
# The installed tree as a desktop sees it: the validators pass on the
# desktop file and the metainfo, the icons have their sizes, the man page
# formats cleanly, and --help/--version answer without a display.
#   tests/package/metadata.sh BUILD_DIR APP_ID
set -u
build=$1 appid=$2
root=$(mktemp -d /tmp/vestrel-install.XXXXXX)
trap 'rm -rf "$root"' EXIT
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }

cmake --install "$build" --prefix "$root/usr" >/dev/null || { echo "FAIL: install" >&2; exit 1; }
share=$root/usr/share

desktop=$share/applications/$appid.desktop
[ -f "$desktop" ] || fail "no $desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx "Icon=$appid" "$desktop" || fail "desktop file names another icon"
grep -qx "Categories=AudioVideo;Audio;Recorder;" "$desktop" || fail "categories"

meta=$share/metainfo/$appid.metainfo.xml
appstreamcli validate --pedantic --no-net "$meta" || fail "appstreamcli validate"
for want in "<id>$appid</id>" "<launchable type=\"desktop-id\">$appid.desktop</launchable>" \
    "<binary>vestrel</binary>" '<release version="1.0.0"' '<content_rating type="oars-1.1"/>' \
    '<url type="homepage">' 'screenshots/main-window.png</image>' '<developer_name' \
    '<category>Recorder</category>'; do
    grep -qF "$want" "$meta" || fail "metainfo lacks $want"
done
[ -f "$share/vestrel/screenshots/main-window.png" ] || fail "screenshot not installed"

for px in 16 24 32 48 64 128 256 512; do
    icon=$share/icons/hicolor/${px}x${px}/apps/$appid.png
    size=$(identify -format '%wx%h' "$icon" 2>/dev/null)
    [ "$size" = "${px}x${px}" ] || fail "icon $icon is '$size'"
done
svg=$share/icons/hicolor/scalable/apps/$appid.svg
xmllint --noout "$svg" 2>/dev/null || grep -q '<svg' "$svg" || fail "no scalable icon"
# Drawn for its size: the 16 px icon is mostly solid colour, not a blur of
# the large one (few pixels between the red and the white).
mixed=$(convert "$share/icons/hicolor/16x16/apps/$appid.png" -alpha off -colorspace gray \
    -fx '(u>0.45 && u<0.9) ? 1 : 0' -format '%[fx:mean*256]' info:)
[ "${mixed%.*}" -le 16 ] || fail "16 px icon is smeared ($mixed blended pixels)"

[ -z "$(find "$root" -path '*/local/*')" ] || fail "files under local/"
man=$share/man/man1/vestrel.1.gz
[ -f "$man" ] || fail "no man page"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page: $warnings"
text=$(MANWIDTH=80 man -l "$man" 2>/dev/null)
for want in --help --version MyMP3.mp3 Trash thanks.txt help; do
    grep -qF -- "$want" <<<"$text" || fail "man page does not mention $want"
done

# The installed program, with no display at all.
exe=$root/usr/bin/vestrel
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --version 2>&1); rc=$?
[ "$rc" = 0 ] && [ "$out" = "Vestrel 1.0.0" ] || fail "--version: rc $rc '$out'"
out=$(env -u DISPLAY "$exe" --help 2>/dev/null); rc=$?
[ "$rc" = 0 ] && grep -q -- --version <<<"$out" && grep -q -- --help <<<"$out" ||
    fail "--help: rc $rc '$out'"
err=$(env -u DISPLAY "$exe" --bogus 2>&1 >/dev/null); rc=$?
out=$(env -u DISPLAY "$exe" --bogus 2>/dev/null)
[ "$rc" = 2 ] && [ -z "$out" ] && grep -q -- --help <<<"$err" && grep -qi bogus <<<"$err" ||
    fail "unknown option: rc $rc out '$out' err '$err'"
env -u DISPLAY "$exe" stray-argument >/dev/null 2>&1
[ $? = 2 ] || fail "a stray argument is not refused"

[ "$fails" = 0 ] && echo "metadata: all checks passed"
exit $((fails > 0))
