#!/bin/bash
# Fresh Debian 12: installs what Vestrel needs, builds it and starts it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTREL_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)"
exec build/bin/vestrel
