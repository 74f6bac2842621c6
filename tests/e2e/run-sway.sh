#!/bin/bash
# The tray on a real Wayland panel: waybar's tray module (its own
# StatusNotifierItem watcher and host) on a headless sway, both run as an
# unprivileged user, with a session bus of its own for each host. The
# program is a Wayland client of that sway.
#  1. the program first, waybar 8 s later: the box "Failed to create tray
#     icon" closes itself, the item registers, no window is left; title,
#     tooltip and menu as the host reads them; Activate shows the frame;
#  2. waybar stopped and started again: the item registers again; Exit from
#     the menu ends the program with 0;
#  3. waybar first: the item registers, no box.
# The seconds from waybar's start to the item are written out, not judged.
#
# usage: run-sway.sh PATH/TO/prodlet   (run inside tests/netns/in-netns.sh)
set -u
prodlet=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=desktop-common.sh
. "$here/desktop-common.sh"
# shellcheck source=tray-hosts.sh
. "$here/tray-hosts.sh"
export QT_QPA_PLATFORM=wayland
need sway swaymsg waybar setpriv
[ -n "${PRODLET_E2E_SHOTS:-}" ] && need grim

# A compositor and a panel are a user's, not root's: as root, sway and waybar
# run as a user that owns nothing; anyone else runs them as themselves.
home=$work/home
mkdir -m 700 "$home" "$home/runtime"
as_user=()
if [ "$(id -u)" = 0 ] && grep -qE '^ +0 +0 ' /proc/self/uid_map; then
    uid=$(id -u nobody 2>/dev/null) || die "no user nobody to run sway as"
    as_user=(setpriv --reuid="$uid" --regid="$(id -g nobody)" --clear-groups --)
    chmod 711 "$work"
    chown -R "$uid:$(id -g nobody)" "$home"
fi
user_env=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/runtime" XDG_CONFIG_HOME="$home/config")

cat >"$home/sway.conf" <<'EOF'
xwayland disable
output * resolution 1024x768 bg #336699 solid_color
EOF
cat >"$home/waybar.json" <<'EOF'
{ "layer": "top", "position": "top", "height": 32, "modules-right": ["tray"], "tray": { "icon-size": 22, "spacing": 6 } }
EOF
cat >"$home/waybar.css" <<'EOF'
* { font-family: sans-serif; font-size: 13px; }
window#waybar { background: #202020; }
EOF
chmod 644 "$home"/sway.conf "$home"/waybar.json "$home"/waybar.css

wayland_socket() { find "$home/runtime" -maxdepth 1 -name 'wayland-*' -type s | grep -v '\.lock$' | head -n 1; }
sway_socket() { find "$home/runtime" -maxdepth 1 -name 'sway-ipc.*.sock' -type s | head -n 1; }
"${user_env[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    "${as_user[@]}" sway -c "$home/sway.conf" >"$work/sway.log" 2>&1 &
pids+=($!)
wait_for 30 sh -c "[ -n \"\$(find '$home/runtime' -maxdepth 1 -name 'sway-ipc.*.sock' -type s)\" ]" ||
    die "sway did not start" "$work/sway.log"
wait_for 10 test -n "$(wayland_socket)" || die "sway has no Wayland socket" "$work/sway.log"
# The program is the test's own client: it reaches the user's compositor by
# the socket's full path.
export WAYLAND_DISPLAY
WAYLAND_DISPLAY=$(wayland_socket)
swaysock=$(sway_socket)

waybar_pid=
start_waybar() {
    # NO_AT_BRIDGE: the accessibility bus on this session bus is root's.
    "${user_env[@]}" WAYLAND_DISPLAY="$(basename "$WAYLAND_DISPLAY")" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
        NO_AT_BRIDGE=1 "${as_user[@]}" waybar -c "$home/waybar.json" -s "$home/waybar.css" >>"$work/waybar.log" 2>&1 &
    waybar_pid=$!; pids+=("$waybar_pid")
}
stop_waybar() { kill "$waybar_pid" 2>/dev/null; wait "$waybar_pid" 2>/dev/null; }
# The program's windows as sway shows them ("Prodlet": the frame or the box).
windows() {
    timeout 20 swaymsg -s "$swaysock" -t get_tree 2>/dev/null | /usr/bin/python3 -c '
import json, sys
def walk(n):
    if n.get("pid") and n.get("name") == "Prodlet" and n.get("visible", True):
        yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from walk(c)
print(len(list(walk(json.load(sys.stdin)))))'
}
one_window() { [ "$(windows)" = 1 ]; }
no_window() { [ "$(windows)" = 0 ]; }
wl_shot() {  # wl_shot NAME: the top strip of the screen, waybar's
    [ -n "${PRODLET_E2E_SHOTS:-}" ] || return 0
    timeout 20 grim -g "0,0 1024x40" "$work/$1.png" >/dev/null 2>&1 && cp "$work/$1.png" "$PRODLET_E2E_SHOTS/$1.png"
    return 0
}
wl_shot_all() {
    [ -n "${PRODLET_E2E_SHOTS:-}" ] || return 0
    timeout 20 grim "$work/$1.png" >/dev/null 2>&1 && cp "$work/$1.png" "$PRODLET_E2E_SHOTS/$1.png"
    return 0
}

# ---- 1. the program first, waybar 8 s later
start_host_bus bus1
"$prodlet" >"$work/prodlet1.log" 2>&1 & app=$!
check "program first: with no notification area the box is shown" wait_for 30 one_window
wl_shot_all sway-before-waybar
sleep 8  # waybar comes late, as at a login
start_waybar
check "program first: the item registers with waybar's watcher" wait_item "waybar, program first"
check "program first: the box closes itself, the frame stays hidden" wait_for 15 no_window
check "program first: the program still runs" kill -0 "$app"
check_item "program first"
sleep 1  # waybar draws the new icon
wl_shot waybar-icon
check "program first: Activate is answered" probe activate
check "program first: Activate shows the frame" wait_for 20 one_window
wl_shot_all sway-activated

# ---- 2. waybar stopped and started again
stop_waybar
start_waybar
check "waybar restarted: the item registers again" wait_item "waybar, restarted"
exit_from_menu "waybar restarted"
check "program first: the program writes no warnings" test ! -s "$work/prodlet1.log"
stop_waybar
stop_host_bus

# ---- 3. waybar first
start_host_bus bus2
start_waybar
check "waybar first: waybar's watcher is up" probe watcher 25
"$prodlet" >"$work/prodlet3.log" 2>&1 & app=$!
check "waybar first: the item registers" wait_item "waybar, waybar first"
check "waybar first: no window, no box" no_window
check_item "waybar first"
exit_from_menu "waybar first"
check "waybar first: the program writes no warnings" test ! -s "$work/prodlet3.log"
stop_waybar
stop_host_bus

echo "--- timings"; cat "$work/timings"
e2e_finish "$work/prodlet1.log" "$work/prodlet3.log" "$work/waybar.log" "$work/sway.log"
