#!/bin/bash
# The tray icon on a StatusNotifierItem host: a private session bus with a
# small StatusNotifierWatcher (sni_watcher.py) standing in for the desktop's
# host, under Xvfb. Checks the item's title and menu as the host reads them,
# that the host's click (Activate) shows the frame, and that Exit from the
# host's menu ends the program.
#
# usage: run-sni.sh PATH/TO/prodlet   (run inside tests/netns/in-netns.sh)
set -u
prodlet=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=desktop-common.sh
. "$here/desktop-common.sh"

start_xvfb
start_session_bus
start_watcher

"$prodlet" >"$work/prodlet.log" 2>&1 & app=$!
check "the item registers with the watcher" wait_for 30 test -e "$work/sni.json"
[ -e "$work/sni.json" ] || die "no item to look at" "$work/prodlet.log" "$work/watcher.log"
check "the host reads the item without errors" test "$(sni_field "r.get('error', '')")" = ""
check "the item's title is Prodlet (was $(sni_field "r.get('title')"))" test "$(sni_field "r.get('title')")" = Prodlet
menu=$(sni_field "' | '.join(m.get('label', m.get('type', '?')) for m in r.get('menu', []))")
check "the item's menu is Restore, About Prodlet..., Exit (was: $menu)" \
    test "$menu" = "_Restore | separator | _About Prodlet... | separator | E_xit"
# The menu the host draws cannot mark a default item: the menu protocol
# (com.canonical.dbusmenu) has no such property, and Qt exports each item's
# label, state and visibility only, not its bold font. On such a host the
# default action is the click itself: the item says it is not only a menu,
# so the host sends Activate, which runs the first item, Restore.
check "the menu's first item, Restore, is enabled" test "$(sni_field "r['menu'][0].get('enabled')")" = True
check "the item is not only a menu: the host's click is Activate (ItemIsMenu $(sni_field "r.get('item_is_menu')"))" \
    test "$(sni_field "r.get('item_is_menu')")" = False
check "the host's click was answered" test "$(sni_field "r.get('activated')")" = True
check "the host's click (Activate) shows the frame" wait_for 20 frame_shown
check "no message box is shown" sh -c "[ -z \"\$(xdotool search --onlyvisible --name '^Prodlet\$' 2>/dev/null | sed 1d)\" ]"
shot sni-activated

sni_click E_xit
exited() { ! kill -0 "$app" 2>/dev/null; }
check "Exit from the host's menu ends the program" wait_for 20 exited
wait "$app"; code=$?
check "the exit code is 0 (was $code)" test "$code" = 0

e2e_finish "$work/prodlet.log" "$work/watcher.log"
