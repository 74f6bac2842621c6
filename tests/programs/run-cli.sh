#!/bin/sh
# The real binaries' command lines, with no display at all: --help and
# --version answer, anything unknown is a usage error with status 2, prodlet
# says in one line that it found no display, and prodletd links no Qt.
#
# usage: run-cli.sh PATH/TO/prodletd [PATH/TO/prodlet]
set -u
prodletd=$1
prodlet=${2:-}
work=$(mktemp -d /tmp/prodlet-cli-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

check() {  # check "what" command...
    what=$1; shift
    if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

# run NAME PROGRAM ARGS...: status in $work/NAME.rc, output in NAME.out and NAME.err
run() {
    name=$1; shift
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        PRODLET_HIVE="$work/never-written.reg" PRODLET_WINDIR="$work" \
        "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null
    echo $? >"$work/$name.rc"
}
status_is() { [ "$(cat "$work/$1.rc")" = "$2" ]; }
has() { grep -qF -- "$2" "$work/$1"; }
empty() { [ ! -s "$work/$1" ]; }
lines() { [ "$(wc -l <"$work/$1")" = "$2" ]; }

run d-help "$prodletd" --help
check "prodletd --help: status 0" status_is d-help 0
check "prodletd --help: usage on standard output" has d-help.out "Usage: prodletd"
check "prodletd --help: nothing on standard error" empty d-help.err
run d-version "$prodletd" --version
check "prodletd --version: status 0" status_is d-version 0
check "prodletd --version: names the program" has d-version.out "prodletd "
run d-bad "$prodletd" --frob
check "prodletd --frob: status 2" status_is d-bad 2
check "prodletd --frob: says what was wrong" has d-bad.err "prodletd: unknown option '--frob'"
check "prodletd --frob: usage on standard error" has d-bad.err "Usage: prodletd"
check "prodletd --frob: nothing on standard output" empty d-bad.out
run d-arg "$prodletd" some.doc
check "prodletd FILE: status 2" status_is d-arg 2
run d-nofile "$prodletd" --settings
check "prodletd --settings without a file: status 2" status_is d-nofile 2
check "no settings were written by any of these" test ! -e "$work/never-written.reg"
check "readelf is there (binutils)" command -v readelf
check "prodletd links no Qt" sh -c "! readelf -d '$prodletd' | grep NEEDED | grep -qi 'libQt'"

if [ -n "$prodlet" ]; then
    run q-help "$prodlet" --help
    check "prodlet --help without a display: status 0" status_is q-help 0
    check "prodlet --help: usage on standard output" has q-help.out "Usage: prodlet"
    run q-version "$prodlet" --version
    check "prodlet --version without a display: status 0" status_is q-version 0
    check "prodlet --version: names the program" has q-version.out "prodlet "
    run q-bad "$prodlet" --frob
    check "prodlet --frob: status 2" status_is q-bad 2
    check "prodlet --frob: usage on standard error" has q-bad.err "Usage: prodlet"
    run q-nodisplay "$prodlet"
    check "prodlet without a display: status 1, not an abort" status_is q-nodisplay 1
    check "prodlet without a display: one line" lines q-nodisplay.err 1
    check "prodlet without a display: says so" has q-nodisplay.err "no display found"
    check "prodlet without a display: names prodletd" has q-nodisplay.err "prodletd"
    run q-xcb env QT_QPA_PLATFORM=xcb "$prodlet"
    check "prodlet on X11 without DISPLAY: status 1" status_is q-xcb 1
fi

echo "$failures failures"
[ "$failures" = 0 ]
