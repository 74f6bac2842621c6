#!/bin/bash
# End-to-end run of the About box, its links and Help Topics in the real
# binary: Xvfb with trayer as the notification area, a private network
# namespace with a small HTTP server on 127.0.0.1:80 (so the engine learns the
# local address), a D-Bus session with the accessibility bus through which
# about_driver.py reads the windows, and a recording xdg-open first on PATH in
# place of the desktop's opener: no browser or mail program is ever started.
#
# The program runs from a temporary install tree (bin/prodlet beside
# share/doc/prodlet/manual/index.html), where Help looks for the manual.
#
# usage: run-about.sh PATH/TO/prodlet   (run inside in-netns.sh)
# PRODLET_E2E_SHOTS=DIR keeps screenshots of the About box there.
set -u
# A D-Bus session of our own, for the accessibility bus.
if [ -z "${PRODLET_ABOUT_IN_SESSION:-}" ]; then
    export PRODLET_ABOUT_IN_SESSION=1
    exec dbus-run-session -- "$0" "$@"
fi
prodlet=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/e2e-lib.sh
. "$here/e2e-lib.sh"
e2e_init

# The accessibility bus keeps its socket here, apart from any other session.
export XDG_RUNTIME_DIR=$work/runtime
# Qt offers its windows on the accessibility bus even without a screen reader.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# A desktop Qt has no special road for: it hands addresses to xdg-open.
export XDG_CURRENT_DESKTOP=X-Generic
unset WAYLAND_DISPLAY BROWSER
mkdir -p "$PRODLET_WINDIR" "$work/requests" "$work/bin" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[Settings]\r\nDebug=1\r\nAutoStart=1\r\nComboName0=127.0.0.1\r\nComboNameSel=0\r\n' \
    > "$PRODLET_WINDIR/Prodlet.INI"

# The recording opener: one line per address it is handed.
cat > "$work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >> "$work/opened.log"
EOF
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH

# The install tree: the program and, where Help looks for it, the manual (the
# repository's own when it is there).
prefix=$work/prefix
mkdir -p "$prefix/bin" "$prefix/share/doc/prodlet/manual"
cp "$prodlet" "$prefix/bin/prodlet"
manual=$here/../../dist/manual/index.html
if [ -f "$manual" ]; then cp "$manual" "$prefix/share/doc/prodlet/manual/index.html"
else printf '<html><body>Prodlet manual</body></html>\n' > "$prefix/share/doc/prodlet/manual/index.html"; fi

start_http_server
start_xvfb
start_trayer

# The accessibility bus must run before the program asks for it.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 \
    || die "no accessibility bus"

date +%s.%N > "$work/launched"
"$prefix/bin/prodlet" >"$work/prodlet.log" 2>&1 & app=$!
pids+=("$app")

# Debian's own Python carries the accessibility bindings. The driver ends
# with Exit from the tray menu.
/usr/bin/python3 "$here/about_driver.py" "$work" "$prefix"
failures=$?

check "Exit ends the program" wait_for 20 exited
wait "$app"; code=$?
check "the exit code is 0 (was $code)" test "$code" = 0
e2e_finish "$work/prodlet.log" "$work/opened.log"
