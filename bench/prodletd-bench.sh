#!/bin/bash
# Figures for prodletd, run by hand (not a test; the README keeps the
# results): the time from start to the first probe, the CPU it uses while it
# only counts down, and its resident memory after a number of probes. Runs in
# a private network namespace with the end-to-end test's HTTP server on
# 127.0.0.1:80, with its settings and seed in a temporary folder.
#
# usage: bench/prodletd-bench.sh [-b BUILD/bin/prodletd] [-s STARTS] [-i IDLE_SECONDS] [-p PROBES]
#   -s  start-up runs to time (default 5)
#   -i  seconds of counting down to measure the CPU over (default 300)
#   -p  probes before the memory is read (default 100; at the Debug
#       interval of 15 seconds that is 25 minutes)
# Any of them 0 leaves that measurement out.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
prodletd=$top/build/bin/prodletd
starts=5
idle=300
probes=100
while getopts "b:s:i:p:" opt; do
    case $opt in
    b) prodletd=$OPTARG ;;
    s) starts=$OPTARG ;;
    i) idle=$OPTARG ;;
    p) probes=$OPTARG ;;
    *) sed -n '9,15p' "$0"; exit 2 ;;
    esac
done
prodletd=$(realpath "$prodletd")
[ -x "$prodletd" ] || { echo "no prodletd at $prodletd (build first, or give -b)"; exit 1; }

# Into the private network namespace first.
if [ -z "${PRODLET_BENCH_INSIDE:-}" ]; then
    exec env PRODLET_BENCH_INSIDE=1 "$top/tests/netns/in-netns.sh" "$0" -b "$prodletd" -s "$starts" -i "$idle" -p "$probes"
fi

# shellcheck source=tests/e2e/e2e-lib.sh
. "$top/tests/e2e/e2e-lib.sh"
e2e_work
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM PRODLET_HIVE

now() { date +%s.%N; }
# CPU time of every thread of PID so far, in nanoseconds (scheduler's own count).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'; }
status_kib() { awk -v k="$2:" '$1 == k { print $2 }' /proc/"$1"/status; }

start_http_server

echo "prodletd: $prodletd"
echo "machine:  $(nproc) cores, $(uname -r), load $(cut -d' ' -f1-3 /proc/loadavg)"

# ---- start to first probe: from the launch to the request's arrival
if [ "$starts" -gt 0 ]; then
    seed "$work/win-start" Debug=1 ComboName0=127.0.0.1 ComboNameSel=0
    times=()
    for i in $(seq 1 "$starts"); do
        rm -f "$work/start.reg"
        n=$(requests)
        t0=$(now)
        PRODLET_WINDIR=$work/win-start "$prodletd" --settings "$work/start.reg" >/dev/null 2>&1 & app=$!
        wait_for 30 test -e "$work/requests/$n.req" || { echo "no probe"; exit 1; }
        t1=$(stat -c %.9Y "$work/requests/$n.req")
        kill -TERM "$app"; wait "$app"
        times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')")
    done
    echo "start to first probe (s): ${times[*]}"
    printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "  median %.3f s, of which 1.000 s is the view'"'"'s sleep after WSAStartup and 1.000 s the first tick after the start: %.3f s of our own\n", v[int((NR + 1) / 2)], v[int((NR + 1) / 2)] - 2 }'
fi

# ---- CPU while counting down: a 60-minute interval, measured after the first probe
if [ "$idle" -gt 0 ]; then
    seed "$work/win-idle" Often=60 ComboName0=127.0.0.1 ComboNameSel=0
    n=$(requests)
    PRODLET_WINDIR=$work/win-idle "$prodletd" --settings "$work/idle.reg" >"$work/idle.log" 2>&1 & app=$!
    pids+=("$app")
    wait_for 30 test -e "$work/requests/$n.req" || { echo "no probe"; exit 1; }
    sleep 2
    c0=$(cpu_ns "$app"); w0=$(status_kib "$app" voluntary_ctxt_switches); t0=$(now)
    sleep "$idle"
    c1=$(cpu_ns "$app"); w1=$(status_kib "$app" voluntary_ctxt_switches); t1=$(now)
    awk -v c="$((c1 - c0))" -v a="$t0" -v b="$t1" -v w="$((w1 - w0))" 'BEGIN {
        s = b - a; printf "idle CPU: %.4f s over %.0f s counting down = %.3f s per hour (%.2f wake-ups a second)\n", c / 1e9, s, c / 1e9 * 3600 / s, w / s }'
    echo "  resident while idle: $(status_kib "$app" VmRSS) KiB"
    kill -TERM "$app"; wait "$app"
fi

# ---- resident memory after N probes at the Debug interval (15 s)
if [ "$probes" -gt 0 ]; then
    seed "$work/win-mem" Debug=1 ComboName0=127.0.0.1 ComboNameSel=0
    n=$(requests)
    PRODLET_WINDIR=$work/win-mem "$prodletd" --settings "$work/mem.reg" >"$work/mem.log" 2>&1 & app=$!
    pids+=("$app")
    c0=$(cpu_ns "$app")
    for k in $(seq 1 "$probes"); do
        until [ "$(grep -c ' status: Prodlet completed at ' "$work/mem.log")" -ge "$k" ]; do
            kill -0 "$app" 2>/dev/null || { echo "prodletd ended"; exit 1; }
            sleep 0.2
        done
        if [ "$k" = 1 ] || [ $((k % 10)) = 0 ] || [ "$k" = "$probes" ]; then
            echo "after $k probes: VmRSS $(status_kib "$app" VmRSS) KiB, VmHWM $(status_kib "$app" VmHWM) KiB, CPU $(awk -v c="$(($(cpu_ns "$app") - c0))" 'BEGIN { printf "%.3f", c / 1e9 }') s, fds $(ls /proc/"$app"/fd | wc -l)"
        fi
    done
    echo "  requests received: $(($(requests) - n))"
    kill -TERM "$app"; wait "$app"
fi
