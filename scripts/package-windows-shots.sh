# shellcheck shell=bash
# The installer and the uninstaller with their pages shown (package-windows.sh
# --shots DIR), walked with the keyboard as a user would take the defaults;
# a screenshot of each page goes to DIR. Sourced by package-windows-wine.sh
# after its silent runs, in the same prefix.
# shellcheck disable=SC2154  # the variables and helpers of package-windows-wine.sh

echo "-- the installer's and the uninstaller's pages (screenshots in $shots)"
# A window manager for the pages (frames, focus); only now: with one running,
# Wine under trayer now and then docks a tray icon that it never draws.
openbox >"$work/openbox.log" 2>&1 & pids+=($!)

# (NSIS puts a space after the caption.)
window_named() { xdotool search --onlyvisible --name "^$1 ?$" 2>/dev/null | head -n 1; }
# look ID: a checksum of the window as drawn now.
look() { import -window "$1" rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }
# settled ID [OLD]: the window is drawn the same twice in a row (and differs from OLD).
settled() {
    local a b
    a=$(look "$1"); sleep 0.5; b=$(look "$1")
    [ "$a" = "$b" ] && [ "$a" != "${2:-}" ] && [ -n "$a" ] && page=$a
}
shot() { import -frame -window "$1" "$shots/$2.png" 2>/dev/null && echo "   $2.png"; }
# press ID KEY: to the window, down and up 150 ms apart (Wine loses a key
# whose press and release come at once, and the first key after a focus change).
press() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1" >/dev/null 2>&1
    xdotool keydown shift; sleep 0.15; xdotool keyup shift
    xdotool keydown "$2"; sleep 0.15; xdotool keyup "$2"
}

page=""
timeout 300 wine "$setup" </dev/null >"$work/setup-pages.out" 2>&1 &
setup_pid=$!
win=""
find_setup() { win=$(window_named "Prodlet Setup"); [ -n "$win" ]; }
check "the installer shows its first page" wait_for 60 find_setup
if [ -n "$win" ]; then
    wait_for 30 settled "$win" && shot "$win" 1-components
    press "$win" Return
    check "Next: the folder page" wait_for 30 settled "$win" "$page"
    shot "$win" 2-folder
    press "$win" Return
    check "Install: the files are copied" wait_for 60 test -f "$instdir/uninstall.exe"
    check "then the last page" wait_for 30 settled "$win" "$page"
    shot "$win" 3-finish
    press "$win" Return
    setup_ended() { ! kill -0 "$setup_pid" 2>/dev/null; }
    check "Finish ends the installer" wait_for 30 setup_ended
    check "the installed files are the staged ones" same_as_stage
    check "the Run value is there (the component was ticked)" reg_has "$run_key" Prodlet
    # "Start Prodlet now" was ticked: Finish started it.
    check "Finish started Prodlet: its icon docks" wait_for 90 tray_has 1
fi

w 60 wine "$instdir_win\\uninstall.exe"
find_uninstall() { win=$(window_named "Prodlet Uninstall"); [ -n "$win" ]; }
check "the uninstaller shows its first page" wait_for 60 find_uninstall
if [ -n "$win" ]; then
    page=""
    wait_for 30 settled "$win" && shot "$win" 4-uninstall
    press "$win" Return
    check "Uninstall: the folder goes" wait_for 60 test ! -e "$instdir"
    check "then the last page" wait_for 30 settled "$win" "$page"
    shot "$win" 5-uninstall-done
    press "$win" Return
    uninstall_closed() { [ -z "$(window_named "Prodlet Uninstall")" ]; }
    check "Close ends the uninstaller" wait_for 30 uninstall_closed
    check "the running copy was closed: its icon went" wait_for 30 tray_has 0
    check "the Uninstall key is gone" key_gone "$uninst_key"
fi
