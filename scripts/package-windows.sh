#!/bin/bash
# Builds Prodlet for Windows as users get it, and tries it under Wine:
#
#   the installer       build-winpkg/prodlet-<version>-setup.exe (from the 64-bit build)
#   the portable zips   build-winpkg/prodlet-<version>-win64.zip and -win32.zip
#
# Then, in a fresh Wine prefix on an Xvfb of its own with trayer as the
# notification area, inside a private network namespace: installs silently,
# checks the files, the Start menu shortcut, the Run value and the Uninstall
# key, starts the installed program (its tray icon and, with the real
# program, a probe to a recorder on 127.0.0.1:80), installs again over the
# running copy, uninstalls silently and checks that only the settings are
# left. CI runs it as root. The last line is "package-windows: N passed, N failed".
#
#   scripts/package-windows.sh [options] [WIN64 [WIN32]]
#
# WIN64 and WIN32 are the 64-bit and the 32-bit prodlet.exe, or build folders
# that hold one. Without them both are built here, in build-win64/ and
# build-win32/, with cmake/mingw-w64-x86_64.cmake and cmake/mingw-w64-i686.cmake.
#   --out DIR     where the packages go (default build-winpkg)
#   --source DIR  build the executables from the sources in DIR instead of
#                 this repository's (the build folders stay here)
#   --shots DIR   also run the installer and the uninstaller with their pages
#                 shown, and keep a screenshot of each page in DIR
#   --keep        keep the work folder (Wine prefix, logs)
#   --no-wine     build the packages, do not try them
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/deps.sh
. scripts/deps.sh

passes=0
failures=0
check() {  # check "what" command...
    local what=$1; shift
    if "$@"; then
        echo "ok   - $what"; passes=$((passes + 1))
    else
        echo "FAIL - $what"; failures=$((failures + 1))
    fi
}
wait_for() {  # wait_for SECONDS command...
    local end=$((SECONDS + $1)); shift
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.3
    done
}

# The part under Wine, run by the rest of this script inside the namespace:
#   package-windows.sh --under-wine WORK SETUP STAGE REAL SHOTS
# It prints its checks and leaves its counts in WORK/counts.
if [ "${1:-}" = --under-wine ]; then
    shift
    # shellcheck source=scripts/package-windows-wine.sh
    . scripts/package-windows-wine.sh "$@"
    exit 0
fi

out=build-winpkg
source=$PWD
shots=""
keep=""
try_wine=1
inputs=()
while [ $# -gt 0 ]; do
    case $1 in
        --out) out=$2; shift 2 ;;
        --source) source=$(cd "$2" && pwd); shift 2 ;;
        --shots) shots=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        --no-wine) try_wine=""; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        -*) echo "unknown option $1" >&2; exit 2 ;;
        *) inputs+=("$1"); shift ;;
    esac
done
[ "${#inputs[@]}" -le 2 ] || { echo "at most two executables (64-bit, 32-bit)" >&2; exit 2; }

# shellcheck disable=SC2086
prodlet_install_packages $PRODLET_WINDOWS_PACKAGE_PACKAGES

