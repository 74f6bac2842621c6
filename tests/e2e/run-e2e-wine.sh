#!/bin/bash
# End-to-end run of prodlet.exe under Wine: Xvfb with trayer as the
# notification area, a fresh Wine prefix warmed after trayer is up, inside a
# private network namespace (tests/netns/in-netns.sh) where the recorder
# listens on 127.0.0.1:80, and a seed Prodlet.INI in the prefix's C:\windows.
#
# usage: run-e2e-wine.sh BUILD-DIR   (run inside in-netns.sh; BUILD-DIR/bin
#        holds prodlet.exe and wintool.exe)
#        PRODLET_E2E_SHOTS=DIR keeps screenshots of what it saw there.
set -u
bin=$1/bin
# shellcheck source=tests/e2e/e2e-lib.sh
. "$(dirname "$0")/e2e-lib.sh"
e2e_work
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
shots=${PRODLET_E2E_SHOTS:-}

# Every Wine call has a time limit and its own output files: a Wine service
# it starts must never hold our output open.
wine_run() {  # wine_run SECONDS LOG ARGS...
    local limit=$1 log=$2; shift 2
    timeout -k 5 "$limit" wine "$@" </dev/null >"$log" 2>&1
}
wintool() { wine_run 30 "$work/wintool.log" "$bin/wintool.exe" "$@"; }
# The icon docks as a small window of Wine's explorer inside trayer.
icon_window() {
    local w
    for w in $(xdotool search --onlyvisible --classname explorer.exe 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
        if [ "${WIDTH:-99}" -le 48 ] && [ "${HEIGHT:-99}" -le 48 ]; then echo "$w"; return; fi
    done
}
icon_shown() { [ -n "$(icon_window)" ]; }
shot() { [ -n "$shots" ] && import -window root "$shots/$1.png" 2>/dev/null; true; }
# Keys sent to Wine windows are lost when press and release come at once.
key() { xdotool keydown "$1"; sleep 0.15; xdotool keyup "$1"; sleep 0.15; }
click_icon() {  # click_icon BUTTON [COUNT]
    local win
    win=$(icon_window)
    [ -n "$win" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    sleep 0.3
    if [ "${2:-1}" = 2 ]; then
        xdotool click --repeat 2 --delay 120 "$1"
    else
        xdotool mousedown "$1"; sleep 0.15; xdotool mouseup "$1"
    fi
}
menu_shown() { xdotool search --onlyvisible --classname prodlet.exe 2>/dev/null | grep -q .; }
frame_shown() { wintool shown ProdletFrame; }
about_texts() { wintool texts "About Prodlet" && tr -d '\r' <"$work/wintool.log"; }
about_open() { wintool texts "About Prodlet"; }
# Without a window manager the box opened from the tray menu has no X
# focus: it gets it, and since the first key after a focus change is lost,
# Esc goes again until the box has gone.
close_about() {
    local n w
    w=$(xdotool search --onlyvisible --name '^About Prodlet$' 2>/dev/null | head -n 1)
    [ -n "$w" ] && xdotool windowfocus "$w" 2>/dev/null
    sleep 0.3
    for n in 1 2 3; do
        key Escape
        wait_for 5 eval '! about_open' && return 0
    done
    return 1
}
stored() {  # stored NAME VALUE: reg query finds the value below the program's key
    wine_run 60 "$work/reg.log" reg query 'HKLM\Software\Quorvane Software\Prodlet' /s &&
        tr -d '\r' <"$work/reg.log" | grep -Eq "^ +$1 +REG_SZ +$2\$"
}
exited() { ! kill -0 "$app" 2>/dev/null; }

start_http_server
start_xvfb
# The tray must be owned before Wine's explorer starts and adds the icons.
start_trayer
timeout -k 5 300 wineboot -i </dev/null >"$work/wineboot.out" 2>"$work/wineboot.err" ||
    die "wineboot did not warm the prefix" "$work/wineboot.err"
seed "$WINEPREFIX/drive_c/windows" Debug=1 AutoStart=1 ComboName0=127.0.0.1 ComboNameSel=0 Seed=first

# ---- first run: imports the seed, probes, answers the tray, ends with Exit
wine_run 600 "$work/prodlet1.log" "$bin/prodlet.exe" & app=$!
check "the tray icon docks into trayer" wait_for 60 icon_shown
check "the server receives a probe" wait_for 60 test -e "$work/requests/0.req"
expected=$'GET / HTTP/1.0\r\nConnection: Keep-Alive\r\nUser-Agent: Mozilla/3.0 (Win95; I)\r\nHost: 127.0.0.1\r\nAccept: image/gif, image/jpeg, */*\r\n\r\n'
printf '%s' "$expected" >"$work/expected.req"
check "the request is byte for byte the probe's" cmp -s "$work/expected.req" "$work/requests/0.req"
check "the seed was imported" stored Seed first
check "the registry holds the interval" stored Often 25
check "the registry holds the host list" stored ComboName0 127.0.0.1
check "the registry holds the selection" stored ComboNameSel 0
shot tray

click_icon 3
check "the right-click menu opens" wait_for 10 menu_shown
shot menu
key a  # About Prodlet...
check "the About box opens" wait_for 20 about_open
about=$(about_texts)
check "the About box shows the address" grep -qx '127\.0\.0\.1' <<<"$about"
check "the About box shows the time since launch" grep -Eq '^[0-9]+(:[0-9][0-9])+$|second|minute' <<<"$about"
shot about
check "Esc closes the About box" close_about

click_icon 1 2
check "a double-click shows the frame" wait_for 20 frame_shown
shot frame

click_icon 3
check "the menu opens again" wait_for 10 menu_shown
key x  # Exit
check "Exit ends the program" wait_for 30 exited
wait "$app"; code=$?
check "Exit ends with 0 (was $code)" test "$code" = 0
check "the icon is gone" wait_for 20 eval '! icon_shown'

# ---- second run: no import; a second start restores; the session's end ends it
sed -i 's/Seed=first/Seed=second/' "$WINEPREFIX/drive_c/windows/Prodlet.INI"
wine_run 600 "$work/prodlet2.log" "$bin/prodlet.exe" & app=$!
check "the icon docks again" wait_for 60 icon_shown
check "a second run does not import" stored Seed first
wine_run 60 "$work/prodlet-again.log" "$bin/prodlet.exe"; again=$?
check "a second start ends with 0 (was $again)" test "$again" = 0
check "a second start shows the running copy's frame" wait_for 20 frame_shown
timeout -k 5 120 wineboot --end-session </dev/null >"$work/endsession.out" 2>&1
check "the end of the session ends the program" wait_for 30 exited
wait "$app"; code=$?
check "it ends with 0 (was $code)" test "$code" = 0
check "its icon is gone" wait_for 20 eval '! icon_shown'
check "the settings are kept" stored Often 25

# ---- third run: an installer's WM_CLOSE to the frame ends it as Exit does
wine_run 600 "$work/prodlet3.log" "$bin/prodlet.exe" & app=$!
check "the icon docks a third time" wait_for 60 icon_shown
check "the frame can be found by its class" wait_for 20 wintool close ProdletFrame
check "WM_CLOSE ends the program" wait_for 30 exited
wait "$app"; code=$?
check "WM_CLOSE ends with 0 (was $code)" test "$code" = 0
check "the icon goes with it" wait_for 20 eval '! icon_shown'

timeout -k 5 30 wineserver -k >/dev/null 2>&1
e2e_finish "$work/prodlet1.log" "$work/prodlet2.log" "$work/prodlet3.log" "$work/wineboot.err" "$work/reg.log"
