#!/bin/bash
# One copy per display and per settings file, with the real binaries: under
# Xvfb with trayer a second prodlet brings the first one's hidden window
# forward and ends with status 0, touching no settings; a copy killed with
# SIGKILL stops no later start; a second prodletd on the same settings file
# is refused with status 1, one on another file runs beside it.
#
# usage: run-instance.sh PATH/TO/prodlet PATH/TO/prodletd   (run inside in-netns.sh)
set -u
prodlet=$1
prodletd=$2
# shellcheck source=tests/e2e/e2e-lib.sh
. "$(dirname "$0")/e2e-lib.sh"
e2e_init
printf '[Settings]\r\nDebug=1\r\nAutoStart=0\r\nComboName0=127.0.0.1\r\nComboNameSel=0\r\n' \
    >"$PRODLET_WINDIR/Prodlet.INI"

start_http_server
start_xvfb
start_session_bus
start_trayer

window_shown() { xdotool search --onlyvisible --name '^Prodlet$' >/dev/null 2>&1; }
# The hive as a later start must leave it: contents, inode and time of change.
hive_state() { { stat -c '%i %s %y' "$PRODLET_HIVE"; md5sum <"$PRODLET_HIVE"; } 2>/dev/null; }
runtime_files() { find "$XDG_RUNTIME_DIR/prodlet" -mindepth 1 -printf '%f\n' 2>/dev/null | sort | paste -sd ' '; }

# ---- a second start restores the first one's window
"$prodlet" >"$work/first.log" 2>&1 & app=$!
check "the first copy's tray icon appears" wait_for 30 icon_shown
check "the first copy has written its settings" wait_for 30 hive_has '"ComboName0"="127.0.0.1"'
check "the first copy starts hidden" eval '! window_shown'
before=$(hive_state)
# Pointed at a settings file of its own, the later start would create it (or
# its folder, or its lock) if it touched the store at all.
PRODLET_HIVE=$work/untouched/registry.reg timeout 60 "$prodlet" >"$work/second.log" 2>&1
code=$?
check "the second start ends with status 0 (was $code)" test "$code" = 0
check "the second start says nothing" test ! -s "$work/second.log"
check "the first copy's window is shown" wait_for 30 window_shown
check "the first copy still runs" kill -0 "$app"
check "the second start touched no settings store" test ! -e "$work/untouched"
check "the settings file is as it was" test "$(hive_state)" = "$before"
check "the lock and the socket are in the runtime folder" test "$(runtime_files)" = "x11--$(head -n 1 "$work/display").lock x11--$(head -n 1 "$work/display").socket"

# ---- a copy killed outright stops no later start
kill -KILL "$app"
wait "$app" 2>/dev/null
check "the killed copy's icon is gone" wait_for 20 eval '! icon_shown'
"$prodlet" >"$work/third.log" 2>&1 & app=$!
check "after SIGKILL a new copy starts (its icon appears)" wait_for 30 icon_shown
check "the new copy runs" kill -0 "$app"
check "the new copy starts hidden" eval '! window_shown'
timeout 60 "$prodlet" >"$work/fourth.log" 2>&1
code=$?
check "a start after it ends with status 0 (was $code)" test "$code" = 0
check "the new copy is the one that answers: its window is shown" wait_for 30 window_shown
kill -TERM "$app"
check "SIGTERM ends it" wait_for 20 exited
wait "$app"; code=$?
check "its exit code is 0 (was $code)" test "$code" = 0

# ---- prodletd: one service per settings file
mkdir -p "$work/d"
daemon_up() { grep -q ' icon: ' "$1"; }  # it has started and holds its file
start_daemon() {  # start_daemon NAME ARGS...: pid in $daemon
    local name=$1; shift
    "$prodletd" "$@" >"$work/$name.out" 2>"$work/$name.err" & daemon=$!
    pids+=("$daemon")
}
start_daemon d1 --settings "$work/d/a.reg"
d1=$daemon
check "prodletd starts on a.reg" wait_for 30 daemon_up "$work/d1.out"
timeout 60 "$prodletd" --settings "$work/d/a.reg" >"$work/d2.out" 2>"$work/d2.err"
code=$?
check "a second prodletd on a.reg ends with status 1 (was $code)" test "$code" = 1
check "it says so in one line" test "$(wc -l <"$work/d2.err")" = 1
check "the line names the file" grep -qxF "prodletd: another prodletd already runs on the settings file $work/d/a.reg" "$work/d2.err"
check "it wrote no events" test ! -s "$work/d2.out"
ln -s "$work/d" "$work/alias"
PRODLET_HIVE=$work/alias/a.reg timeout 60 "$prodletd" >"$work/d3.out" 2>"$work/d3.err"
code=$?
check "the same file under another name is refused too (status $code)" test "$code" = 1
start_daemon d4 --settings "$work/d/b.reg"
d4=$daemon
check "prodletd on b.reg runs beside it" wait_for 30 daemon_up "$work/d4.out"
check "both run" sh -c "kill -0 $d1 && kill -0 $d4"
timeout 90 "$prodletd" --once --settings "$work/d/a.reg" >"$work/once.out" 2>"$work/once.err"
code=$?
check "--once probes while the service runs on the file (status $code)" test "$code" = 0

kill -KILL "$d1"
wait "$d1" 2>/dev/null
start_daemon d5 --settings "$work/d/a.reg"
d5=$daemon
check "after SIGKILL prodletd starts on a.reg again" wait_for 30 daemon_up "$work/d5.out"
check "and keeps running" kill -0 "$d5"
kill -TERM "$d5" "$d4"
check "SIGTERM ends both" wait_for 20 sh -c "! kill -0 $d5 2>/dev/null && ! kill -0 $d4 2>/dev/null"

if [ "$failures" != 0 ]; then
    for log in "$work"/*.log "$work"/*.err; do echo "--- $log"; cat "$log"; done
fi
echo "$failures failures"
[ "$failures" = 0 ]
