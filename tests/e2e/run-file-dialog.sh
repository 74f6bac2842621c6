#!/bin/bash
# The countdown goes on while a file dialog is open: Ctrl+O in the frame
# opens one, and probes must keep reaching the server until it is closed.
# Twice: with Qt's own dialog, and with the GTK theme's native one, which
# runs on GLib's event loop (so Qt must too, or our timers stop while the
# dialog is open).
#
# usage: run-file-dialog.sh PATH/TO/prodlet   (run inside in-netns.sh)
set -u
prodlet=$1
# shellcheck source=tests/e2e/e2e-lib.sh
. "$(dirname "$0")/e2e-lib.sh"
e2e_init
start_http_server
start_xvfb
start_session_bus  # GTK keeps its settings through dconf, which a session has
start_trayer

frame_window() { xdotool search --onlyvisible --name '^Prodlet' 2>/dev/null | head -n 1; }
dialog_window() { xdotool search --onlyvisible --name '^Open$' 2>/dev/null | head -n 1; }
dialog_shown() { [ -n "$(dialog_window)" ]; }
frame_shown() { [ -n "$(frame_window)" ]; }
more_requests_than() { [ "$(requests)" -gt "$1" ]; }

run_with_theme() {  # run_with_theme NAME THEME: THEME empty for Qt's own
    local name=$1 theme=$2 n
    rm -f "$PRODLET_HIVE"
    seed "$PRODLET_WINDIR" Debug=1 AutoStart=1 ComboName0=127.0.0.1 ComboNameSel=0
    n=$(requests)
    QT_QPA_PLATFORMTHEME=$theme "$prodlet" >"$work/$name.log" 2>&1 & app=$!
    pids+=("$app")  # a copy that ignores SIGTERM is killed at the end
    check "$name: the first probe arrives" wait_for 60 more_requests_than "$n"
    # A second start shows the running copy's frame.
    "$prodlet" >/dev/null 2>&1
    check "$name: the frame is shown" wait_for 20 frame_shown
    xdotool key --window "$(frame_window)" ctrl+o
    check "$name: Ctrl+O opens a file dialog" wait_for 20 dialog_shown
    n=$(requests)
    # The Debug interval is 15 s.
    check "$name: probes go on while the dialog is open" wait_for 40 more_requests_than "$n"
    check "$name: the dialog is still open" dialog_shown
    # Through the keyboard, as a person would: GTK ignores keys sent to a window.
    xdotool windowfocus --sync "$(dialog_window)"
    xdotool key Escape
    check "$name: Esc closes the dialog" wait_for 20 eval '! dialog_shown'
    kill -TERM "$app"
    check "$name: the program ends on SIGTERM" wait_for 20 exited && wait "$app"
    # GTK keeps the dialog's settings through dconf on the session bus; with
    # none it warned about it twenty times.
    check "$name: the program writes no warnings" test ! -s "$work/$name.log"
}

run_with_theme qt ""
if [ -e "$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null)/platformthemes/libqgtk3.so" ]; then
    run_with_theme gtk gtk3
else
    echo "FAIL - Qt's GTK theme is not installed (qt6-gtk-platformtheme)"
    failures=$((failures + 1))
fi
e2e_finish "$work"/*.log
