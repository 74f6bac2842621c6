# shellcheck shell=bash
# shellcheck disable=SC2034  # the lists are used by the scripts that source this file
# Debian 12 packages of Prodlet, sourced by run.sh and test.sh. The one list
# of what a fresh machine needs.

# To build and run the program: compiler, CMake, Qt 6 Widgets (its CMake
# package needs the OpenGL headers), GoogleTest.
# qt6-qpa-plugins brings the xcb (desktop) and offscreen (tests) platforms.
PRODLET_BUILD_PACKAGES="build-essential cmake qt6-base-dev qt6-qpa-plugins libgl-dev libgtest-dev"

# Also for the end-to-end tests of the real binary: a headless X server with a
# notification area and a window manager, input and window tools, network
# namespaces, the test server and screenshots; a session bus with the
# accessibility bus and its Python bindings, through which the dialog test
# reads the controls as a screen reader does; and a German locale, to show
# that numbers are read the same under any locale.
PRODLET_TEST_PACKAGES="xvfb trayer openbox xdotool x11-utils iproute2 util-linux hostname python3 imagemagick locales dbus-daemon dbus-bin at-spi2-core python3-pyatspi"

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
