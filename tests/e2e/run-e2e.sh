#!/bin/bash
# End-to-end run of the real binary: Xvfb with trayer as the notification
# area, inside a private network namespace (tests/netns/in-netns.sh) where a
# small HTTP server listens on 127.0.0.1:80, with the hive and the Windows
# directory in a temporary folder.
#
# usage: run-e2e.sh PATH/TO/prodlet   (run inside in-netns.sh)
set -u
prodlet=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/prodlet-e2e-XXXXXX)
pids=()
failures=0

cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    if [ "$failures" = 0 ] && [ -z "${PRODLET_E2E_KEEP:-}" ]; then rm -rf "$work"; else echo "work folder kept: $work"; fi
}
trap cleanup EXIT

die() {  # die "what" LOG...: a set-up step failed
    echo "FAIL - $1"; shift
    for log in "$@"; do echo "--- $log"; cat "$log"; done
    failures=$((failures + 1))
    exit 1
}

check() {  # check "what" command...
    local what=$1; shift
    if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

wait_for() {  # wait_for SECONDS command...
    local limit=$1; shift
    local end=$((SECONDS + limit))
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}

export PRODLET_HIVE=$work/registry.reg
export PRODLET_WINDIR=$work/windows
export XDG_CONFIG_HOME=$work/config
export QT_QPA_PLATFORM=xcb
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
mkdir -p "$PRODLET_WINDIR" "$work/requests"
printf '[Settings]\r\nDebug=1\r\nAutoStart=1\r\nComboName0=127.0.0.1\r\nComboNameSel=0\r\nSeed=first\r\n' \
    > "$PRODLET_WINDIR/Prodlet.INI"

python3 "$here/http_recorder.py" "$work/requests" & pids+=($!)
wait_for 20 test -e "$work/requests/listening" || die "HTTP server did not start"

# Xvfb picks a free display itself and tells which one it took.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 & pids+=($!)
exec 3>&-
wait_for 20 test -s "$work/display" || die "Xvfb did not start" "$work/xvfb.log"
export DISPLAY=:$(head -n 1 "$work/display")
wait_for 20 xdpyinfo >/dev/null 2>&1 || die "Xvfb did not start" "$work/xvfb.log"
trayer --edge top --align right --widthtype request --height 32 --SetDockType true --transparent false \
    >"$work/trayer.log" 2>&1 & pids+=($!)
wait_for 20 sh -c 'xdotool search --onlyvisible --class trayer >/dev/null 2>&1' || die "trayer did not start" "$work/trayer.log" "$work/xvfb.log"

icon_window() { xdotool search --onlyvisible --classname prodlet 2>/dev/null | head -n 1; }
icon_shown() { [ -n "$(icon_window)" ]; }

# ---- first run: imports the seed file, probes, ends from the tray menu
"$prodlet" >"$work/prodlet1.log" 2>&1 & app=$!
check "the tray icon appears" wait_for 30 icon_shown
check "the server receives a probe" wait_for 60 test -e "$work/requests/0.req"
expected=$'GET / HTTP/1.0\r\nConnection: Keep-Alive\r\nUser-Agent: Mozilla/3.0 (Win95; I)\r\nHost: 127.0.0.1\r\nAccept: image/gif, image/jpeg, */*\r\n\r\n'
printf '%s' "$expected" > "$work/expected.req"
check "the request is byte for byte the probe's" cmp -s "$work/expected.req" "$work/requests/0.req"
hive_has() { grep -qF "$1" "$PRODLET_HIVE"; }
check "the seed file was imported" hive_has '"Seed"="first"'
check "the hive holds the interval" hive_has '"Often"="25"'
check "the hive holds the host list" hive_has '"ComboName0"="127.0.0.1"'
check "the hive holds the selection" hive_has '"ComboNameSel"="0"'

if [ -n "${PRODLET_E2E_SHOTS:-}" ]; then
    import -window root "$PRODLET_E2E_SHOTS/tray.png" 2>/dev/null
fi

# Exit from the tray menu: right-click the icon, then the menu's Exit item.
win=$(icon_window)
if [ -n "$win" ]; then
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    sleep 0.3
    xdotool click 3
    menu_shown() { xdotool search --onlyvisible --classname prodlet 2>/dev/null | grep -vx "$win" | grep -q .; }
    check "the tray menu opens" wait_for 10 menu_shown
    [ -n "${PRODLET_E2E_SHOTS:-}" ] && import -window root "$PRODLET_E2E_SHOTS/menu.png" 2>/dev/null
    xdotool key x
fi
exited() { ! kill -0 "$app" 2>/dev/null; }
check "Exit ends the program" wait_for 20 exited
wait "$app"; code=$?
check "the exit code is 0 (was $code)" test "$code" = 0
check "the icon is gone" wait_for 10 sh -c '! xdotool search --onlyvisible --classname prodlet >/dev/null 2>&1'

# ---- second run: the seed file is not read again; SIGTERM ends it in order
sed -i 's/Seed=first/Seed=second/' "$PRODLET_WINDIR/Prodlet.INI"
"$prodlet" >"$work/prodlet2.log" 2>&1 & app=$!
check "the tray icon appears again" wait_for 30 icon_shown
check "a second run does not import" sh -c "grep -qF '\"Seed\"=\"first\"' '$PRODLET_HIVE' && ! grep -qF 'second' '$PRODLET_HIVE'"
kill -TERM "$app"
check "SIGTERM ends the program" wait_for 20 exited
wait "$app"; code=$?
check "the exit code after SIGTERM is 0 (was $code)" test "$code" = 0
check "the icon is gone after SIGTERM" wait_for 10 sh -c '! xdotool search --onlyvisible --classname prodlet >/dev/null 2>&1'

if [ "$failures" != 0 ]; then
    echo "--- prodlet output"; cat "$work"/prodlet*.log
fi
echo "$failures failures"
[ "$failures" = 0 ]
