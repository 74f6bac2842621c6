#!/bin/bash
# End-to-end run of the real binary: Xvfb with trayer as the notification
# area, inside a private network namespace (tests/netns/in-netns.sh) where a
# small HTTP server listens on 127.0.0.1:80, with the hive and the Windows
# directory in a temporary folder.
#
# usage: run-e2e.sh PATH/TO/prodlet   (run inside in-netns.sh)
set -u
prodlet=$1
# shellcheck source=tests/e2e/e2e-lib.sh
. "$(dirname "$0")/e2e-lib.sh"
e2e_init
# Deliberately no session bus, as on a plain X server, a kiosk or over
# ssh -X: the program must start, probe and end in order all the same, and
# its icon goes to the XEmbed notification area (trayer). Whether libdbus
# can start a bus for itself (dbus-launch) depends on what is installed:
# the run passes either way.
unset DBUS_SESSION_BUS_ADDRESS
printf '[Settings]\r\nDebug=1\r\nAutoStart=1\r\nComboName0=127.0.0.1\r\nComboNameSel=0\r\nSeed=first\r\n' \
    > "$PRODLET_WINDIR/Prodlet.INI"

start_http_server
start_xvfb
start_trayer

# ---- first run: imports the seed file, probes, ends from the tray menu
"$prodlet" >"$work/prodlet1.log" 2>&1 & app=$!
check "the tray icon appears" wait_for 30 icon_shown
check "the server receives a probe" wait_for 60 test -e "$work/requests/0.req"
expected=$'GET / HTTP/1.0\r\nConnection: Keep-Alive\r\nUser-Agent: Mozilla/3.0 (Win95; I)\r\nHost: 127.0.0.1\r\nAccept: image/gif, image/jpeg, */*\r\n\r\n'
printf '%s' "$expected" > "$work/expected.req"
check "the request is byte for byte the probe's" cmp -s "$work/expected.req" "$work/requests/0.req"
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
check "Exit ends the program" wait_for 20 exited
wait "$app"; code=$?
check "the exit code is 0 (was $code)" test "$code" = 0
check "the icon is gone" wait_for 10 eval '! icon_shown'
check "without a session bus the program writes no warnings" test ! -s "$work/prodlet1.log"

# ---- second run: the seed file is not read again; SIGTERM ends it in order
sed -i 's/Seed=first/Seed=second/' "$PRODLET_WINDIR/Prodlet.INI"
"$prodlet" >"$work/prodlet2.log" 2>&1 & app=$!
check "the tray icon appears again" wait_for 30 icon_shown
check "a second run does not import" sh -c "grep -qF '\"Seed\"=\"first\"' '$PRODLET_HIVE' && ! grep -qF 'second' '$PRODLET_HIVE'"
kill -TERM "$app"
check "SIGTERM ends the program" wait_for 20 exited
wait "$app"; code=$?
check "the exit code after SIGTERM is 0 (was $code)" test "$code" = 0
check "the icon is gone after SIGTERM" wait_for 10 eval '! icon_shown'

e2e_finish "$work"/prodlet*.log
