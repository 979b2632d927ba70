# The verbs of lib.sh on a Wayland desktop (VESTREL_DISPLAY=wayland): input
# through the compositor's remote-desktop interface and screenshots from its
# screen cast, both by one helper process (wl_input.py) fed commands through
# a FIFO. Window ids are the program's xdg_toplevel objects, followed in its
# WAYLAND_DEBUG=client log (its standard error, in app.log).
export VESTREL_WAYLAND_LOG=$VESTREL_SESSION_ROOT/app.log
mkfifo "$VESTREL_SESSION_ROOT/wl.in" "$VESTREL_SESSION_ROOT/wl.out"
TMPDIR=$VESTREL_SESSION_ROOT /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/wl_input.py" \
    <"$VESTREL_SESSION_ROOT/wl.in" >"$VESTREL_SESSION_ROOT/wl.out" 2>"$VESTREL_SESSION_ROOT/wl_input.log" &
wl_helper=$!
exec {wl_in}>"$VESTREL_SESSION_ROOT/wl.in" {wl_out}<"$VESTREL_SESSION_ROOT/wl.out"
read -r -t 30 wl_reply <&$wl_out && [ "${wl_reply%% *}" = ok ] ||
    fail "no remote-desktop session: $wl_reply $(cat "$VESTREL_SESSION_ROOT/wl_input.log")"

# One command to the helper; prints its answer, fails on an error.
wl() {
    local reply
    echo "$*" >&$wl_in
    read -r reply <&$wl_out || fail "the input helper is gone: $(tail -3 "$VESTREL_SESSION_ROOT/wl_input.log")"
    case $reply in
    ok) ;;
    "ok "*) printf '%s\n' "${reply#ok }" ;;
    *) echo "wl $*: $reply" >&2; return 1 ;;
    esac
}

start_app() {
    WAYLAND_DEBUG=client LD_LIBRARY_PATH=${VESTREL_APP_LD_LIBRARY_PATH:-} "$bin/vestrel" "$@" \
        >"$VESTREL_SESSION_ROOT/app.log" 2>&1 &
    app=$!
}

# What the program wrote on standard error, without the protocol log.
app_errors() { grep -avE '^\[ *[0-9]+\.[0-9]+\] ' "$VESTREL_SESSION_ROOT/app.log"; }

# Ids of the program's windows titled $1 (ignoring case, as xdotool).
wl_ids() { wl windows | awk -F'\t' -v t="$1" '{ for (i = 1; i < NF; i += 2) if (tolower($(i + 1)) == tolower(t)) print $i }'; }

window_title() { wl windows | awk -F'\t' -v id="$1" '{ for (i = 1; i < NF; i += 2) if ($i == id) print $(i + 1) }'; }

wait_window() { # title [pid]
    local w
    for _ in $(seq 150); do
        w=$(wl_ids "$1" | tail -1)
        [ -n "$w" ] && wl where "$w" >/dev/null 2>&1 && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}
wait_gone() {
    for _ in $(seq 100); do [ -z "$(wl_ids "$1")" ] && { key_guard; return 0; }; sleep 0.1; done
    return 1
}
count_windows() { wl_ids "$1" | wc -l; }
wait_other_window() { # title known-id...
    local t=$1 w; shift
    for _ in $(seq 150); do
        for w in $(wl_ids "$t"); do
            [[ " $* " == *" $w "* ]] || { wl where "$w" >/dev/null 2>&1 && { echo "$w"; return 0; }; }
        done
        sleep 0.1
    done
    return 1
}
wait_box() { wait_other_window "$1" "$2"; }
is_visible() { wl_ids_all | grep -qx "$1"; }
wl_ids_all() { wl windows | awk -F'\t' '{ for (i = 1; i < NF; i += 2) print $i }'; }
wait_gone_id() { # window [seconds]
    for _ in $(seq 100); do [ -z "$(wl_ids "$1")" ] && { key_guard; return 0; }; sleep 0.1; done
    return 1
}

# The window's frame on screen and its title bar's height: "X Y W H TOP".
frame_of() { wl where "$1"; }
# Screen position and size of window $1's client area: "X Y W H".
window_frame() { local x y wd h top; read -r x y wd h top < <(frame_of "$1"); echo "$x $((y + top)) $wd $((h - top))"; }
size_of() { local x y wd h; read -r x y wd h < <(window_frame "$1"); echo "$wd $h"; }

# Gives window $1 the keyboard focus, as a click on its title does.
focus() {
    [ "$(wl focused)" = "$1" ] && return 0
    local x y wd h top
    read -r x y wd h top < <(frame_of "$1") || return 1
    wl click $((x + wd / 2)) $((y + (top > 0 ? top / 2 : 4)))
    for _ in $(seq 30); do [ "$(wl focused)" = "$1" ] && return 0; sleep 0.1; done
    echo "focus: window $1 did not get the keyboard" >&2
}
keys() { wl key "$@"; }
press() { focus "$1"; shift; wl key "$@"; }
click() { # window x y: a left click at x,y of its client area
    local x y wd h
    read -r x y wd h < <(window_frame "$1") || fail "no window $1 on the screen"
    wl click $((x + $2)) $((y + $3))
}
type_into() { focus "$1"; wl type "$2"; }
# The close button at the right of the title bar the toolkit draws.
close_box() {
    local x y wd h top
    read -r x y wd h top < <(frame_of "$1")
    wl click $((x + wd - top / 2 - 4)) $((y + top / 2))
    wait_gone_id "$1" 3
}
screenshot() { # window file: the window's frame from a frame of the monitor
    local x y wd h top
    read -r x y wd h top < <(frame_of "$1")
    wl shot "$2.full.png" && convert "$2.full.png" -crop "${wd}x$h+$x+$y" +repage "$2" && rm -f "$2.full.png"
}
screenshot_all() { wl shot "$1"; }

# The file chooser, in either layout (title bar, or GTK's header bar with
# Cancel/Name/Save): it opens with the name field focused; the path is typed
# over what it holds, then Return.
save_as() { # path
    local f
    f=$(wait_window "Select a file") || fail "no Save As dialog"
    sleep 1 # the chooser takes keys only once it has read its folder
    for _ in 1 2 3; do
        focus "$f"
        wl key ctrl+a
        wl type "$1"
        sleep 0.5
        wl key Return
        wait_gone_id "$f" 3 && return 0
    done
    fail "the Save As dialog did not take '$1'"
}
