#!/bin/bash
# Benchmark of prodlet.exe under Wine, beside the bare Win32 tray program
# (bench/BareTray.cpp) built the same way: start to icon, resident memory,
# and CPU per probe. Not a test: run by hand after scripts/windows.sh has
# built build-win64/ (it enters a private network namespace itself).
#
# usage: bench/wine-bench.sh [BUILD-DIR] [PROBES]
set -u
if [ -z "${PRODLET_BENCH_IN_NETNS:-}" ]; then
    export PRODLET_BENCH_IN_NETNS=1
    exec "$(dirname "$0")/../tests/netns/in-netns.sh" "$0" "$@"
fi
bin=$(cd "${1:-build-win64}/bin" && pwd)
probes=${2:-8}
# shellcheck source=tests/e2e/e2e-lib.sh
. "$(dirname "$0")/../tests/e2e/e2e-lib.sh"
e2e_work
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
icons() { xdotool search --onlyvisible --classname explorer.exe 2>/dev/null | wc -l; }
icons_above() { [ "$(icons)" -gt "$1" ]; }
icons_at_most() { [ "$(icons)" -le "$1" ]; }
requests_reach() { [ "$(requests)" -ge "$1" ]; }
# The Linux process that runs the .exe.
winpid() { pgrep -f "$1" | while read -r p; do grep -q "$1" "/proc/$p/cmdline" 2>/dev/null && echo "$p"; done | tail -n 1; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kib() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

start_http_server
start_xvfb
start_trayer
timeout -k 5 300 wineboot -i </dev/null >"$work/wineboot.out" 2>"$work/wineboot.err" || die "wineboot failed"
timeout 10 wineserver -p
seed "$WINEPREFIX/drive_c/windows" Debug=1 AutoStart=1 ComboName0=127.0.0.1 ComboNameSel=0
hz=$(getconf CLK_TCK)

# start_to_icon EXE: seconds from the start to its icon in the tray (the
# median of three starts), and the process left running for the rest.
measure() {
    local exe=$1 name=$2 times=() t0 t1 i
    for i in 1 2 3; do
        local before
        before=$(icons)
        t0=$(date +%s.%N)
        timeout 600 wine "$bin/$exe" </dev/null >"$work/$name.$i.log" 2>&1 &
        wait_for 60 icons_above "$before" || die "$exe: no icon"
        t1=$(date +%s.%N)
        times+=("$(echo "$t1 - $t0" | bc)")
        if [ "$i" != 3 ]; then
            timeout 20 wine "$bin/wintool.exe" close "$3" >/dev/null 2>&1
            wait_for 30 icons_at_most "$before"
        fi
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n 2p
}

echo "what | prodlet.exe | bare_tray.exe"
p_start=$(measure prodlet.exe prodlet ProdletFrame)
b_start=$(measure bare_tray.exe bare BareTrayFrame)
echo "start to icon (s, median of 3) | $p_start | $b_start"
p=$(winpid prodlet.exe); b=$(winpid bare_tray.exe)
n0=$(requests); c0=$(cpu_ticks "$p"); d0=$(cpu_ticks "$b"); s0=$SECONDS
wait_for $((probes * 20 + 60)) requests_reach $((n0 + probes)) || echo "(fewer probes than asked)"
n1=$(requests); c1=$(cpu_ticks "$p"); d1=$(cpu_ticks "$b"); s1=$SECONDS
done_probes=$((n1 - n0))
echo "probes in $((s1 - s0)) s | $done_probes | (ticks once a second)"
echo "CPU per probe (s) | $(echo "scale=3; ($c1 - $c0) / $hz / $done_probes" | bc) | $(echo "scale=3; ($d1 - $d0) / $hz / $done_probes" | bc) (the same time)"
echo "resident memory (KiB) | $(rss_kib "$p") | $(rss_kib "$b")"
timeout 20 wine "$bin/wintool.exe" close ProdletFrame >/dev/null 2>&1
timeout 20 wine "$bin/wintool.exe" close BareTrayFrame >/dev/null 2>&1
sleep 2
timeout 30 wineserver -k >/dev/null 2>&1
