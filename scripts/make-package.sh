#!/bin/bash
# Builds the Debian package build/vestrel_<version>_amd64.deb from the
# install rules, with CPack's DEB generator.
#   scripts/make-package.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
fi
cmake --build "$build" -j"$(nproc)"
cd "$build"
cpack -G DEB
ls -l "$PWD"/vestrel_*.deb
