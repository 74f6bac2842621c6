#!/bin/bash
# End-to-end run of prodletd: no display and no notification area, inside a
# private network namespace (tests/netns/in-netns.sh) where a small HTTP
# server listens on 127.0.0.1:80 and nothing listens on 127.0.0.2, with the
# settings file and the Windows directory in a temporary folder.
#
# usage: run-e2e-prodletd.sh PATH/TO/prodletd   (run inside in-netns.sh)
set -u
prodletd=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/e2e-lib.sh
. "$here/e2e-lib.sh"
e2e_work


# No display of any kind: the program must not need one.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS PRODLET_HIVE
export XDG_CONFIG_HOME=$work/config
export PRODLET_WINDIR=$work/windows
hive=$work/settings/prodlet.reg
seed "$PRODLET_WINDIR" Debug=1 AutoStart=0 ComboName0=127.0.0.1 ComboNameSel=0 Seed=first
mkdir -p "$work/requests"

start_http_server

expected=$'GET / HTTP/1.0\r\nConnection: Keep-Alive\r\nUser-Agent: Mozilla/3.0 (Win95; I)\r\nHost: 127.0.0.1\r\nAccept: image/gif, image/jpeg, */*\r\n\r\n'
printf '%s' "$expected" >"$work/expected.req"
hive_has() { grep -qF "$1" "$hive"; }
exited() { ! kill -0 "$1" 2>/dev/null; }
# in_order FILE PATTERN...: each fixed pattern on a later line than the one before
in_order() {
    local file=$1; shift
    local last=0 n
    for pattern in "$@"; do
        n=$(grep -nF -- "$pattern" "$file" | cut -d: -f1 | awk -v after="$last" '$1 > after { print; exit }')
        [ -n "$n" ] || { echo "    not found after line $last: $pattern"; return 1; }
        last=$n
    done
}
all_lines_stamped() {
    ! grep -vqE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} (status|icon|tip|exit): ' "$1"
}

# ---- the service: starts at once without Auto-Start, probes every 15 seconds,
# logs each event, ends in order on SIGTERM
"$prodletd" --settings "$hive" >"$work/daemon.out" 2>"$work/daemon.err" & app=$!
check "the server receives a probe" wait_for 30 test -e "$work/requests/0.req"
check "and a second one" wait_for 60 test -e "$work/requests/1.req"
check "the first request is byte for byte the probe's" cmp -s "$work/expected.req" "$work/requests/0.req"
check "the second one too" cmp -s "$work/expected.req" "$work/requests/1.req"
gap=$(awk -v a="$(stat -c %.9Y "$work/requests/0.req")" -v b="$(stat -c %.9Y "$work/requests/1.req")" \
          'BEGIN { printf "%.1f", b - a }')
# Ticks are never early: fifteen of them take more than 14 seconds, however
# late the first one came.
check "the probes keep the 15-second rhythm (gap ${gap} s)" awk -v g="$gap" 'BEGIN { exit !(g >= 14) }'
check "the countdown shows the debug interval" grep -qF " tip: Prodlet in  0:15" "$work/daemon.out"
check "every line carries the time and its kind" all_lines_stamped "$work/daemon.out"
check "the log tells the start and the probe in order" in_order "$work/daemon.out" \
    " status: PLEASE START ME" " status: Starting Connection" " status: Determining Local IP Address" \
    " status: Connection made OK" " icon: probing" " status: Prodlet was sent" " icon: idle" \
    " status: Prodlet completed at " " status: Connection made OK" " status: Prodlet completed at "
