#!/bin/bash
# Runs a command inside a private test desktop: an Xvfb display and a
# private sound server with two pipe sources and a null output.
#   tests/env/session.sh COMMAND [ARGS...]
# VESTREL_WM=openbox also starts a window manager on the display.
# VESTREL_A11Y=1 also starts a private D-Bus session bus and the
# accessibility bus (AT-SPI) of that session, so a screen reader's view
# of the program can be read.
# VESTREL_SOUND=pipewire runs PipeWire (with WirePlumber and
# pipewire-pulse) instead of PulseAudio.
# VESTREL_DISPLAY=wayland runs GNOME's compositor (mutter, headless, one
# 1280x1024 monitor) on a private session bus instead of Xvfb, with PipeWire
# for its screen cast; the program then runs as a native Wayland client.
# Exported for the command:
#   DISPLAY (X11) or WAYLAND_DISPLAY and GDK_BACKEND=wayland (Wayland),
#   HOME, XDG_RUNTIME_DIR, PULSE_SERVER
#   DBUS_SESSION_BUS_ADDRESS  the private session bus (Wayland, VESTREL_A11Y=1)
#   VESTREL_PULSE_PID  the PulseAudio server (pipewire-pulse on PipeWire)
#   VESTREL_SOUND_PID  the process that moves the audio (to stop it)
#   VESTREL_FIFO_ZETA  FIFO of source "zeta_mic"   ("Zeta Microphone", device 0)
#   VESTREL_FIFO_ALPHA FIFO of source "alpha_line" ("Alpha Line In",   device 1),
#                      the server's default source
set -u
root=$(mktemp -d /tmp/vestrel-session.XXXXXX)
export HOME="$root/home" XDG_RUNTIME_DIR="$root/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# No D-Bus: parallel sessions must not meet on a shared bus.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$root/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$root/no-bus"
export GST_PLUGIN_FEATURE_RANK=openalsink:NONE,jackaudiosink:NONE,oss4sink:NONE,osssink:NONE
export NO_AT_BRIDGE=1

pids=()
cleanup() {
    declare -F stop_a11y_bus >/dev/null && stop_a11y_bus
    # Sound servers, the session's and any a test restarted.
    [ -f "$root/server.pids" ] && pids+=($(cat "$root/server.pids"))
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    # A server that has not gone after 5 s is ended: the test's result
    # must not wait for it.
    local p alive
    for _ in $(seq 50); do
        alive=
        for p in "${pids[@]}"; do
            case $(awk '{ print $3 }' "/proc/$p/stat" 2>/dev/null) in "" | Z) ;; *) alive=1 ;; esac
        done
        [ -z "$alive" ] && break
        sleep 0.1
    done
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT

# A private session bus, for a test desktop whose services talk over one.
start_session_bus() {
    dbus-daemon --session --address="unix:path=$root/bus" --nofork --nopidfile \
        >"$root/dbus.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [ -S "$root/bus" ] && break; sleep 0.05; done
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$root/bus"
}

# A private PipeWire session with WirePlumber: its D-Bus parts are off, and
# the graph runs at 44,100 Hz so pipe sources stay bit-exact (48 kHz would
# resample them).
start_pipewire() {
    export XDG_CONFIG_HOME="$root/config"
    mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d" \
        "$XDG_CONFIG_HOME/wireplumber/main.lua.d" "$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d"
    cat >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/50-test-rate.conf" <<'CONF'
context.properties = {
    default.clock.rate = 44100
    default.clock.allowed-rates = [ 44100 ]
}
CONF
    cat >"$XDG_CONFIG_HOME/wireplumber/main.lua.d/60-test-no-dbus.lua" <<'CONF'
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
default_access.properties["enable-flatpak-portal"] = false
CONF
    echo 'bluez_monitor.enabled = false' >"$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d/60-test-no-dbus.lua"
    env -u DISPLAY pipewire >"$root/pipewire.log" 2>&1 &
    pids+=($!)
    export VESTREL_SOUND_PID=$!
    for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.05; done
    env -u DISPLAY wireplumber >"$root/wireplumber.log" 2>&1 &
    pids+=($!)
}

if [ "${VESTREL_DISPLAY:-x11}" = wayland ]; then
    # GNOME's compositor, headless; its screen cast (screenshots, and the
    # stream remote-desktop input is bound to) needs PipeWire on the same bus.
    start_session_bus
    start_pipewire
    unset DISPLAY
    GSETTINGS_BACKEND=memory mutter --headless --wayland --no-x11 --wayland-display vestrel-wayland \
        --virtual-monitor 1280x1024 >"$root/mutter.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do [ -S "$XDG_RUNTIME_DIR/vestrel-wayland" ] && break; sleep 0.05; done
    export WAYLAND_DISPLAY=vestrel-wayland GDK_BACKEND=wayland
    # Screen-cast frames are free of window shadows, so a window's frame
    # is where it differs from the desktop.
    mkdir -p "$XDG_CONFIG_HOME/gtk-3.0"
    echo 'decoration, decoration:backdrop { box-shadow: none; }' >"$XDG_CONFIG_HOME/gtk-3.0/gtk.css"
else
    # Xvfb picks a free display itself, so parallel sessions never share one;
    # -noreset: when the last client goes (no window manager, one program at
    # a time) the server would reset, and a program starting then fails to open
    # the display.
    Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$root/display" >"$root/xvfb.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$root/display" ] && break; sleep 0.05; done
    export DISPLAY=":$(head -1 "$root/display")"

    # VESTREL_WM=openbox: a window manager, so focus, stacking and modal grabs
    # behave as on a person's desktop.
    if [ "${VESTREL_WM:-}" = openbox ]; then
        openbox --sm-disable >"$root/openbox.log" 2>&1 &
        pids+=($!)
        for _ in $(seq 100); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
            sleep 0.05
        done
    fi
