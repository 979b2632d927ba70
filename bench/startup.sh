#!/bin/bash
# Time from exec to the main window shown, peak memory, and the PSS of the
# whole process tree (program and WebKit's helpers), under Xvfb. Run it with
# no other copy of the program about: PSS shares a library's pages among
# every process that maps them, so a second copy halves the figure.
#   bench/startup.sh [BUILD_DIR] [RUNS]
# With VESTREL_DISPLAY=wayland it runs on headless mutter, and the time is
# from exec to the main window's first frame (its first buffer committed),
# read from the program's WAYLAND_DEBUG=client log.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-5}
exec "$here/../tests/env/session.sh" bash -c '
    bin=$0; runs=$1
    times=(); mems=(); psss=(); pssline=""
    for i in $(seq "$runs"); do
        if [ -n "${WAYLAND_DISPLAY:-}" ]; then
            # The log stamps the wall clock in microseconds, cut to 32 bits
            # (so wrapping every 72 minutes), printed as ms: so is the exec.
            log=$VESTREL_SESSION_ROOT/wayland.log
            WAYLAND_DEBUG=client /usr/bin/python3 -c "import os, sys, time
open(sys.argv[1], \"w\").write(\"%d\" % (int(time.time() * 1e6) % 2 ** 32))
os.execv(sys.argv[2], sys.argv[2:])" "$VESTREL_SESSION_ROOT/t0" "$bin/vestrel" 2>"$log" & app=$!
            t1=""
            until [ -n "$t1" ]; do
                kill -0 $app 2>/dev/null || { echo "vestrel ended early:"; grep -v "^\[" "$log"; exit 1; }
                sleep 0.01
                t1=$(awk -F"[][]" "
                    /get_xdg_surface\(new id/ { match(\$0, /xdg_surface@[0-9]+/); x = substr(\$0, RSTART + 12, RLENGTH - 12)
                                                match(\$0, /wl_surface@[0-9]+/); surf[x] = substr(\$0, RSTART + 11, RLENGTH - 11) }
                    /get_toplevel\(new id/ { match(\$0, /xdg_surface@[0-9]+\./); x = substr(\$0, RSTART + 12, RLENGTH - 13)
                                             match(\$0, /xdg_toplevel@[0-9]+\)/); top[substr(\$0, RSTART + 13, RLENGTH - 14)] = x }
                    /set_title\(\"Vestrel\"\)/ { match(\$0, /xdg_toplevel@[0-9]+/); main = surf[top[substr(\$0, RSTART + 13, RLENGTH - 13)]] }
                    main != \"\" && index(\$0, \"-> wl_surface@\" main \".attach(wl_buffer\") { drawn = 1 }
                    drawn && index(\$0, \"-> wl_surface@\" main \".commit()\") { printf \"%.0f\", \$2 * 1000; exit }
                " "$log")
            done
            t0=$(cat "$VESTREL_SESSION_ROOT/t0")
            # In ns, as below.
            t1=$(( (t1 - t0 + 4294967296) % 4294967296 * 1000 )); t0=0
        else
            t0=$(date +%s%N)
            "$bin/vestrel" >>"$VESTREL_SESSION_ROOT/app.log" 2>&1 & app=$!
            until xdotool search --onlyvisible --name "^Vestrel$" >/dev/null 2>&1; do
                kill -0 $app 2>/dev/null || { echo "vestrel ended early:"; cat "$VESTREL_SESSION_ROOT/app.log"; exit 1; }
                sleep 0.01
            done
            t1=$(date +%s%N)
        fi
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
    shown="main window shown"; [ -n "${WAYLAND_DISPLAY:-}" ] && shown="first frame (Wayland)"
    echo "startup over $runs runs: exec to $shown median ${sorted[$((runs / 2))]} ms, worst ${sorted[$((runs - 1))]} ms"
    psorted=($(printf "%s\n" "${psss[@]}" | sort -n))
    echo "PSS of the process tree: median $(( ${psorted[$((runs / 2))]} / 1024 )) MiB, worst $(( ${psorted[$((runs - 1))]} / 1024 )) MiB (last run, MiB:$pssline)"
    echo "peak memory (VmHWM): median $(( ${msorted[$((runs / 2))]} / 1024 )) MiB, worst $(( ${msorted[$((runs - 1))]} / 1024 )) MiB"
' "$build/bin" "$runs"
