#!/bin/bash
# The program in German, Japanese and Arabic in turn, as a person whose
# desktop speaks that language meets it: every control a screen reader
# reaches is named with its catalog's translation; no text of the main
# window, the Options window or the About box needs more room than its
# control has; Record records; a refused Record says why in the language;
# under Arabic the window is mirrored (Record in its right half). The
# command line speaks German too, and a language without a catalog runs
# in English. Screenshots of each window are left in $shots.
export E2E_LIMIT=${E2E_LIMIT:-280}
set -u
. "$(dirname "$0")/lib.sh"
a11y() { /usr/bin/python3 "$(dirname "$0")/a11y.py" "$@"; }
# The locales, made once per build tree (gettext reads no catalog under C).
export LOCPATH=$bin/../test-locales
mkdir -p "$LOCPATH"
for l in de_DE ja_JP ar_EG sv_SE; do
    [ -d "$LOCPATH/$l.UTF-8" ] || localedef -i $l -f UTF-8 "$LOCPATH/$l.UTF-8" >/dev/null 2>&1
    [ -d "$LOCPATH/$l.UTF-8" ] || fail "could not make the locale $l.UTF-8"
done
unset LANGUAGE LC_ALL LC_MESSAGES
# $1 in the language of catalog $mo.
tr_to() {
    /usr/bin/python3 -c 'import gettext, sys
print(gettext.GNUTranslations(open(sys.argv[1], "rb")).gettext(sys.argv[2]))' "$mo" "$1"
}

# The command line: German help and errors; Swedish, with no catalog, English.
mo=$bin/locale/de/LC_MESSAGES/vestrel.mo
LANG=de_DE.UTF-8 "$bin/vestrel" --help >"$shots/help-de.txt" || fail "German --help failed"
LANG=C "$bin/vestrel" --help >"$VESTREL_SESSION_ROOT/help-en.txt"
LANG=sv_SE.UTF-8 "$bin/vestrel" --help >"$VESTREL_SESSION_ROOT/help-sv.txt" ||
    fail "--help under a language without a catalog failed"
cmp -s "$VESTREL_SESSION_ROOT/help-en.txt" "$VESTREL_SESSION_ROOT/help-sv.txt" ||
    fail "--help under Swedish is not the English one"
grep -qF -- "$(tr_to "show this help and exit")" "$shots/help-de.txt" &&
    ! cmp -s "$shots/help-de.txt" "$VESTREL_SESSION_ROOT/help-en.txt" ||
    fail "--help is not German: $(head -3 "$shots/help-de.txt")"
LANG=de_DE.UTF-8 "$bin/vestrel" --list-devices --record x.mp3 2>"$VESTREL_SESSION_ROOT/err"; rc=$?
want=$(tr_to "--list-devices goes alone, not with --%s"); want=${want//%s/record}
[ $rc = 2 ] && grep -qF -- "$want" "$VESTREL_SESSION_ROOT/err" ||
    fail "a wrong command line in German: status $rc, $(cat "$VESTREL_SESSION_ROOT/err")"

for loc in de_DE ja_JP ar_EG; do
    lang=${loc%_*}
    mo=$bin/locale/$lang/LC_MESSAGES/vestrel.mo
    [ -f "$mo" ] || fail "no catalog $mo"
    # (The script's own tools speak English: only the program gets the language.)
    export VESTREL_SHOWN_LOG=$VESTREL_SESSION_ROOT/shown-$lang.log
    main=$(tr_to Vestrel)
    mp3=$HOME/take-$lang.mp3
    LANG=$loc.UTF-8 start_app
    w=$(wait_window "$main") || fail "$lang: no main window"
    sleep 1
    a11y check $app Vestrel "$mo" || fail "$lang: the main window as a screen reader reads it (above)"
    screenshot "$w" "$shots/main-$lang.png"
    a11y press $app "$(tr_to "Convert Options")"
    o=$(wait_window "$(tr_to Options)") || fail "$lang: Convert Options opened no Options window"
    sleep 0.5
    a11y check $app Options "$mo" || fail "$lang: the Options window as a screen reader reads it (above)"
    screenshot "$o" "$shots/options-$lang.png"
    a11y press $app "$(tr_to Cancel)"
    wait_gone "$(tr_to Options)" || fail "$lang: Cancel did not close the Options window"
    press "$w" shift+F10
    sleep 0.7
    keys Down Return
    a=$(wait_window "$(tr_to "About Vestrel")") || fail "$lang: no About box"
    sleep 1
    screenshot "$a" "$shots/about-$lang.png"
    press "$a" Escape
    wait_gone_id "$a" 5 || fail "$lang: Escape left the About box open"
    key_guard
    for caption in "$main" "$(tr_to Options)" "$(tr_to "About Vestrel")"; do
        grep -q "^layout	$caption	" "$VESTREL_SHOWN_LOG" || fail "$lang: no layout noted for $caption"
        fits_its_place "$caption"
    done
    if [ $lang = ar ]; then
        read -r x width < <(awk -F'\t' -v c="$main" -v r="$(tr_to Record)" '
            $1 == "layout" && $2 == c { split($3, p, " "); if (p[1] + p[3] > right) right = p[1] + p[3]
                                        if ($5 == r) x = int(p[1] + p[3] / 2) }
            END { print x, right }' "$VESTREL_SHOWN_LOG")
        [ "${x:-0}" -gt $((width / 2)) ] || fail "under Arabic Record is at x $x of $width, not in the right half"
    fi

    # The output file, through Save As in the language.
    a11y press $app "$(tr_to "Select output file...")"
    f=$(wait_window "$(tr_to "Select a file")") || fail "$lang: no Save As dialog"
    sleep 1
    screenshot "$f" "$shots/save-as-$lang.png"
    save_as "$mp3" "$(tr_to "Select a file")"
    # A take of 2 s of tone (the focus is on the button that opened Save As).
    a11y press $app "$(tr_to Record)"
    wait_streams || fail "$lang: Record does not record"
    feed_tone 1000 2 "$VESTREL_FIFO_ALPHA"
    a11y press $app "$(tr_to Stop)"
    wait_latest status . 3 >/dev/null
    sleep 0.5
    d=$(duration_of "$mp3")
    awk -v d="$d" 'BEGIN { exit !(d > 1.5 && d < 8) }' || fail "$lang: the take lasts ${d:-nothing}"
    # Its file held by the command line: Record is refused in the language.
    gui=$app streams=$(source_outputs)
    LANG=$loc.UTF-8 start_cli --record "$mp3" >/dev/null
    cli=$app app=$gui
    wait_streams $((streams + 1)) || fail "$lang: the command line does not record"
    a11y press $app "$(tr_to Record)"
    box=$(wait_box "$main" "$w") || fail "$lang: Record on a held file showed no box"
    sleep 1
    screenshot "$box" "$shots/error-$lang.png"
    said=$(tr_to $'The recording could not be started.\n\n%s' | head -1)
    grep -qxF "box	$said" "$VESTREL_SHOWN_LOG" ||
        fail "$lang: the box says $(grep '^box' "$VESTREL_SHOWN_LOG")"
    press "$box" Return
    wait_gone_id "$box" 5 || fail "$lang: Return left the error box open"
    kill -INT $cli
    wait $cli
    press "$w" Escape
    wait_exit || fail "$lang: the program did not end"
    echo "$lang: $(grep -c '^layout' "$VESTREL_SHOWN_LOG") texts fit, take of $d s"
done
echo ok
