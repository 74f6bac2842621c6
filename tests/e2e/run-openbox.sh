#!/bin/bash
# The frame and the tray under a real window manager and a tray that is not
# trayer: Xvfb with openbox and tint2. Checks what the frame asks of the
# window manager, that restoring keeps its size and brings it back from
# minimised, and that the tray icon answers while a message box is open.
#
# usage: run-openbox.sh PATH/TO/prodlet   (run inside tests/netns/in-netns.sh)
set -u
prodlet=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=desktop-common.sh
. "$here/desktop-common.sh"

need openbox tint2
start_xvfb
start_session_bus
# Openbox gives up at once when the display turns it away; it gets three tries.
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
wm_up_or_gone() { wm_up || ! kill -0 "$wm" 2>/dev/null; }
for try in 1 2 3; do
    openbox --sm-disable >>"$work/openbox.log" 2>&1 & wm=$!; pids+=("$wm")
    wait_for 20 wm_up_or_gone
    wm_up && break
    echo "     openbox try $try did not start"
done
wm_up || die "openbox did not start" "$work/openbox.log"
tint2 >"$work/tint2.log" 2>&1 & pids+=($!)
wait_for 20 sh -c 'xdotool search --onlyvisible --class tint2 >/dev/null 2>&1' || die "tint2 did not start" "$work/tint2.log"
# The tray's manager window carries the orientation property once tint2 owns
# the system tray selection; the program asks for a tray only at start.
tray_manager_up() {
    local w
    for w in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
        xprop -id "$w" _NET_SYSTEM_TRAY_ORIENTATION 2>/dev/null | grep -q '= ' && return 0
    done
    return 1
}
wait_for 20 tray_manager_up || die "tint2's tray did not start" "$work/tint2.log"

"$prodlet" >"$work/prodlet.log" 2>&1 & app=$!
check "the tray icon appears in tint2" wait_for 30 icon_shown
check "no window is shown at start" sh -c "[ -z \"\$(xdotool search --onlyvisible --name '^Prodlet$' 2>/dev/null)\" ]"

double_click_icon
check "a double-click shows the frame" wait_for 20 frame_shown
frame=$(frame_window)
shot openbox-frame
[ -n "$frame" ] || die "no frame to look at" "$work/prodlet.log"

# What the window manager allows, and what the frame asked for.
actions=$(xprop -id "$frame" _NET_WM_ALLOWED_ACTIONS)
no_action() { ! grep -q "$1" <<<"$actions"; }
check "the window manager offers no maximise" no_action _NET_WM_ACTION_MAXIMIZE
check "the window manager offers no resizing" no_action _NET_WM_ACTION_RESIZE
# _MOTIF_WM_HINTS = flags, functions, decorations, ...: functions and
# decorations given; functions move and close only (openbox shows its
# minimise button whatever a window asks, so the hints are the check for
# minimise); a border and a title, no menu, minimise or maximise button.
read -r mwm_flags mwm_functions mwm_decorations < <(xprop -id "$frame" _MOTIF_WM_HINTS |
    sed -n 's/.*= *//p' | tr -d ',' | awk '{print $1, $2, $3}')
check "the frame asks for functions and decorations (flags ${mwm_flags:-none})" \
    test "$((${mwm_flags:-0} & 3))" = 3
check "the frame asks to be moved and closed only (functions ${mwm_functions:-none})" \
    test "$((${mwm_functions:-0}))" = $((0x04 | 0x20))
check "the frame asks for a border and a title only (decorations ${mwm_decorations:-none})" \
    test "$((${mwm_decorations:-0}))" = $((0x02 | 0x08))
check "the frame carries the program's icon" sh -c "xprop -id $frame _NET_WM_ICON | grep -q 'Icon (32 x 32)'"

