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
work=$(mktemp -d /tmp/prodlet-about-XXXXXX)
pids=()
failures=0

cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    if [ "$failures" = 0 ] && [ -z "${PRODLET_E2E_KEEP:-}" ]; then rm -rf "$work"; else echo "work folder kept: $work"; fi
}
trap cleanup EXIT

die() {  # die "what" LOG...: a set-up step failed
    echo "FAIL - $1"; shift
    for log in "$@"; do echo "--- $log"; cat "$log"; done
    failures=$((failures + 1))
    exit 1
}

wait_for() {  # wait_for SECONDS command...
    local limit=$1; shift
    local end=$((SECONDS + limit))
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}

export PRODLET_HIVE=$work/registry.reg
export PRODLET_WINDIR=$work/windows
export XDG_CONFIG_HOME=$work/config
# The accessibility bus keeps its socket here, apart from any other session.
export XDG_RUNTIME_DIR=$work/runtime
export QT_QPA_PLATFORM=xcb
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

python3 "$here/http_recorder.py" "$work/requests" & pids+=($!)
wait_for 20 test -e "$work/requests/listening" || die "HTTP server did not start"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 & pids+=($!)
exec 3>&-
wait_for 20 test -s "$work/display" || die "Xvfb did not start" "$work/xvfb.log"
export DISPLAY=:$(head -n 1 "$work/display")
wait_for 20 xdpyinfo >/dev/null 2>&1 || die "Xvfb did not start" "$work/xvfb.log"
trayer --edge top --align right --widthtype request --height 32 --SetDockType true --transparent false \
    >"$work/trayer.log" 2>&1 & pids+=($!)
wait_for 20 sh -c 'xdotool search --onlyvisible --class trayer >/dev/null 2>&1' || die "trayer did not start" "$work/trayer.log"

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

exited() { ! kill -0 "$app" 2>/dev/null; }
if wait_for 20 exited; then
    wait "$app"; code=$?
    if [ "$code" = 0 ]; then echo "ok   - Exit ends the program with code 0"
    else echo "FAIL - Exit ends the program with code 0 (was $code)"; failures=$((failures + 1)); fi
else
    echo "FAIL - Exit ends the program"; failures=$((failures + 1))
fi

if [ "$failures" != 0 ]; then
    echo "--- prodlet output"; cat "$work/prodlet.log"
    echo "--- opener log"; cat "$work/opened.log" 2>/dev/null
fi
echo "$failures failures"
[ "$failures" = 0 ]
