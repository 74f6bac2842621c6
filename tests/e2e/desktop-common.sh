# shellcheck shell=bash
# What the desktop end-to-end scripts add to e2e-lib.sh: a watchdog, the
# program's settings, its own windows and a StatusNotifierItem host. Sourced.

[ -n "${PRODLET_E2E_TRACE:-}" ] && set -x  # every step on the output
# shellcheck source=tests/e2e/e2e-lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e-lib.sh"
e2e_work

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

# A StatusNotifierItem host on the session bus (start_session_bus, e2e-lib.sh).
start_watcher() {  # results go to $work/sni.json
    need python3
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
