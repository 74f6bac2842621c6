#!/bin/bash
# check_dist.sh SOURCE_DIR BUILD_DIR VERSION HAVE_DAEMON
# Installs the build tree into a scratch prefix and checks what a desktop and a
# package manager read there: the file list, the desktop entry, the AppStream
# metainfo against the entry and icons, the manual page, the manual, the icons
# (16 and 32 pixels exactly the program's art, the larger ones the SVG's
# drawing), and that the installed texts carry the project's version and the
# program's own labels. A missing checking tool fails it, naming the tool.
set -u
src=$1
build=$2
version=$3
have_daemon=$4
failures=0

missing=""
for tool in desktop-file-validate appstreamcli man xmllint identify convert compare rsvg-convert; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "FAIL - missing:$missing (scripts/deps.sh's test packages bring them: ./scripts/test.sh installs them)"
    exit 1
fi

work=$(mktemp -d /tmp/prodlet-dist-XXXXXX)
trap 'rm -rf "$work"' EXIT
root=$work/root
prefix=$root/usr

check() {  # check "what" command...
    local what=$1; shift
    if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    echo "FAIL - cmake --install"; cat "$work/install.log"; exit 1
fi

id=org.quorvane.Prodlet
expected="bin/prodlet
share/applications/$id.desktop
share/metainfo/$id.metainfo.xml
share/man/man1/prodlet.1
share/doc/prodlet/manual/index.html
share/doc/prodlet/LICENSE
share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 32 48 64 128 256; do
    expected="$expected
share/icons/hicolor/${size}x${size}/apps/$id.png"
done
daemon_files="bin/prodletd
share/man/man1/prodletd.1
lib/systemd/system/prodletd.service
lib/systemd/user/prodletd.service"
if [ "$have_daemon" = 1 ]; then
    expected="$expected
$daemon_files"
fi
(cd "$prefix" && find . -type f -o -type l) | sed 's|^\./||' | sort >"$work/installed.txt"
echo "$expected" | sort >"$work/expected.txt"
check "the installed files are exactly the expected ones" diff -u "$work/expected.txt" "$work/installed.txt"

desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
check "desktop-file-validate accepts the desktop entry" desktop-file-validate "$desktop"
check "appstreamcli accepts the metainfo" appstreamcli validate --no-net "$metainfo"
# The tree check ties the metainfo to its desktop entry and the entry's icon.
check "appstreamcli accepts the installed tree" appstreamcli validate-tree --no-net "$root"

man_warnings() {  # man_warnings PAGE: renders it, true when groff has nothing to say
    local out
    out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null)
    [ -z "$out" ] || { echo "$out"; return 1; }
}
check "the manual page renders without warnings" man_warnings "$prefix/share/man/man1/prodlet.1"
if [ "$have_daemon" = 1 ]; then
    # man prodletd finds the shared page through the .so link.
    check "man prodletd shows the shared page" \
        sh -c "MANPATH='$prefix/share/man' MANWIDTH=80 man prodletd 2>&1 | grep -q 'prodletd --once'"
fi
check "the manual is well-formed" xmllint --noout "$prefix/share/doc/prodlet/manual/index.html"

# Version: every installed text that names one names the project's.
check "metainfo's newest release is $version" \
    grep -q "<release version=\"$version\"" "$metainfo"
check "manual page is of Prodlet $version" grep -q "^\.TH PRODLET 1 .* \"Prodlet $version\"" "$prefix/share/man/man1/prodlet.1"
check "manual is of Prodlet $version" grep -qF "<title>Prodlet $version manual</title>" "$prefix/share/doc/prodlet/manual/index.html"
check "the About box says Prodlet Version $version" grep -qF "\"Prodlet Version $version\"" "$src/res/Dialogs.cpp"

