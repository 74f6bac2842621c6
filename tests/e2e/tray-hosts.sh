# shellcheck shell=bash
# What the runs on real notification-area hosts (run-xfce.sh, run-sway.sh)
# share, sourced after desktop-common.sh: a session bus per host that another
# user's panel may join, the program with auto-start on (so its tooltip
# counts down), and the item read through the host's own watcher
# (sni_probe.py).
# shellcheck disable=SC2154  # $work, $pids, $here, $app: the sourcing script's

# Auto-start on, a host on the loopback address that answers: the first
# probe goes at once, the next after 25 minutes.
printf '[Settings]\r\nAutoStart=1\r\nComboName0=127.0.0.1\r\nComboNameSel=0\r\n' >"$PRODLET_WINDIR/Prodlet.INI"
start_http_server

host_bus_pid=
# The run's own start_session_bus cannot serve here: the panel may run as
# another user, and each start of a host has a bus of its own, ended with it.
start_host_bus() {  # start_host_bus NAME: a session bus of its own, open to every user of the machine
    need dbus-daemon
    local name=$1
    cat >"$work/$name.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/$name.socket</listen>
  <standard_session_servicedirs/>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    rm -f "$work/$name.address"
    exec 3>"$work/$name.address"
    dbus-daemon --config-file="$work/$name.conf" --nofork --nopidfile --print-address=3 >"$work/$name.log" 2>&1 &
    host_bus_pid=$!; pids+=("$host_bus_pid")
    exec 3>&-
    wait_for 20 test -s "$work/$name.address" || die "dbus-daemon did not start" "$work/$name.log"
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/$name.address")
    export DBUS_SESSION_BUS_ADDRESS
}
stop_host_bus() {
    kill "$host_bus_pid" 2>/dev/null; wait "$host_bus_pid" 2>/dev/null
    unset DBUS_SESSION_BUS_ADDRESS
}

need python3
probe() { timeout 30 /usr/bin/python3 "$here/sni_probe.py" "$@"; }
# wait_item WHAT: waits for the item in the watcher's list; the seconds from
# the host's start to its watcher and to the item go to the output and to
# $work/timings, a figure to read, not a pass or fail.
wait_item() {
    local what=$1 out
    out=$(probe wait 25)
    echo "     $what: $out"
    echo "$what: $out" >>"$work/timings"
    [ "${out#*item=}" != none ]
}
item_field() {  # item_field PYTHON-EXPRESSION-ON-r: from the item as the host reads it
    probe inspect >"$work/item.json" || return 1
    /usr/bin/python3 -c "import json, sys; r = json.load(open(sys.argv[1])); print($1)" "$work/item.json"
}
tip_counts() { item_field "r['tooltip']" | grep -q '^Prodlet in [0-9]*:[0-9][0-9]$'; }
check_item() {  # check_item WHAT: the item's title, tooltip and menu as the host reads them
    local what=$1 title menu
    title=$(item_field "r['title']")
    check "$what: the item's title is Prodlet (was $title)" test "$title" = Prodlet
    wait_for 15 tip_counts
    check "$what: the item's tooltip counts down (is $(item_field "r['tooltip']"))" tip_counts
    check "$what: the item carries an image ($(item_field "' '.join(r['icon_sizes'])"))" \
        test -n "$(item_field "' '.join(r['icon_sizes'])")"
    menu=$(item_field "' | '.join(r['menu'])")
    check "$what: the menu is Restore, About Prodlet..., Exit (was: $menu)" \
        test "$menu" = "_Restore | separator | _About Prodlet... | separator | E_xit"
    check "$what: the host's click is Activate (ItemIsMenu $(item_field "r['item_is_menu']"))" \
        test "$(item_field "r['item_is_menu']")" = False
}
exit_from_menu() {  # exit_from_menu WHAT: Exit through the host's menu ends the program with 0
    check "$1: Exit is clicked in the item's menu" probe click E_xit
    check "$1: Exit from the menu ends the program" wait_for 20 exited
    wait "$app"; local code=$?
    check "$1: the exit code is 0 (was $code)" test "$code" = 0
}