inner_size() { xwininfo -id "$frame" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
size0=$(inner_size)
echo "     frame inside: $size0"
same_size() { [ "$(inner_size)" = "$size0" ]; }
double_click_icon; sleep 0.5
check "the frame keeps its size after a second restore ($(inner_size))" same_size
double_click_icon; sleep 0.5
check "the frame keeps its size after a third restore ($(inner_size))" same_size
right_click_icon
check "the tray menu opens" wait_for 10 sh -c "[ \$(xdotool search --onlyvisible --classname prodlet 2>/dev/null | wc -l) -ge 3 ]"
xdotool key r
sleep 0.5
check "the frame keeps its size after Restore from the menu ($(inner_size))" same_size

wm_state() { xprop -id "$frame" WM_STATE | sed -n 's/.*window state: *//p'; }
xdotool windowminimize "$frame"
check "the window manager minimises the frame" wait_for 10 sh -c "xprop -id $frame WM_STATE | grep -q Iconic"
double_click_icon
check "a double-click brings the minimised frame back" wait_for 10 sh -c "xprop -id $frame WM_STATE | grep -q Normal"
check "the frame is mapped again" wait_for 10 sh -c "xwininfo -id $frame | grep -q IsViewable"
check "the frame keeps its size after coming back ($(inner_size))" same_size

# A message box: an interval of 0 and Start. The focus starts on the first
# button; Tab reaches the interval, then the host list, then Start.
xdotool key Tab ctrl+a 0 Tab Tab space
check "a message box opens" wait_for 20 box_shown
box=$(box_window)
shot openbox-box
if [ -n "$box" ]; then
    check "the box is owned by the frame" sh -c "xprop -id $box WM_TRANSIENT_FOR | grep -qi '$(printf '0x%x' "$frame")'"
    check "the box carries the program's icon" sh -c "xprop -id $box _NET_WM_ICON | grep -q 'Icon (32 x 32)'"
    centre() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {print int(x + w / 2), int(y + h / 2)}'; }
    read -r fx fy < <(centre "$frame")
    read -r bx by < <(centre "$box")
    near() { local d=$(($1 - $2)); [ ${d#-} -le "$3" ]; }
    # Within the window manager's title bar and border.
    box_centred() { near "$fx" "$bx" 20 && near "$fy" "$by" 30; }
    check "the box is centred over the frame (frame $fx,$fy; box $bx,$by)" box_centred

    right_click_icon
    check "the tray menu opens while the box is open" \
        wait_for 10 sh -c "[ \$(xdotool search --onlyvisible --classname prodlet 2>/dev/null | wc -l) -ge 4 ]"
    shot openbox-menu-over-box
    xdotool key Escape
    xdotool windowminimize "$frame"
    check "the frame is minimised with the box open" wait_for 10 sh -c "xprop -id $frame WM_STATE | grep -q Iconic"
    double_click_icon
    check "a double-click brings the frame back while the box is open" \
        wait_for 10 sh -c "xprop -id $frame WM_STATE | grep -q Normal"
    stacked_above() {  # the box comes later (higher) in the stacking order than the frame
        xprop -root _NET_CLIENT_LIST_STACKING | tr -d ',' | tr ' ' '\n' | grep -n '^0x' |
            awk -v f="$(printf '0x%x' "$frame")" -v b="$(printf '0x%x' "$box")" \
                '$0 ~ ":"f"$" {fi=NR} $0 ~ ":"b"$" {bi=NR} END {exit !(fi && bi && bi > fi)}'
    }
    check "the box is in front of the frame" wait_for 10 stacked_above
    check "the box is shown" sh -c "xwininfo -id $box | grep -q IsViewable"
    shot openbox-restored-with-box
fi

# Exit from the tray menu with the box still open: the program ends in order.
right_click_icon
check "the tray menu opens for Exit" wait_for 10 sh -c "[ \$(xdotool search --onlyvisible --classname prodlet 2>/dev/null | wc -l) -ge 3 ]"
xdotool key x
exited() { ! kill -0 "$app" 2>/dev/null; }
check "Exit ends the program with the box open" wait_for 20 exited
wait "$app"; code=$?
check "the exit code is 0 (was $code)" test "$code" = 0
check "the icon is gone" wait_for 10 sh -c '! xdotool search --classname prodlet >/dev/null 2>&1'

# The keyboard's close command still closes the frame, which has no close
# box of its own, and so ends the program.
"$prodlet" >"$work/prodlet2.log" 2>&1 & app=$!
check "the tray icon appears again" wait_for 30 icon_shown
double_click_icon
check "a double-click shows the frame again" wait_for 20 frame_shown
frame=$(frame_window)
[ -n "$frame" ] && xdotool windowactivate --sync "$frame" 2>/dev/null
xdotool key alt+F4
check "Alt+F4 on the frame ends the program" wait_for 20 exited
wait "$app"; code=$?
check "the exit code after Alt+F4 is 0 (was $code)" test "$code" = 0

e2e_finish "$work"/prodlet*.log
