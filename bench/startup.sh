#!/bin/bash
# Time from exec to the main window shown, peak memory, and the PSS of the
# whole process tree (program and WebKit's helpers), under Xvfb. Run it with
# no other copy of the program about: PSS shares a library's pages among
# every process that maps them, so a second copy halves the figure.
#   bench/startup.sh [BUILD_DIR] [RUNS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-5}
exec "$here/../tests/env/session.sh" bash -c '
    bin=$0; runs=$1
    times=(); mems=(); psss=(); pssline=""
    for i in $(seq "$runs"); do
        t0=$(date +%s%N)
        "$bin/vestrel" >>"$VESTREL_SESSION_ROOT/app.log" 2>&1 & app=$!
        until xdotool search --onlyvisible --name "^Vestrel$" >/dev/null 2>&1; do
            kill -0 $app 2>/dev/null || { echo "vestrel ended early:"; cat "$VESTREL_SESSION_ROOT/app.log"; exit 1; }
            sleep 0.01
        done
        t1=$(date +%s%N)
        sleep 2 # let the web and media panels settle before reading the peak
        mem=$(awk "/VmHWM/ { print \$2 }" /proc/$app/status)
        # PSS of the program and every process it started (WebKit helpers).
        tree=$app; todo=$app
        while [ -n "$todo" ]; do
            kids=$(for p in $todo; do pgrep -P $p; done); tree="$tree $kids"; todo=$kids
        done
        line=""; total=0
        for p in $tree; do
            k=$(awk "/^Pss:/ { print \$2 }" /proc/$p/smaps_rollup 2>/dev/null || echo 0)
            total=$((total + ${k:-0})); line="$line $(cat /proc/$p/comm 2>/dev/null) $(( ${k:-0} / 1024 ))"
        done
        psss+=($total); pssline=$line
        kill $app; wait $app 2>/dev/null || true
        times+=($(( (t1 - t0) / 1000000 ))); mems+=($mem)
    done
    sorted=($(printf "%s\n" "${times[@]}" | sort -n))
    msorted=($(printf "%s\n" "${mems[@]}" | sort -n))
    echo "startup over $runs runs: exec to main window shown median ${sorted[$((runs / 2))]} ms, worst ${sorted[$((runs - 1))]} ms"
    psorted=($(printf "%s\n" "${psss[@]}" | sort -n))
    echo "PSS of the process tree: median $(( ${psorted[$((runs / 2))]} / 1024 )) MiB, worst $(( ${psorted[$((runs - 1))]} / 1024 )) MiB (last run, MiB:$pssline)"
    echo "peak memory (VmHWM): median $(( ${msorted[$((runs / 2))]} / 1024 )) MiB, worst $(( ${msorted[$((runs - 1))]} / 1024 )) MiB"
' "$build/bin" "$runs"
