#!/bin/bash
# Fresh Debian 12: installs what the tests need, builds Vestrel and runs
# the whole test suite (each test in its own Xvfb display and private
# PulseAudio server).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTREL_BUILD_TESTS=ON
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j"$(nproc)"
