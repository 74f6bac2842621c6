#!/bin/sh
# check_layering.sh SOURCE_DIR LINKS_FILE
# Fails when a source file of the program's folders, of the framework's
# shared code and console backend (framework/ less framework/qt) or of the
# executables' own code includes a Qt header, or when one of their targets
# (prodlet aside, which links the Qt backend) links a Qt target (LINKS_FILE:
# one line per target and property, "folder/target PROPERTY lib;lib;...").
# Fails too when the framework's own files (framework/*.cpp, *.h, outside
# the backends' and the system's folders) include a POSIX header: they
# compile for every system as they are; and when a file outside the Win32
# shims includes a Windows header.
set -u
src=$1
links=$2
status=0

# Qt headers: <QWidget>, "QString", <QtCore/QTimer>, old-style <qglobal.h>.
include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](Q[A-Za-z0-9_]*|q[a-z0-9_]*\.h)([/>"])'
dirs=""
for dir in app engine settings ui res framework programs; do
    [ -d "$src/$dir" ] && dirs="$dirs $src/$dir"
done
if [ -z "$dirs" ]; then
    echo "none of the program's folders exists under $src: nothing was checked"
    exit 1
fi
# shellcheck disable=SC2086  # $dirs holds several paths on purpose
nfiles=$(find $dirs -path "$src/framework/qt" -prune -o -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) -print | wc -l)
# shellcheck disable=SC2086
hits=$(find $dirs -path "$src/framework/qt" -prune -o -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) \
           -exec grep -HnE "$include_re" {} +)
if [ -n "$hits" ]; then
    echo "$hits" | sed "s|^$src/|Qt header in the program: |"
    status=1
fi
sys_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(unistd\.h|fcntl\.h|signal\.h|csignal|poll\.h|dirent\.h|pwd\.h|pthread\.h|sys/[^>]*)>'
syshits=$(grep -HnE "$sys_re" "$src"/framework/*.cpp "$src"/framework/*.h)
if [ -n "$syshits" ]; then
    echo "$syshits" | sed "s|^$src/|system header in the framework's own files: |"
    status=1
fi
if [ "$nfiles" -eq 0 ]; then
    echo "no source files found under $src: nothing was checked"
    exit 1
fi

# Windows' own headers only in the Win32 shims: everything else has the
# framework's names (WM_CLOSE, HWND, RegCreateKeyExA), which they would clash with.
win_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(windows|winsock2|ws2tcpip|commctrl|commdlg|shellapi|winuser|winbase)\.h>'
win_dirs=""
for dir in app engine settings ui res framework programs platform; do
    [ -d "$src/$dir" ] && win_dirs="$win_dirs $src/$dir"
done
# shellcheck disable=SC2086
win_hits=$(find $win_dirs -path '*/win32/shim' -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) \
               -exec grep -HniE "$win_re" {} +)
if [ -n "$win_hits" ]; then
    echo "$win_hits" | sed "s|^$src/|Windows header outside a shim: |"
    status=1
fi

if [ ! -s "$links" ]; then
    echo "link list $links is missing or empty"
    exit 1
fi
# The check means nothing if the folders' libraries are not in the list.
for tgt in app/app engine/engine settings/settings ui/ui res/res framework/framework \
           framework/framework_console programs/prodletd programs/daemon; do
    if ! grep -q "^$tgt " "$links"; then
        echo "target $tgt is not in $links"
        status=1
    fi
done
qt_re='Qt[0-9]*::|(^|[^A-Za-z0-9_])(lib)?Qt[0-9][A-Za-z]|-lQt'
if grep -E " [A-Z_]*LINK_LIBRARIES .*($qt_re)" "$links" | sed 's|^|Qt linked by a program target: |' | grep .; then
    status=1
fi

echo "checked $nfiles source files and $(wc -l <"$links") link lists"
exit $status
