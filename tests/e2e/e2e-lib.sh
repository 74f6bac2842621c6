# shellcheck shell=bash
# What the end-to-end scripts share: a temporary work folder, checks that
# count failures, waiting for conditions, the local HTTP server, Xvfb and
# trayer. Sourced by the end-to-end scripts (desktop-common.sh adds what the
# desktop runs need).
#
# The sourcing script sets `set -u`; after `e2e_init` it has $work, the
# array $pids (killed at exit) and $failures.
# shellcheck disable=SC2154  # $app is the sourcing script's

e2e_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# A client that connects to Xvfb while another one holds a server grab
# (trayer and openbox take one as they start, a window manager whenever it
# takes on a window) is now and then never served: on a busy machine it was
# seen waiting for ever in its connection set-up. No X client may hang a
# run: each has a time limit, and the waits try again.
xdotool() { timeout 20 xdotool "$@"; }
xprop() { timeout 20 xprop "$@"; }
xwininfo() { timeout 20 xwininfo "$@"; }
xdpyinfo() { timeout 20 xdpyinfo "$@"; }
import() { timeout 20 import "$@"; }

cleanup() {
    # Last started first: the X clients go before the X server.
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
    if [ "$failures" = 0 ] && [ -z "${PRODLET_E2E_KEEP:-}" ]; then rm -rf "$work"; else echo "work folder kept: $work"; fi
}

e2e_init() {  # e2e_init: the work folder, the settings paths in it, and the exit trap
    e2e_work
    export PRODLET_HIVE=$work/registry.reg
    export PRODLET_WINDIR=$work/windows
    export XDG_CONFIG_HOME=$work/config
    export QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
    # The one-copy-per-display lock of this run's copies, apart from any other's.
    export XDG_RUNTIME_DIR=$work/runtime
    mkdir -p "$PRODLET_WINDIR" "$work/requests"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
}

# The work folder and the exit trap alone; a sanitizer build writes its
# reports into the work folder, where e2e_finish finds them.
e2e_work() {
    work=$(mktemp -d /tmp/prodlet-e2e-XXXXXX)
    pids=()
    failures=0
    trap cleanup EXIT
    export ASAN_OPTIONS="${ASAN_OPTIONS:-}:log_path=$work/sanitizer"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-}:log_path=$work/sanitizer"
}

e2e_finish() {  # e2e_finish LOG...: a sanitizer's report counts as a failure; the logs shown on failure
    local reports
    reports=$(find "$work" -maxdepth 1 -name 'sanitizer.*' | sort)
    if [ -n "$reports" ]; then
        echo "FAIL - a sanitizer reported"
        for report in $reports; do echo "--- $report"; cat "$report"; done
        failures=$((failures + 1))
    fi
    if [ "$failures" != 0 ]; then
        for log in "$@"; do [ -e "$log" ] && { echo "--- $log"; cat "$log"; }; done
    fi
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
    echo "$what" >"$work/step"  # where a run that hangs stopped
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

# seed DIR LINES...: a Prodlet.INI of a first run in DIR
seed() {
    local dir=$1; shift
    mkdir -p "$dir"
    { printf '[Settings]\r\n'; printf '%s\r\n' "$@"; } >"$dir/Prodlet.INI"
}

requests() { find "$work/requests" -name '*.req' | wc -l; }  # how many the recorder has had

start_http_server() {  # the recorder on 127.0.0.1:80; one file per request in $work/requests
    need python3
    mkdir -p "$work/requests"
    python3 "$e2e_here/http_recorder.py" "$work/requests" & pids+=($!)
    wait_for 20 test -e "$work/requests/listening" || die "HTTP server did not start"
}

start_xvfb() {  # Xvfb picks a free display itself and tells which one it took
    need Xvfb xdpyinfo xdotool xprop xwininfo
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

# A session bus of the run's own, as a desktop session has one; killed with
# the run. No run may leave libdbus to start one for itself (X11 autolaunch
# through dbus-launch): whether that works depends on what is installed.
start_session_bus() {
    need dbus-daemon
    exec 3>"$work/bus-address"
    dbus-daemon --session --nofork --nopidfile --print-address=3 >"$work/dbus.log" 2>&1 & pids+=($!)
    exec 3>&-
    wait_for 20 test -s "$work/bus-address" || die "dbus-daemon did not start" "$work/dbus.log"
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus-address")
    export DBUS_SESSION_BUS_ADDRESS
}

# need PROGRAM...: a program the run uses is there, or the run fails saying
# which; a missing tool never turns into a silent skip.
need() {
    local tool missing=""
    for tool in "$@"; do type -P "$tool" >/dev/null 2>&1 || missing="$missing $tool"; done
    [ -z "$missing" ] || die "missing:$missing (scripts/deps.sh's test packages bring them: ./scripts/test.sh installs them)"
}

start_trayer() {  # the notification area, top right
    need trayer
    trayer --edge top --align right --widthtype request --height 32 --SetDockType true --transparent false \
        >"$work/trayer.log" 2>&1 & pids+=($!)
    wait_for 20 trayer_shown || die "trayer did not start" "$work/trayer.log" "$work/xvfb.log"
}
trayer_shown() { xdotool search --onlyvisible --class trayer >/dev/null 2>&1; }

icon_window() { xdotool search --onlyvisible --classname prodlet 2>/dev/null | head -n 1; }
icon_shown() { [ -n "$(icon_window)" ]; }
hive_has() { grep -qF "$1" "$PRODLET_HIVE"; }
exited() { ! kill -0 "$app" 2>/dev/null; }  # $app: the program's process, set by the script
