# shellcheck shell=bash
# shellcheck disable=SC2034  # the lists are used by the scripts that source this file
# Debian 12 packages of Prodlet, sourced by run.sh, test.sh and package.sh.
# The one list of what a fresh machine needs.

# To build and run the program: compiler, CMake, Qt 6 Widgets (its CMake
# package needs the OpenGL headers), GoogleTest, zlib (the icons are written
# as PNG files at build time).
# qt6-qpa-plugins brings the xcb (desktop) and offscreen (tests) platforms.
# pkg-config and the xcb headers for the hints X11 window managers read.
PRODLET_BUILD_PACKAGES="build-essential cmake pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev libgtest-dev zlib1g-dev"

# Also for the end-to-end test of the real binary: a headless X server with a
# notification area, input and window tools, network namespaces, the test
# server and screenshots; and a German locale, to show that numbers are read
# the same under any locale.
PRODLET_TEST_PACKAGES="xvfb trayer openbox xdotool x11-utils iproute2 util-linux hostname python3 imagemagick locales"
# A D-Bus session with the accessibility bus and its Python bindings, through
# which the end-to-end tests read the windows as a screen reader does.
PRODLET_TEST_PACKAGES="$PRODLET_TEST_PACKAGES dbus-daemon dbus-bin at-spi2-core python3-pyatspi"
# And for the runs on real desktops: another tray (tint2), a Wayland
# compositor with Qt's Wayland plugin, and a session bus with a
# StatusNotifierItem host written in Python.
PRODLET_TEST_PACKAGES="$PRODLET_TEST_PACKAGES tint2 weston qt6-wayland dbus python3-dbus python3-gi"
# Real notification-area hosts whose panel may come up after the program:
# xfce4-panel (X11; a StatusNotifierItem watcher and host and an XEmbed tray)
# and waybar's tray on a headless sway, with grim for its screenshots.
PRODLET_TEST_PACKAGES="$PRODLET_TEST_PACKAGES xfce4-panel sway waybar grim"
# Qt's GTK theme, whose native file dialogs run on GLib's event loop: the
# countdown must go on while one is open.
PRODLET_TEST_PACKAGES="$PRODLET_TEST_PACKAGES qt6-gtk-platformtheme"
# Also for the test of the installed files: the desktop-entry, AppStream,
# manual-page and HTML checkers, and an SVG renderer to hold the icons to the SVG.
PRODLET_TEST_PACKAGES="$PRODLET_TEST_PACKAGES desktop-file-utils appstream man-db libxml2-utils librsvg2-bin"

# To build, check, install and remove the Debian package (package.sh): the
# package tools (dpkg-shlibdeps works out the library dependencies, CPack
# finds the binaries with file) and the checkers of the installed files.
PRODLET_PACKAGE_PACKAGES="dpkg-dev file desktop-file-utils appstream man-db libxml2-utils"

# For scripts/package-windows.sh: the mingw-w64 cross compilers (and the
# build machine's, for the icon tool), NSIS, zip, the installer's icon from
# the SVG, and Wine (64-bit only) on Xvfb with trayer as its notification
# area (openbox for the pages' screenshots), in a private network namespace.
PRODLET_WINDOWS_PACKAGE_PACKAGES="build-essential cmake g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 nsis zip unzip file librsvg2-bin imagemagick libxml2-utils wine wine64 xvfb trayer openbox xdotool x11-utils iproute2 util-linux hostname python3"
# For scripts/windows.sh: the mingw-w64 cross compilers (their -posix
# variants have std::thread and std::mutex), GoogleTest's sources to build
# for Windows, Wine 8 (64-bit only) to run the tests and the program, and
# the same display, tray, input and screenshot tools as the Linux runs.
PRODLET_WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 googletest wine wine64 xvfb trayer xdotool imagemagick iproute2 util-linux python3 file"

# For scripts/fuzz.sh: clang and its libFuzzer runtime.
PRODLET_FUZZ_PACKAGES="clang libclang-rt-14-dev"

# Root runs apt-get itself; anyone else goes through sudo when it exists.
prodlet_as_root()
{
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "Need root to run: $*  (no sudo available)" >&2
        return 1
    fi
}

# prodlet_install_packages PACKAGE...: installs those not yet installed;
# looks for package updates only when something is missing.
prodlet_install_packages()
{
    missing=""
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $pkg"
        fi
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    prodlet_as_root env DEBIAN_FRONTEND=noninteractive apt-get update || return 1
    # shellcheck disable=SC2086  # one word per package
    prodlet_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y $missing
}

# prodlet_ensure_locale NAME: builds the locale (e.g. de_DE.UTF-8) if missing.
prodlet_ensure_locale()
{
    local want=${1%%.*}
    if ! locale -a 2>/dev/null | grep -qix "$want.utf8\|$want.utf-8"; then
        prodlet_as_root localedef -i "$want" -f UTF-8 "$1" || echo "could not build locale $1" >&2
    fi
}