fi

# The AT-SPI bus and registry on the session bus; NO_AT_BRIDGE goes, so
# GTK programs join the accessibility tree. The accessibility bus's daemon,
# the launcher's child, is ended first.
start_a11y_bus() {
    unset NO_AT_BRIDGE
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$root/at-spi-bus.log" 2>&1 &
    a11y_launcher=$!
    pids+=($!)
    for _ in $(seq 100); do
        dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
            >/dev/null 2>&1 && break
        sleep 0.05
    done
    a11y_bus=$(pgrep -P "$a11y_launcher" dbus-daemon)
    /usr/libexec/at-spi2-registryd --use-gnome-session=false >"$root/registryd.log" 2>&1 &
    pids+=($!)
}
# The accessibility bus goes first, while the launcher that reaps it runs.
stop_a11y_bus() {
    [ -n "${a11y_bus:-}" ] || return 0
    kill "$a11y_bus" 2>/dev/null
    for _ in $(seq 20); do kill -0 "$a11y_bus" 2>/dev/null || break; sleep 0.05; done
}
if [ "${VESTREL_A11Y:-}" = 1 ]; then
    [ -S "$root/bus" ] || start_session_bus
    start_a11y_bus
fi

export VESTREL_FIFO_ZETA="$root/zeta.fifo" VESTREL_FIFO_ALPHA="$root/alpha.fifo"

display_up() {
    if [ -n "${WAYLAND_DISPLAY:-}" ]; then
        [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]
    else
        xdpyinfo -display "$DISPLAY" >/dev/null 2>&1
    fi
}

# Waits until the sound server answers and the display is up.
wait_server() {
    for _ in $(seq 100); do
        if pactl info >/dev/null 2>&1 && display_up; then return 0; fi
        sleep 0.1
    done
    pactl info >/dev/null 2>&1
}

# Starts the PulseAudio server (pipewire-pulse on PipeWire) with the two
# pipe sources and the null output; its process in VESTREL_PULSE_PID.
start_sound_server() {
    local root=$VESTREL_SESSION_ROOT
    if [ "${VESTREL_SOUND:-pulseaudio}" = pipewire ]; then
        env -u DISPLAY pipewire-pulse >>"$root/pulse.log" 2>&1 &
        export VESTREL_PULSE_PID=$!
        echo $! >>"$root/server.pids"
        export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
        if ! wait_server; then
            echo "session: PipeWire did not start" >&2
            cat "$root/pipewire.log" "$root/wireplumber.log" "$root/pulse.log" >&2; return 1
        fi
        # pipewire-pulse keeps backslashes, so the descriptions are quoted whole.
        pactl load-module module-pipe-source source_name=zeta_mic file="$VESTREL_FIFO_ZETA" \
            format=s16le rate=44100 channels=2 "source_properties='device.description=\"Zeta Microphone\"'" >/dev/null
        pactl load-module module-pipe-source source_name=alpha_line file="$VESTREL_FIFO_ALPHA" \
            format=s16le rate=44100 channels=2 "source_properties='device.description=\"Alpha Line In\"'" >/dev/null
        pactl load-module module-null-sink sink_name=speakers >/dev/null
        # The sources appear in the server's list a moment after loading.
        for _ in $(seq 50); do
            [ "$(pactl list short sources | grep -c -e zeta_mic -e alpha_line)" -ge 2 ] && break
            sleep 0.1
        done
    else
        pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n --use-pid-file=no \
            --system=no --disable-shm=yes \
            --load="module-native-protocol-unix auth-anonymous=1 socket=$XDG_RUNTIME_DIR/native" \
            --load="module-pipe-source source_name=zeta_mic file=$VESTREL_FIFO_ZETA format=s16le rate=44100 channels=2 source_properties=device.description='Zeta\ Microphone'" \
            --load="module-pipe-source source_name=alpha_line file=$VESTREL_FIFO_ALPHA format=s16le rate=44100 channels=2 source_properties=device.description='Alpha\ Line\ In'" \
            --load="module-null-sink sink_name=speakers" \
            >>"$root/pulse.log" 2>&1 &
        export VESTREL_PULSE_PID=$! VESTREL_SOUND_PID=$!
        echo $! >>"$root/server.pids"
        export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/native"
        if ! wait_server; then
            echo "session: PulseAudio did not start" >&2; cat "$root/pulse.log" >&2; return 1
        fi
    fi
    pactl set-default-source alpha_line
    pactl set-default-sink speakers
}

# For the command: kills the sound server (SIGKILL, as a crash) unless it
# is gone already, and starts it again as the session started it.
restart_sound_server() {
    kill -9 "$VESTREL_PULSE_PID" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$VESTREL_PULSE_PID" 2>/dev/null || break; sleep 0.1; done
    # A killed server leaves its pipe sources' FIFOs, which PulseAudio
    # refuses to take over.
    rm -f "$VESTREL_FIFO_ZETA" "$VESTREL_FIFO_ALPHA"
    start_sound_server
}
export -f start_sound_server restart_sound_server wait_server display_up

export VESTREL_SESSION_ROOT="$root"
if [ "${VESTREL_SOUND:-pulseaudio}" = pipewire ]; then
    [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] || start_pipewire # the compositor's, if running
fi
start_sound_server || exit 1
# The default source is the first in the list, where the program starts
# (start_sound_server sets it); a test about another default sets it itself.
# A test of "no sound server" points the program elsewhere.
if [ -n "${VESTREL_PULSE_SERVER_OVERRIDE:-}" ]; then
    export PULSE_SERVER="$VESTREL_PULSE_SERVER_OVERRIDE"
fi

"$@"
