#!/bin/bash
# Regenerates the message templates from the sources and merges them into
# every catalog. Run after changing a text the user reads:
#   po/update.sh           templates and catalogs
#   po/update.sh --pot DIR templates only, written to DIR (for the check)
set -eu
cd "$(dirname "$0")/.."
out=po
merge=1
if [ "${1:-}" = "--pot" ]; then
    out=$2
    merge=0
fi

# The program's texts: C++ sources of every layer, the desktop file, the metainfo.
git ls-files -- 'app/*.cpp' 'app/*.h' 'ui/*.cpp' 'ui/*.h' 'controls/*.cpp' 'controls/*.h' \
    'convert/*.cpp' 'convert/*.h' 'recorder/*.cpp' 'recorder/*.h' 'platform/*.cpp' 'platform/*.h' \
    > "$out/.sources"
common=(--from-code=UTF-8 --add-comments=TRANSLATORS: --package-name=Vestrel
        --msgid-bugs-address=maintainers@vestrel.example --sort-by-file --no-wrap --add-location=file)
xgettext "${common[@]}" -L C++ -k_ -kTr -kTrPlural:1,2 -kwxPLURAL:1,2 -kwxTRANSLATE \
    -kwxGETTEXT_IN_CONTEXT:1c,2 -kwxGETTEXT_IN_CONTEXT_PLURAL:1c,2,3 -kN_ \
    -f "$out/.sources" -o "$out/vestrel.pot"
xgettext "${common[@]}" -j -L Desktop data/vestrel.desktop.in -o "$out/vestrel.pot"
xgettext "${common[@]}" -j --its=/usr/share/gettext/its/metainfo.its \
    data/vestrel.metainfo.xml.in -o "$out/vestrel.pot"
rm -f "$out/.sources"

# The manual page, the Help page and the About box's thanks, in a catalog
# of their own.
mkdir -p "$out/doc"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
po4a-updatepo --porefs noline -M UTF-8 -f man -m data/vestrel.1 -p "$tmp/man.pot" \
    --package-name Vestrel --copyright-holder "The Vestrel developers" >/dev/null
po4a-updatepo --porefs noline -M UTF-8 -f xhtml -m data/help/index.html -p "$tmp/help.pot" \
    --package-name Vestrel --copyright-holder "The Vestrel developers" >/dev/null
po4a-updatepo --porefs noline -M UTF-8 -f text -m data/thanks.txt -p "$tmp/thanks.pot" \
    --package-name Vestrel --copyright-holder "The Vestrel developers" >/dev/null
msgcat --no-wrap --use-first "$tmp/man.pot" "$tmp/help.pot" "$tmp/thanks.pot" \
    -o "$out/doc/vestrel-doc.pot"

# Creation dates would make every run differ.
sed -i '/^"POT-Creation-Date:/d' "$out/vestrel.pot" "$out/doc/vestrel-doc.pot"

if [ "$merge" = 1 ]; then
    for lang in $(cat po/LINGUAS); do
        for pair in "po/$lang.po po/vestrel.pot" "po/doc/$lang.po po/doc/vestrel-doc.pot"; do
            set -- $pair
            if [ -f "$1" ]; then
                msgmerge -q --update --backup=none --no-wrap --sort-by-file --add-location=file "$1" "$2"
                msgattrib --no-obsolete --no-wrap --sort-by-file --add-location=file -o "$1" "$1"
            fi
        done
    done
fi
