#!/bin/bash
# Fails when a template no longer matches the sources (po/update.sh was not
# run after a text changed) or when a catalog has an untranslated, fuzzy or
# format-mismatched message, or a mnemonic lost or doubled.
set -u
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0

po/update.sh --pot "$tmp" || { echo "FAIL: the templates could not be made"; exit 1; }
for pot in vestrel.pot doc/vestrel-doc.pot; do
    if ! diff -u "po/$pot" "$tmp/$pot" >"$tmp/diff"; then
        echo "FAIL: po/$pot is out of date: run po/update.sh"
        head -40 "$tmp/diff"
        fail=1
    fi
done

for lang in $(cat po/LINGUAS); do
    for pair in "po/$lang.po po/vestrel.pot" "po/doc/$lang.po po/doc/vestrel-doc.pot"; do
        set -- $pair
        if [ ! -f "$1" ]; then
            echo "FAIL: $1 is missing"
            fail=1
            continue
        fi
        # Mnemonics are the program's; the Help page's & are HTML entities.
        accel=(--check-accelerators='&')
        [ "$2" = po/vestrel.pot ] || accel=()
        stats=$(LC_ALL=C msgfmt --check "${accel[@]}" --statistics -o /dev/null "$1" 2>&1)
        if ! echo "$stats" | grep -Eq '^[0-9]+ translated messages?\.$'; then
            echo "FAIL: $1: $stats"
            fail=1
        fi
        # Every message of the template is in the catalog.
        if ! msgcmp "$1" "$2" >"$tmp/cmp" 2>&1; then
            echo "FAIL: $1 lacks messages of $2: run po/update.sh and translate them"
            head -20 "$tmp/cmp"
            fail=1
        fi
        echo "$1: $stats"
    done
done
exit $fail
