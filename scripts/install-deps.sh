#!/bin/bash
# Installs the Debian 12 packages Vestrel needs.
#   scripts/install-deps.sh          to build and run
#   scripts/install-deps.sh --tests  also what the test suite uses
set -eu
run_pkgs=(
    build-essential cmake pkg-config gettext po4a
    libwxgtk3.2-dev libwxgtk-webview3.2-dev libwxgtk-media3.2-dev
    libpulse-dev libmp3lame-dev libspeexdsp-dev
    ffmpeg
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio
    bubblewrap xdg-dbus-proxy
    wx3.2-i18n fonts-noto-cjk
)
test_pkgs=(
    libgtest-dev
    xvfb x11-utils xdotool xclip imagemagick openbox
    pulseaudio pulseaudio-utils
    sox espeak-ng lame
    python3 procps strace
    pipewire pipewire-pulse wireplumber
    locales
    dbus at-spi2-core python3-pyatspi python3-gi gir1.2-glib-2.0
    mutter gstreamer1.0-pipewire
    dpkg-dev lintian desktop-file-utils appstream librsvg2-bin libxml2-utils
)
pkgs=("${run_pkgs[@]}")
if [ "${1:-}" = "--tests" ]; then
    pkgs+=("${test_pkgs[@]}")
fi
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${pkgs[@]}"