version=$(sed -nE 's/^project\(Prodlet VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }

# find_exe PATH: PATH itself when it is a file, else the prodlet.exe in that build folder.
find_exe() {
    if [ -f "$1" ]; then echo "$1"; return; fi
    local found
    found=$(find "$1" -maxdepth 3 -name prodlet.exe -type f | sort | head -n 1)
    [ -n "$found" ] || { echo "no prodlet.exe in $1" >&2; return 1; }
    echo "$found"
}
# build_exe DIR TOOLCHAIN: the release build of prodlet.exe in DIR.
build_exe() {
    [ -f "$source/$2" ] || { echo "no toolchain file $source/$2" >&2; return 1; }
    mkdir -p "$1"
    # A build folder that the Windows tests have configured already is built
    # as it stands (their settings kept, nothing built twice); a new one is
    # a release build of the program alone.
    if [ -f "$1/CMakeCache.txt" ]; then
        cmake "$1" >"$1/configure.log" 2>&1 || { cat "$1/configure.log"; return 1; }
    else
        cmake -S "$source" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$source/$2" -DCMAKE_BUILD_TYPE=Release \
            -DPRODLET_WERROR=ON -DPRODLET_E2E=OFF -DBUILD_TESTING=OFF >"$1/configure.log" 2>&1 ||
            { cat "$1/configure.log"; return 1; }
    fi
    local targets
    targets=$(cmake --build "$1" --target help)
    if grep -qw prodlet <<<"$targets"; then
        cmake --build "$1" -j2 --target prodlet
    else
        cmake --build "$1" -j2
    fi
    find_exe "$1" >/dev/null
}

echo "== the executables"
if [ "${#inputs[@]}" -eq 0 ]; then
    built() {  # built WHAT DIR TOOLCHAIN
        build_exe "$2" "$3" && return
        echo "FAIL - the $1 build"
        echo "package-windows: $passes passed, $((failures + 1)) failed"
        exit 1
    }
    built 64-bit build-win64 cmake/mingw-w64-x86_64.cmake
    built 32-bit build-win32 cmake/mingw-w64-i686.cmake
    inputs=(build-win64 build-win32)
fi
exe64=$(find_exe "${inputs[0]}")
exe32=""
if [ "${#inputs[@]}" -eq 2 ]; then exe32=$(find_exe "${inputs[1]}"); fi
echo "64-bit: $exe64"
echo "32-bit: ${exe32:-(none given)}"
check "the 64-bit program is a PE32+ x86-64 executable" sh -c "file -b '$exe64' | grep -q '^PE32+ executable.*x86-64'"
if [ -n "$exe32" ]; then
    check "the 32-bit program is a PE32 Intel 80386 executable" sh -c "file -b '$exe32' | grep -q '^PE32 executable.*Intel 80386'"
fi
# The real program talks Winsock; a stand-in (a bare window of the frame's
# class, while the Win32 build was young) does not, and its probe is then
# not looked for.
real=0
# (Read into a variable first: grep -q may quit before its writer, which
# pipefail would count as a failure.)
imports=$(x86_64-w64-mingw32-objdump -p "$exe64")
if grep -qi 'DLL Name: ws2_32\.dll' <<<"$imports"; then real=1; fi
[ "$real" = 1 ] || echo "note: $exe64 does not use Winsock, so it is not the real program; no probe is looked for"

# What is installed, as the zips hold it: Prodlet\prodlet.exe (stripped, as
# the Debian package's), Prodlet\manual\index.html (Help Topics opens it)
# and Prodlet\LICENSE.txt (with Windows line ends, for Notepad).
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/prodlet-*-setup.exe "$out"/prodlet-*-win64.zip "$out"/prodlet-*-win32.zip
stage_tree() {  # stage_tree DIR EXE STRIP
    rm -rf "$1"
    mkdir -p "$1/Prodlet/manual"
    "$3" -o "$1/Prodlet/prodlet.exe" "$2"
    python3 dist/windows/make-manual.py dist/manual/index.html dist/manual/windows.html "$1/Prodlet/manual/index.html"
    sed 's/\r$//; s/$/\r/' LICENSE >"$1/Prodlet/LICENSE.txt"
}
stage_tree "$out/stage-win64" "$exe64" x86_64-w64-mingw32-strip
stage="$out/stage-win64/Prodlet"

echo "== the installer"
# The installer's icon: the program's globe, from the scalable art.
icon="$out/prodlet.ico"
icon_pngs=()
for size in 16 32 48 256; do
    rsvg-convert -w "$size" -h "$size" dist/icons/prodlet.svg -o "$out/icon-$size.png"
    icon_pngs+=("$out/icon-$size.png")
done
convert "${icon_pngs[@]}" "$icon"
rm -f "${icon_pngs[@]}"
setup="$out/prodlet-$version-setup.exe"
rm -f "$setup"
makensis -V2 -WX -DVERSION="$version" -DSTAGE="$stage" -DICON="$icon" -DOUTFILE="$setup" dist/windows/prodlet.nsi
check "the installer is a 64-bit program ($(basename "$setup"), $(stat -c %s "$setup") bytes)" \
    sh -c "file -b '$setup' | grep -q '^PE32+ executable.*x86-64'"

echo "== the portable zips"
# zip_tree STAGE ZIP COMMENT: the Prodlet folder, without the builder's owners.
zip_tree() {
    rm -f "$2"
    (cd "$1" && zip -q -X -r "$2" Prodlet)
    printf '%s\n' "$3" | zip -q -z "$2"
}
zip64="$out/prodlet-$version-win64.zip"
zip_tree "$out/stage-win64" "$zip64" "Prodlet $version for 64-bit Windows. Unzip anywhere and start Prodlet\\prodlet.exe."
# zip_holds ZIP: exactly the program, the manual and the licence.
zip_holds() {
    local listed
    listed=$(unzip -Z1 "$1" | grep -v '/$' | sort | tr '\n' ' ')
    [ "$listed" = "Prodlet/LICENSE.txt Prodlet/manual/index.html Prodlet/prodlet.exe " ] ||
        { echo "$1 holds: $listed"; return 1; }
}
check "$(basename "$zip64") holds the program, the manual and the licence ($(stat -c %s "$zip64") bytes)" zip_holds "$zip64"
check "the zip's program is the installer's" sh -c "unzip -p '$zip64' Prodlet/prodlet.exe | cmp -s - '$stage/prodlet.exe'"
if [ -n "$exe32" ]; then
    stage_tree "$out/stage-win32" "$exe32" i686-w64-mingw32-strip
    zip32="$out/prodlet-$version-win32.zip"
    zip_tree "$out/stage-win32" "$zip32" \
        "Prodlet $version for 32-bit Windows (built, not tested: no 32-bit Wine on the build machines)."
    check "$(basename "$zip32") holds the program, the manual and the licence ($(stat -c %s "$zip32") bytes)" zip_holds "$zip32"
    echo "note: $(basename "$zip32") is built but not tested (no 32-bit Wine here)"
fi
check "the Windows manual is well-formed" xmllint --noout "$stage/manual/index.html"
check "the Windows manual is of Prodlet $version" grep -qF "<title>Prodlet $version manual</title>" "$stage/manual/index.html"
# Linux-only matters stay out of it.
linux_only() { ! grep -nE 'registry\.reg|XDG_|PRODLET_HIVE|PRODLET_WINDIR|/etc/|~/\.config|prodletd|systemctl|man prodlet|/usr/' "$1"; }
check "the Windows manual has nothing Linux-only" linux_only "$stage/manual/index.html"
# It names every label of the program, as the Linux manual does (the labels
# are read from res/ as tests/dist/check_dist.sh reads them).
labels() {
    sed -nE 's/^[[:space:]]*\{K::(PushButton|DefPushButton|CheckBox|GroupBox), [^,]+, "([^"]+)".*/\2/p' res/Dialogs.cpp
    awk '/kAboutItems\[\] = \{/ { about = 1 } about && /^};/ { about = 0 }
         !about && /\{K::Static, -1, "/ { sub(/.*\{K::Static, -1, "/, ""); sub(/".*/, ""); print }' res/Dialogs.cpp
    sed -nE 's/^[[:space:]]*\{IDD_[A-Z_]+, "([^"]+)".*/\1/p' res/Dialogs.cpp
    sed -nE 's/^[[:space:]]*\{MF_(STRING|POPUP), "([^"_][^"]*)".*/\2/p' res/Resources.cpp | tr -d '&'
}
names_labels() {
    local text label html unnamed="" n=0
    text=$(tr -s ' \n' '  ' <"$1")
    while IFS= read -r label; do
        n=$((n + 1))
        html=$(printf '%s' "$label" | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g')
        grep -qF "\"$html\"" <<<"$text" || unnamed="$unnamed [$label]"
    done < <(labels | sort -u)
    [ "$n" -ge 30 ] || { echo "  only $n labels found in res/"; return 1; }
    [ -z "$unnamed" ] || { echo "  not named:$unnamed"; return 1; }
}
check "the Windows manual names every label of the program" names_labels "$stage/manual/index.html"
ls -l "$out"/*.exe "$out"/*.zip

if [ -z "$try_wine" ]; then
    echo "package-windows: $passes passed, $failures failed"
    [ "$failures" -eq 0 ]
    exit
fi

echo "== under Wine"
work=$(mktemp -d /tmp/prodlet-winpkg-XXXXXX)
if [ -n "$shots" ]; then mkdir -p "$shots"; shots=$(cd "$shots" && pwd); fi
# A copy that cannot be closed, for the setup's failure path.
x86_64-w64-mingw32-g++-posix -O2 -Wall -Wextra -Werror -mwindows -static \
    -o "$work/stubborn.exe" tests/installer/StubbornFrame.cpp
# One private network namespace for all of it: the program's probe can go
# only to the recorder on the loopback address.
set +e
tests/netns/in-netns.sh bash scripts/package-windows.sh --under-wine "$work" "$setup" "$stage" "$real" "$shots" "$work/stubborn.exe"
status=$?
set -e
if [ -s "$work/counts" ]; then
    read -r wine_passes wine_failures <"$work/counts"
    passes=$((passes + wine_passes))
    failures=$((failures + wine_failures))
else
    echo "FAIL - the Wine part ended early (status $status)"
    failures=$((failures + 1))
fi
if [ "$failures" = 0 ] && [ -z "$keep" ]; then rm -rf "$work"; else echo "work folder kept: $work"; fi

echo "package-windows: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
