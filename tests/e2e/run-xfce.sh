#!/bin/bash
# The tray on a real X11 panel: xfce4-panel's notification area (a
# StatusNotifierItem watcher and host, and an XEmbed tray) under Xvfb, with a
# session bus of its own for each start of the panel.
#  1. the program first, the panel 8 s later: the box "Failed to create tray
#     icon" closes itself, the item registers, the frame stays hidden; title,
#     tooltip and menu as the host reads them; Activate shows the frame;
#  2. the panel stopped and started again: the item registers again; Exit
#     from the menu ends the program with 0;
#  3. the panel first: the item registers, no box;
#  4. no watcher, an XEmbed tray (trayer) that comes 4 s after the program:
#     the icon docks, no box is left.
# The seconds from the panel's start to the item are written out, not judged.
#
# usage: run-xfce.sh PATH/TO/prodlet   (run inside tests/netns/in-netns.sh)
set -u
prodlet=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=desktop-common.sh
. "$here/desktop-common.sh"
# shellcheck source=tray-hosts.sh
. "$here/tray-hosts.sh"
export QT_QPA_PLATFORM=xcb
need xfce4-panel

# One panel along the top with the notification area alone; without a
# configuration the panel asks on its first start which one to use.
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
cat >"$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
EOF

panel_pid=
start_panel() {
    xfce4-panel --disable-wm-check >>"$work/panel.log" 2>&1 & panel_pid=$!; pids+=("$panel_pid")
}
stop_panel() { kill "$panel_pid" 2>/dev/null; wait "$panel_pid" 2>/dev/null; }
panel_shot() {  # panel_shot NAME: the panel's strip at the top of the screen
    [ -n "${PRODLET_E2E_SHOTS:-}" ] || return 0
    import -window root -crop 1024x40+0+0 "$PRODLET_E2E_SHOTS/$1.png" 2>/dev/null
    return 0
}
no_box() { ! box_shown; }
frame_hidden() { ! frame_shown; }

start_xvfb

# ---- 1. the program first, the panel 8 s later
start_host_bus bus1
"$prodlet" >"$work/prodlet1.log" 2>&1 & app=$!
check "program first: with no notification area the box is shown" wait_for 30 box_shown
shot xfce-before-panel
sleep 8  # the panel comes late, as at a login
start_panel
check "program first: the item registers with the panel's watcher" wait_item "xfce4-panel, program first"
check "program first: the box closes itself" wait_for 15 no_box
check "program first: the frame stays hidden" frame_hidden
check "program first: the program still runs" kill -0 "$app"
check_item "program first"
sleep 1  # the panel draws the new icon
panel_shot xfce-panel-icon
check "program first: Activate is answered" probe activate
check "program first: Activate shows the frame" wait_for 20 frame_shown
shot xfce-activated

# ---- 2. the panel stopped and started again
stop_panel
start_panel
check "panel restarted: the item registers again" wait_item "xfce4-panel, restarted"
check "panel restarted: the title is still Prodlet" test "$(item_field "r['title']")" = Prodlet
exit_from_menu "panel restarted"
check "program first: the program writes no warnings" test ! -s "$work/prodlet1.log"
stop_panel
stop_host_bus

# ---- 3. the panel first
start_host_bus bus2
start_panel
check "panel first: the panel's watcher is up" probe watcher 25
"$prodlet" >"$work/prodlet3.log" 2>&1 & app=$!
check "panel first: the item registers" wait_item "xfce4-panel, panel first"
check "panel first: no box is shown" no_box
check_item "panel first"
exit_from_menu "panel first"
check "panel first: the program writes no warnings" test ! -s "$work/prodlet3.log"
stop_panel
stop_host_bus

# ---- 4. no watcher: an XEmbed tray that comes after the program
start_host_bus bus3
"$prodlet" >"$work/prodlet4.log" 2>&1 & app=$!
check "XEmbed: with no tray the box is shown" wait_for 30 box_shown
sleep 4
tray_start=$SECONDS
start_trayer
check "XEmbed: the icon docks in the tray that came later" wait_for 20 icon_shown
echo "     XEmbed: icon docked within $((SECONDS - tray_start)) s of trayer's window"
echo "trayer, program first: docked within $((SECONDS - tray_start)) s" >>"$work/timings"
check "XEmbed: the box closes itself" wait_for 15 no_box
check "XEmbed: the frame stays hidden" frame_hidden
sleep 1
shot xembed-trayer-icon
double_click_icon
check "XEmbed: the double click shows the frame" wait_for 20 frame_shown
kill -TERM "$app"
check "XEmbed: SIGTERM ends the program" wait_for 20 exited
wait "$app"; code=$?
check "XEmbed: the exit code is 0 (was $code)" test "$code" = 0
check "XEmbed: the program writes no warnings" test ! -s "$work/prodlet4.log"
stop_host_bus

echo "--- timings"; cat "$work/timings"
e2e_finish "$work/prodlet1.log" "$work/prodlet3.log" "$work/prodlet4.log" "$work/panel.log"
