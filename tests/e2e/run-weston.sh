#!/bin/bash
# The program on Wayland: Weston with Qt's Wayland plugin. Reads what the
# program asked of the compositor from its protocol log (WAYLAND_DEBUG,
# wayland_windows.py): every top-level window of fixed size, drawn without
# Qt's own decoration (whose maximise button breaks a fixed-size window on
# Weston), never maximised.
#  1. headless, no notification area: the program starts and shows
#     "Failed to create tray icon";
#  2. headless, with a StatusNotifierItem host: the host's click shows the
#     frame, Exit from its menu ends the program;
#  3. Weston nested in Xvfb (for a keyboard), no notification area: OK on the
#     box and the program falls back to its frame.
#
# usage: run-weston.sh PATH/TO/prodlet   (run inside tests/netns/in-netns.sh)
set -u
prodlet=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=desktop-common.sh
. "$here/desktop-common.sh"

export QT_QPA_PLATFORM=wayland
debug_flag=()
[ -n "${PRODLET_E2E_SHOTS:-}" ] && debug_flag=(--debug)  # lets weston-screenshooter in

weston_pid=
start_weston() {  # start_weston NAME BACKEND-ARGS...
    need weston
    local name=$1 attempt; shift
    # Weston's X11 backend now and then gives up setting up its window on a
    # busy machine ("failed to create compositor backend"); a second start
    # has always done.
    for attempt in 1 2; do
        weston "$@" --use-pixman --socket="$name" --idle-time=0 "${debug_flag[@]}" >"$work/$name.log" 2>&1 &
        weston_pid=$!; pids+=("$weston_pid")
        wait_for 45 sh -c "test -S '$XDG_RUNTIME_DIR/$name' || ! kill -0 $weston_pid 2>/dev/null"
        [ -S "$XDG_RUNTIME_DIR/$name" ] && break
        kill "$weston_pid" 2>/dev/null; wait "$weston_pid" 2>/dev/null
        cp "$work/$name.log" "$work/$name.attempt$attempt.log"
    done
    [ -S "$XDG_RUNTIME_DIR/$name" ] || die "weston did not start" "$work/$name.log"
    export WAYLAND_DISPLAY=$name
}
stop_weston() { kill "$weston_pid" 2>/dev/null; wait "$weston_pid" 2>/dev/null; }
wl_shot() {
    [ -n "${PRODLET_E2E_SHOTS:-}" ] || return 0
    (cd "$PRODLET_E2E_SHOTS" && timeout 10 weston-screenshooter >/dev/null 2>&1 &&
        mv "$(ls -t wayland-screenshot-*.png | head -n 1)" "$1.png")
}

windows() { /usr/bin/python3 "$here/wayland_windows.py" "$1"; }
window_count() { windows "$1" | grep -c 'buffer=yes'; }
has_windows() { [ "$(window_count "$1")" -ge "$2" ]; }
# check_windows LOG WHAT: each top-level asked for is fixed, undecorated, never maximised.
check_windows() {
    local log=$1 what=$2 line
    while read -r line; do
        echo "     $line"
        local min max geometry buffer maximize
        min=$(sed -n 's/.* min=\([^ ]*\).*/\1/p' <<<"$line")
        max=$(sed -n 's/.* max=\([^ ]*\).*/\1/p' <<<"$line")
        geometry=$(sed -n 's/.* geometry=\([^ ]*\).*/\1/p' <<<"$line")
        buffer=$(sed -n 's/.* buffer=\([^ ]*\).*/\1/p' <<<"$line")
        maximize=$(sed -n 's/.* maximize=\([^ ]*\).*/\1/p' <<<"$line")
        check "$what: titled Prodlet" grep -q '^title=Prodlet ' <<<"$line"
        check "$what: of fixed size ($min)" test "$min" = "$max" -a "$min" != 0x0
        # Qt's decoration lies inside the window geometry, around the size
        # asked for: without it the window is exactly that size.
        check "$what: drawn without Qt's decoration (geometry $geometry, same-size buffer $buffer)" \
            test "$(cut -d, -f1-2 <<<"$geometry")" = 0,0 -a "$(cut -d, -f3-4 <<<"$geometry" | tr , x)" = "$min" \
            -a "$buffer" = yes
        check "$what: never maximised" test "$maximize" = no
    done < <(windows "$log")
}
exited() { ! kill -0 "$app" 2>/dev/null; }
end_by_signal() {  # SIGTERM ends it in order, the box open or not
    kill -TERM "$app"
    check "$1: SIGTERM ends the program" wait_for 20 exited
    wait "$app"; local code=$?
    check "$1: the exit code is 0 (was $code)" test "$code" = 0
}

# ---- 1. headless, no notification area
start_weston wl-headless --backend=headless-backend.so --width=1024 --height=768
WAYLAND_DEBUG=client "$prodlet" >"$work/prodlet1.log" 2>&1 & app=$!
check "headless: the program shows a window" wait_for 30 has_windows "$work/prodlet1.log" 1
sleep 1  # anything more it would ask for comes with the first window
check "headless: the program still runs" kill -0 "$app"
wl_shot weston-no-tray
check_windows "$work/prodlet1.log" "headless, no tray: the box"
end_by_signal "headless, no tray"

# ---- 2. headless, with a StatusNotifierItem host
start_session_bus
start_watcher
WAYLAND_DEBUG=client "$prodlet" >"$work/prodlet2.log" 2>&1 & app=$!
check "headless, host: the item registers" wait_for 30 test -e "$work/sni.json"
check "headless, host: the host's click (Activate) shows the frame" wait_for 20 has_windows "$work/prodlet2.log" 1
sleep 1
check "headless, host: the frame alone, no message box" test "$(window_count "$work/prodlet2.log")" = 1
wl_shot weston-frame
check_windows "$work/prodlet2.log" "headless, host: the frame"
sni_click E_xit
check "headless, host: Exit from the host's menu ends the program" wait_for 20 exited
wait "$app"; code=$?
check "headless, host: the exit code is 0 (was $code)" test "$code" = 0
kill "${pids[-1]}" 2>/dev/null  # the watcher
unset DBUS_SESSION_BUS_ADDRESS
stop_weston

# ---- 3. Weston nested in Xvfb, for a keyboard: OK on the box
start_xvfb
start_weston wl-nested --backend=x11-backend.so --width=800 --height=600
WAYLAND_DEBUG=client env -u DISPLAY "$prodlet" >"$work/prodlet3.log" 2>&1 & app=$!
check "nested: the box is shown" wait_for 30 has_windows "$work/prodlet3.log" 1
sleep 1
# Without a window manager the keyboard goes to the window under the pointer:
# Weston's, at the top left of the screen; the box has Weston's keyboard, and
# Return presses OK.
xdotool mousemove 400 300
sleep 0.3
xdotool key Return
check "nested: after OK the program falls back to its frame" wait_for 20 has_windows "$work/prodlet3.log" 2
shot weston-nested-frame
check_windows "$work/prodlet3.log" "nested"
end_by_signal "nested"
stop_weston

if [ "$failures" != 0 ]; then
    for log in "$work"/prodlet*.log; do echo "--- $log"; grep -v '^\[' "$log" | head -n 40; done
fi
e2e_finish  # the logs are shown above, without their Wayland trace
