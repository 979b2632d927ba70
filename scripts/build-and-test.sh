#!/bin/bash
# Fresh Debian 12: installs what the tests need, builds Vestrel and runs
# the whole test suite twice: as built for users, and once more under
# AddressSanitizer and UndefinedBehaviorSanitizer (each test in its own
# Xvfb display and private sound server).
#   scripts/build-and-test.sh             both suites
#   scripts/build-and-test.sh --plain     only the first
#   scripts/build-and-test.sh --sanitize  only the sanitizer suite
set -eu
cd "$(dirname "$0")/.."
mode=${1:-both}
scripts/install-deps.sh --tests

suite() { # build-dir ctest-options cmake-options...
    local dir=$1 ctest_opts=$2
    shift 2
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTREL_BUILD_TESTS=ON "$@"
    cmake --build "$dir" -j"$(nproc)"
    (cd "$dir" && ctest --output-on-failure -j"$(nproc)" $ctest_opts)
}

# The package is built from the first build; a sanitized one is no package.
# Under the sanitizers the program runs several times slower and a desktop
# script's waits can fall short: such a test gets one more run.
san="-LE package --repeat until-pass:2"

case "$mode" in
--plain) suite build "" ;;
--sanitize) suite build-asan "$san" -DVESTREL_SANITIZE=ON ;;
*)
    suite build ""
    suite build-asan "$san" -DVESTREL_SANITIZE=ON
    ;;
esac
