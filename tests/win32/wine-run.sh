#!/bin/sh
# CMAKE_CROSSCOMPILING_EMULATOR of the Windows build: runs one .exe under
# Wine in the warmed prefix $WINEPREFIX (scripts/windows.sh makes it) on the
# display $DISPLAY. The program's output goes through a file: a Wine service
# that a test starts would otherwise hold CTest's output pipe open and the
# run would never end. Every Wine call has a time limit.
set -u
: "${WINEPREFIX:?a warmed Wine prefix is needed (scripts/windows.sh)}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
out=$(mktemp "${TMPDIR:-/tmp}/prodlet-wine.XXXXXX")
timeout -k 10 "${PRODLET_WINE_TIMEOUT:-500}" wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
