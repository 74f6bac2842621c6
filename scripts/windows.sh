#!/bin/bash
# The Windows build, as CI runs it: installs what it needs (scripts/deps.sh),
# cross-builds prodlet.exe for x86-64 (build-win64/) and i686 (build-win32/,
# the described platform) with mingw-w64, runs the Win32 unit tests of the
# 64-bit build under Wine on Xvfb, and the end-to-end run of prodlet.exe
# under Wine in a private network namespace; ends with CTest's summary.
#
# Wine 8 here is 64-bit only (32-bit Wine cannot be installed: never add the
# i386 architecture), so the 32-bit build's tests are built, not run.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/deps.sh
. scripts/deps.sh
prodlet_install_packages $PRODLET_BUILD_PACKAGES $PRODLET_WINDOWS_PACKAGES

start=$SECONDS
for arch in x86_64:win64 i686:win32; do
    cmake -S . -B "build-${arch#*:}" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-${arch%%:*}.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DPRODLET_WERROR=ON
    cmake --build "build-${arch#*:}" -j2
done
file build-win64/bin/prodlet.exe build-win32/bin/prodlet.exe
# Nothing but the system's own DLLs.
for exe in build-win64/bin/prodlet.exe build-win32/bin/prodlet.exe; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
    echo "$exe needs: $dlls"
    for dll in $dlls; do
        case $dll in
        advapi32.dll | comctl32.dll | comdlg32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | shell32.dll | \
            user32.dll | ws2_32.dll) ;;
        *) echo "FAIL - $exe needs $dll, which Windows does not bring"; exit 1 ;;
        esac
    done
done
echo "built in $((SECONDS - start)) s"

# ---- the unit tests under Wine, on a display of their own
work=$(mktemp -d /tmp/prodlet-windows-XXXXXX)
pids=()
cleanup() {
    WINEPREFIX=$work/prefix timeout 30 wineserver -k >/dev/null 2>&1 || true
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 & pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.2; done
export DISPLAY=:$(head -n 1 "$work/display")
# The tray first (the tests add icons), then a fresh prefix, warmed with all
# three standard streams in files: Wine's services would otherwise inherit
# CTest's output pipe and the run would never end.
trayer --edge top --align right --widthtype request --height 32 >"$work/trayer.log" 2>&1 & pids+=($!)
# The pointer out of the way: a fresh server puts it in the middle of the
# screen, where the tests' windows open, and the real mouse would reach them.
timeout 20 xdotool mousemove 0 767 || true
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
timeout -k 5 300 wineboot -i </dev/null >"$work/wineboot.out" 2>"$work/wineboot.err"
# The server stays up between the tests, so each does not pay Wine's start.
timeout 10 wineserver -p </dev/null >/dev/null 2>&1 || true

status=0
(cd build-win64 && ctest -j2 --timeout 600 --output-on-failure) 2>&1 | tee "$work/ctest.log" || true
grep -q '100% tests passed' "$work/ctest.log" || status=1

# ---- the end-to-end run of prodlet.exe, with a prefix of its own
tests/netns/in-netns.sh tests/e2e/run-e2e-wine.sh build-win64 || status=1

echo "Windows build, tests and end-to-end run took $((SECONDS - start)) s"
# CTest's own summary, last.
sed -n '/tests passed/,$p' "$work/ctest.log"
exit $status
