#!/bin/bash
# Runs every benchmark and prints its figures.
#   bench/run-all.sh [BUILD_DIR] [--quick]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
quick=${2:-}
session="$here/../tests/env/session.sh"
bin="$build/bin"
export LD_LIBRARY_PATH="$bin"
if [ "$quick" = "--quick" ]; then cpu=10; drift=60; minutes=1; mix=5; else cpu=60; drift=600; minutes=10; mix=60; fi
"$here/startup.sh" "$build" 5 2>&1 | grep -v "^[WE]: "
"$bin/catalog_load" 30
"$bin/mix_drift" "$mix"
"$bin/encode_throughput" 120 128
"$bin/encode_throughput" 120 64
"$bin/take_sync" "$minutes" 256 "${VESTREL_BENCH_DIR:-$HOME}"
"$session" "$bin/live_recording" cpu "$cpu" 64 2>&1 | grep -v "^[WE]: "
"$session" "$bin/live_recording" cpu "$cpu" 256 2>&1 | grep -v "^[WE]: "
"$session" "$bin/live_recording" cpu "$cpu" 256 desktop 2>&1 | grep -v "^[WE]: "
"$session" "$bin/live_recording" stop 20 2>&1 | grep -v "^[WE]: "
"$session" "$bin/live_recording" drift "$drift" 2>&1 | grep -v "^[WE]: "
"$session" "$bin/convert_overhead" "$minutes" 2>&1 | grep -v "^[WE]: "