# The manual names every button, check box, group box, dialog, menu item and
# label of the program in double quotes, as the program shows it.
labels() {
    sed -nE 's/^[[:space:]]*\{K::(PushButton|DefPushButton|CheckBox|GroupBox), [^,]+, "([^"]+)".*/\2/p' "$src/res/Dialogs.cpp"
    awk '/kAboutItems\[\] = \{/ { about = 1 } about && /^};/ { about = 0 }
         !about && /\{K::Static, -1, "/ { sub(/.*\{K::Static, -1, "/, ""); sub(/".*/, ""); print }' "$src/res/Dialogs.cpp"
    sed -nE 's/^[[:space:]]*\{IDD_[A-Z_]+, "([^"]+)".*/\1/p' "$src/res/Dialogs.cpp"
    sed -nE 's/^[[:space:]]*\{MF_(STRING|POPUP), "([^"_][^"]*)".*/\2/p' "$src/res/Resources.cpp" | tr -d '&'
}
labels | sort -u >"$work/labels.txt"
# One line, single spaces: a label may wrap in the HTML source.
tr -s ' \n' '  ' <"$prefix/share/doc/prodlet/manual/index.html" >"$work/manual.txt"
unnamed=""
nlabels=0
while IFS= read -r label; do
    nlabels=$((nlabels + 1))
    html=$(printf '%s' "$label" | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g')
    grep -qF "\"$html\"" "$work/manual.txt" || unnamed="$unnamed [$label]"
done <"$work/labels.txt"
check "the program's labels were found in res/ ($nlabels)" test "$nlabels" -ge 30
check "the manual names every label${unnamed:+; missing:$unnamed}" test -z "$unnamed"

# Icons. pixel FILE X Y: the pixel as RRGGBBAA.
pixel() {
    convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | sed -nE 's/.*#([0-9A-Fa-f]{8}).*/\1/p' | tr 'a-f' 'A-F'
}
icon_is() {  # icon_is SIZE X Y RRGGBBAA
    local got
    got=$(pixel "$prefix/share/icons/hicolor/$1x$1/apps/$id.png" "$2" "$3")
    [ "$got" = "$4" ] || { echo "pixel ($2, $3) of the $1 px icon is $got, not $4"; return 1; }
}
for size in 16 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    check "${size} px icon is ${size}x${size} with alpha" \
        test "$(identify -format '%w %h %[channels]' "$png" 2>/dev/null)" = "$size $size srgba"
done
# The art: a lime equator through a green globe with a black rim, transparent corners.
art16() {
    icon_is 16 0 0 00000000 && icon_is 16 7 7 00FF00FF && icon_is 16 1 5 008000FF && icon_is 16 0 5 000000FF &&
        icon_is 16 15 7 00000000
}
art32() {
    icon_is 32 0 0 00000000 && icon_is 32 15 15 00FF00FF && icon_is 32 4 12 008000FF && icon_is 32 0 12 000000FF &&
        icon_is 32 31 15 00000000
}
check "16 px icon is the tray's art" art16
check "32 px icon is the tray's art" art32
# The drawn sizes follow the SVG (only the snapping of lines to whole pixels
# differs), so the two cannot drift apart.
svg_matches() {  # svg_matches SIZE LIMIT
    local png=$prefix/share/icons/hicolor/$1x$1/apps/$id.png rmse
    rsvg-convert -w "$1" -h "$1" "$prefix/share/icons/hicolor/scalable/apps/$id.svg" -o "$work/svg$1.png" || return 1
    rmse=$(compare -metric RMSE "$png" "$work/svg$1.png" null: 2>&1 | sed -nE 's/.*\(([0-9.e+-]+)\).*/\1/p')
    echo "  $1 px: normalised RMSE against the SVG $rmse (limit $2)"
    awk -v d="$rmse" -v l="$2" 'BEGIN { exit !(d != "" && d + 0 <= l + 0) }'
}
check "256 px icon is the SVG's drawing" svg_matches 256 0.02
check "128 px icon is the SVG's drawing" svg_matches 128 0.04
check "64 px icon is the SVG's drawing" svg_matches 64 0.04
check "48 px icon is the SVG's drawing" svg_matches 48 0.06
# Lines snapped to whole pixels: at 48 px the equator is one solid lime row
# between green ones, away from the meridians.
crisp48() { icon_is 48 18 24 00FF00FF && icon_is 48 18 23 008000FF && icon_is 48 18 25 008000FF; }
check "48 px icon's equator is crisp" crisp48

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
