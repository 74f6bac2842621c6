#!/bin/bash
# End-to-end run of prodletd against hosts that misbehave, all at once, each
# with its own settings file and the Debug interval of 15 seconds: a server
# that never answers, one that closes at once, one that sends a megabyte, one
# that answers a byte at a time, an address where nothing listens, and a name
# that cannot be resolved. For each, three probes: they keep the rhythm, the
# log tells what happened to each, the program neither spins nor gathers
# descriptors, and it ends in order.
#
# usage: run-faults.sh PATH/TO/prodletd   (run inside in-netns.sh)
set -u
prodletd=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/e2e-lib.sh
. "$here/e2e-lib.sh"
e2e_work
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS PRODLET_HIVE
export XDG_CONFIG_HOME=$work/config

servers="silent close megabyte slow"
scenarios="$servers refused unresolvable"
declare -A host app fds2
n=1
for mode in $scenarios; do
    mkdir -p "$work/$mode/windows"
    host[$mode]=127.0.0.$n
    n=$((n + 1))
done
host[unresolvable]=no-such-host.invalid

for mode in $servers; do
    python3 "$here/fault_server.py" "$mode" "${host[$mode]}" "$work/$mode" & pids+=($!)
done
for mode in $servers; do
    wait_for 20 test -e "$work/$mode/listening" || die "the $mode server did not start"
done

for mode in $scenarios; do
    printf '[Settings]\r\nDebug=1\r\nComboName0=%s\r\nComboNameSel=0\r\n' "${host[$mode]}" \
        >"$work/$mode/windows/Prodlet.INI"
    PRODLET_WINDIR=$work/$mode/windows "$prodletd" --settings "$work/$mode/prodlet.reg" \
        >"$work/$mode/out" 2>"$work/$mode/err" &
    app[$mode]=$!
    pids+=("${app[$mode]}")
done

gone() { ! kill -0 "$1" 2>/dev/null; }
descriptors() { find "/proc/$1/fd" -mindepth 1 | wc -l; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# attempts MODE: the probes that reached the server, or the failures the log tells
attempts() {
    case $1 in
    refused) grep -c ' status: Last connection failed$' "$work/$1/out" ;;
    unresolvable) grep -c ' status: Last domain resolution failed$' "$work/$1/out" ;;
    *) find "$work/$1" -name '*.conn' | wc -l ;;
    esac
}
at_least() { [ "$(attempts "$1")" -ge "$2" ]; }
# The times of the attempts, one a line, in seconds.
attempt_times() {
    case $1 in
    refused | unresolvable)
        local pattern='Last connection failed'
        [ "$1" = unresolvable ] && pattern='Last domain resolution failed'
        grep " status: $pattern\$" "$work/$1/out" | while read -r day time _; do date -d "$day $time" +%s; done ;;
    *) for ((i = 0; i < $(attempts "$1"); i++)); do cat "$work/$1/$i.conn"; done ;;
    esac
}
# gaps_between LOW HIGH MODE: every gap between attempts within [LOW, HIGH] seconds
gaps_between() {
    attempt_times "$3" | awk -v lo="$1" -v hi="$2" \
        'NR > 1 { g = $1 - last; if (g < lo || g > hi) { print "    gap " g " s"; bad = 1 } } { last = $1 } END { exit bad }'
}

# Descriptors are counted after the second attempt and after the third.
for mode in $scenarios; do
    wait_for 60 at_least "$mode" 2 || { echo "FAIL - $mode: a second attempt"; failures=$((failures + 1)); continue; }
    sleep 1
    fds2[$mode]=$(descriptors "${app[$mode]}")
done
for mode in $scenarios; do
    wait_for 60 at_least "$mode" 3 || { echo "FAIL - $mode: a third attempt"; failures=$((failures + 1)); continue; }
done
sleep 1
for mode in $scenarios; do
    fds3=$(descriptors "${app[$mode]}")
    check "$mode: as many descriptors after the third attempt as after the second (${fds2[$mode]:-?}, $fds3)" \
        test "${fds2[$mode]:-}" = "$fds3"
    # A whole core would be about 3,000 ticks over these 30 seconds.
    ticks=$(cpu_ticks "${app[$mode]}")
    check "$mode: the program does not spin ($ticks ticks of CPU)" test "$ticks" -lt 500
    check "$mode: one attempt per round ($(attempts "$mode") in three rounds)" test "$(attempts "$mode")" = 3
    check "$mode: the attempts keep the 15-second rhythm" gaps_between 13 20 "$mode"
done

for mode in megabyte slow; do
    check "$mode: each probe completes" test "$(grep -c ' status: Prodlet completed at ' "$work/$mode/out")" = 3
done
for mode in silent close; do
    # No answer is no success; the next probe replaces the socket.
    check "$mode: each probe is sent" test "$(grep -c ' status: Prodlet was sent$' "$work/$mode/out")" = 3
    check "$mode: no probe counts as completed" test "$(grep -c ' status: Prodlet completed at ' "$work/$mode/out")" = 0
done
check "refused: no look-up fails" test "$(grep -c 'resolution failed' "$work/refused/out")" = 0
check "unresolvable: no connect is tried" test "$(grep -c 'Connection made OK\|connection failed' "$work/unresolvable/out")" = 0

for mode in $scenarios; do
    kill -TERM "${app[$mode]}"
done
for mode in $scenarios; do
    check "$mode: SIGTERM ends it" wait_for 20 gone "${app[$mode]}"
    wait "${app[$mode]}"; code=$?
    check "$mode: the status after SIGTERM is 0 (was $code)" test "$code" = 0
    check "$mode: nothing on standard error" test ! -s "$work/$mode/err"
done

logs=()
for mode in $scenarios; do logs+=("$work/$mode/out" "$work/$mode/err"); done
e2e_finish "${logs[@]}"