check "the completion line has the time" grep -qE ' status: Prodlet completed at [0-9]{2}:[0-9]{2}:[0-9]{2}$' "$work/daemon.out"
check "the seed file was imported" hive_has '"Seed"="first"'
check "the settings hold the interval" hive_has '"Often"="25"'
check "the settings hold the host list" hive_has '"ComboName0"="127.0.0.1"'
cp "$hive" "$work/hive-before-term"
kill -TERM "$app"
check "SIGTERM ends it" wait_for 20 exited "$app"
wait "$app"; code=$?
check "the status after SIGTERM is 0 (was $code)" test "$code" = 0
check "the settings file is intact" cmp -s "$work/hive-before-term" "$hive"
check "the settings file is a whole hive" sh -c "head -n 1 '$hive' | grep -q '^REGEDIT4'"
check "no temporary settings file is left" sh -c "! ls '$work/settings' | grep -v -e '^prodlet.reg$' -e '^prodlet.reg.lock$' -e '^prodlet.reg.prodletd.lock$' | grep -q ."
check "nothing on standard error" test ! -s "$work/daemon.err"

# ---- SIGINT ends it the same way; the seed is not read again
sed -i 's/Seed=first/Seed=second/' "$PRODLET_WINDIR/Prodlet.INI"
"$prodletd" --settings "$hive" >"$work/int.out" 2>"$work/int.err" & app=$!
check "a second run probes" wait_for 30 grep -qF " status: Prodlet completed at " "$work/int.out"
kill -INT "$app"
check "SIGINT ends it" wait_for 20 exited "$app"
wait "$app"; code=$?
check "the status after SIGINT is 0 (was $code)" test "$code" = 0
check "a second run does not import the seed again" sh -c "grep -qF '\"Seed\"=\"first\"' '$hive' && ! grep -qF second '$hive'"

# ---- --once: one probe, the status tells its outcome, the settings stay as they were
cp "$hive" "$work/hive-before-once"
before=$(requests)
"$prodletd" --once --settings "$hive" >"$work/once-ok.out" 2>"$work/once-ok.err"; code=$?
check "--once against a listening server: status 0 (was $code)" test "$code" = 0
check "--once made exactly one probe" test "$(requests)" = $((before + 1))
check "--once left the settings byte for byte" cmp -s "$work/hive-before-once" "$hive"
check "--once wrote nothing on standard error" test ! -s "$work/once-ok.err"
"$prodletd" --once --settings "$work/settings/none.reg" >"$work/once-new.out" 2>"$work/once-new.err"; code=$?
check "--once on a first run (the seed's host): status 0 (was $code)" test "$code" = 0
check "--once did not make a settings file" test ! -e "$work/settings/none.reg"

# Nothing listens on 127.0.0.2. Ignore is on in this seed; --once reports the
# failure instead of trying the next host.
seed "$work/windows-refused" Debug=1 ComboName0=127.0.0.2 ComboNameSel=0
PRODLET_WINDIR=$work/windows-refused "$prodletd" --once --settings "$work/settings/refused.reg" \
    >"$work/once-refused.out" 2>"$work/once-refused.err"; code=$?
check "--once against a refusing port: status 1 (was $code)" test "$code" = 1
check "--once tells why on standard error" \
    grep -qxF "prodletd: Prodlet: Cannot connect to 127.0.0.2 on port 80." "$work/once-refused.err"

# ---- a failure with Ignore off ends the service with status 1 and the box's text
seed "$work/windows-strict" Debug=1 Ignore=0 ComboName0=127.0.0.2 ComboNameSel=0
PRODLET_WINDIR=$work/windows-strict timeout 60 "$prodletd" --settings "$work/settings/strict.reg" \
    >"$work/strict.out" 2>"$work/strict.err"; code=$?
check "a failure with Ignore off: status 1 (was $code)" test "$code" = 1
check "the box's first line on standard error, after the program's name" \
    sh -c "head -n 1 '$work/strict.err' | grep -qxF 'prodletd: Prodlet: Cannot connect to 127.0.0.2 on port 80.'"
check "the box's footer follows it" grep -qE '^This message created at time [0-9]{2}:[0-9]{2}:[0-9]{2}$' "$work/strict.err"
check "the log shows the stop" in_order "$work/strict.out" " tip: Prodlet has stopped" " icon: stopped" " exit: 1, "

e2e_finish "$work"/*.out "$work"/*.err
