# shellcheck shell=bash
# What the desktop end-to-end scripts share: a work folder, checks, waiting
# for conditions, an X server, and the program's own windows. Sourced.

[ -n "${PRODLET_E2E_TRACE:-}" ] && set -x  # every step on the output
work=$(mktemp -d /tmp/prodlet-desktop-XXXXXX)
pids=()
failures=0
# A sanitizer build writes its reports into the work folder, where
# desktop_finish finds them.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:log_path=$work/sanitizer"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-}:log_path=$work/sanitizer"

cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    if [ "$failures" = 0 ] && [ -z "${PRODLET_E2E_KEEP:-}" ]; then rm -rf "$work"; else echo "work folder kept: $work"; fi
}
trap cleanup EXIT

desktop_finish() {  # desktop_finish: a sanitizer's report counts as a failure; the result
    local report
    for report in "$work"/sanitizer.*; do
        [ -e "$report" ] || continue
        echo "FAIL - a sanitizer reported"; echo "--- $report"; cat "$report"
        failures=$((failures + 1))
    done
    echo "$failures failures"
    [ "$failures" = 0 ]
}

die() {  # die "what" LOG...: a set-up step failed
    echo "FAIL - $1"; shift
    for log in "$@"; do echo "--- $log"; cat "$log"; done
    failures=$((failures + 1))
    exit 1
}

check() {  # check "what" command...
    local what=$1; shift
    echo "$what" >"$work/step"
    if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

wait_for() {  # wait_for SECONDS command...: generous limits, short polls
    local limit=$1; shift
    local end=$((SECONDS + limit))
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}

# An X client that cannot reach a stuck server must not hang the test.
for tool in xdotool xprop xwininfo xdpyinfo; do
    eval "$tool() { timeout 20 $(command -v $tool) \"\$@\"; }"
done

# Past the limit the test ends itself, saying where it was, rather than
# leaving CTest to kill it without a word.
echo "setting up" >"$work/step"
trap 'failures=$((failures + 1)); exit 1' TERM  # ends through cleanup, keeping the work folder
(
    sleep "${PRODLET_E2E_LIMIT:-200}" </dev/null >/dev/null 2>&1  # holds no pipe of CTest's
    echo "FAIL - gave up after ${PRODLET_E2E_LIMIT:-200} s at: $(cat "$work/step" 2>/dev/null)"
    # The script ends once its foreground step does, and one of its
    # children may be what hangs (this watchdog is one too, and goes last).
    kill -TERM $$
    pkill -TERM -P $$
) & pids+=($!)

shot() {  # shot NAME: a screenshot into $PRODLET_E2E_SHOTS, when set
    [ -n "${PRODLET_E2E_SHOTS:-}" ] && import -window root "$PRODLET_E2E_SHOTS/$1.png" 2>/dev/null
    return 0
}

# The program's settings and seed file in the work folder: no auto-start, a
# host on the loopback address.
export PRODLET_HIVE=$work/registry.reg
export PRODLET_WINDIR=$work/windows
export XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY
mkdir -p "$PRODLET_WINDIR" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[Settings]\r\nAutoStart=0\r\nComboName0=127.0.0.1\r\nComboNameSel=0\r\n' > "$PRODLET_WINDIR/Prodlet.INI"

start_xvfb() {  # Xvfb on a free display it picks itself
    exec 3>"$work/display"
    # -noreset: the server would start over each time its last client left
    # (the first of which is the check below), and a client connecting then
    # is turned away.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 & pids+=($!)
    exec 3>&-
    wait_for 20 test -s "$work/display" || die "Xvfb did not start" "$work/xvfb.log"
    DISPLAY=:$(head -n 1 "$work/display")
    export DISPLAY
    wait_for 20 xdpyinfo >/dev/null 2>&1 || die "Xvfb did not start" "$work/xvfb.log"
}

# The program's windows by size: the tray icon is small, the frame is not.
prodlet_windows() {  # prodlet_windows [--onlyvisible]
    xdotool search "$@" --classname prodlet 2>/dev/null
}
icon_window() {
    local w
    for w in $(prodlet_windows --onlyvisible); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
        if [ "${WIDTH:-999}" -le 64 ] && [ "${HEIGHT:-999}" -le 64 ]; then echo "$w"; return; fi
    done
}
icon_shown() { [ -n "$(icon_window)" ]; }
# Managed top-level windows titled "Prodlet": the frame, then any box.
titled_windows() { xdotool search --onlyvisible --name '^Prodlet$' 2>/dev/null; }
frame_window() {
    local w
    for w in $(titled_windows); do
        xprop -id "$w" WM_TRANSIENT_FOR 2>/dev/null | grep -q 'not found' && { echo "$w"; return; }
    done
}
frame_shown() { [ -n "$(frame_window)" ]; }
box_window() {
    local w
    for w in $(titled_windows); do
        xprop -id "$w" WM_TRANSIENT_FOR 2>/dev/null | grep -q 'window id' && { echo "$w"; return; }
    done
}
box_shown() { [ -n "$(box_window)" ]; }

point_at_icon() {
    local w
    w=$(icon_window)
    [ -n "$w" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$w")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    sleep 0.3
}
double_click_icon() { point_at_icon && xdotool click --repeat 2 --delay 80 1; }
right_click_icon() { point_at_icon && xdotool click 3; }

# A private session bus of the test's own, and a StatusNotifierItem host on it.
start_session_bus() {
    exec 3>"$work/bus-address"
    dbus-daemon --session --nofork --nopidfile --print-address=3 >"$work/dbus.log" 2>&1 & pids+=($!)
    exec 3>&-
    wait_for 20 test -s "$work/bus-address" || die "dbus-daemon did not start" "$work/dbus.log"
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus-address")
    export DBUS_SESSION_BUS_ADDRESS
}
start_watcher() {  # results go to $work/sni.json
    /usr/bin/python3 "$here/sni_watcher.py" "$work/sni.ready" "$work/sni.json" >"$work/watcher.log" 2>&1 & pids+=($!)
    wait_for 20 test -e "$work/sni.ready" || die "the StatusNotifierWatcher did not start" "$work/watcher.log"
}
sni_field() {  # sni_field PYTHON-EXPRESSION-ON-r: prints it
    /usr/bin/python3 -c "import json, sys; r = json.load(open(sys.argv[1])); print($1)" "$work/sni.json"
}
sni_click() {  # sni_click LABEL: clicks that item of the item's menu
    sni_field "r['menu_ids'][[m.get('label') for m in r['menu']].index('$1')]" >"$work/sni.json.click.tmp" &&
        mv "$work/sni.json.click.tmp" "$work/sni.json.click"
}
