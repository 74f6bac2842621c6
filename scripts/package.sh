#!/bin/bash
# Builds the Debian package (build-pkg/, Release, prefix /usr), lists it,
# installs it on this machine, checks the installed files with the desktop's
# and AppStream's validators, then removes it and checks that nothing is left.
# CI runs it as root after the tests. A prodlet package installed before is
# replaced and removed too.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/deps.sh
. scripts/deps.sh

# shellcheck disable=SC2086
prodlet_install_packages $PRODLET_BUILD_PACKAGES $PRODLET_PACKAGE_PACKAGES

build="build-pkg"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPRODLET_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr -DPRODLET_E2E=OFF -DBUILD_TESTING=OFF
# Only what the package holds; the tests are built and run elsewhere.
# (Lists are read into variables first: grep -q may quit before its writer,
# which pipefail would count as a failure.)
targets="prodlet prodlet_icons"
build_targets=$(cmake --build "$build" --target help)
if grep -qw prodletd <<<"$build_targets"; then
    targets="$targets prodletd"
fi
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets

rm -f "$build"/prodlet_*.deb
(cd "$build" && cpack -G DEB)
version=$(sed -nE 's/^set\(CPACK_PACKAGE_VERSION "([^"]+)"\)$/\1/p' "$build/CPackConfig.cmake")
deb=$build/prodlet_${version}_amd64.deb
[ -f "$deb" ] || { echo "no package $deb"; ls "$build"; exit 1; }

echo "== $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --info "$deb"
echo "== contents"
contents=$(dpkg-deb --contents "$deb")
echo "$contents"

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

# Whatever happens below, the machine is left without the package.
remove_package() {
    if dpkg-query -W prodlet >/dev/null 2>&1; then
        prodlet_as_root dpkg --purge prodlet >/dev/null
    fi
}
trap remove_package EXIT

id=org.quorvane.Prodlet
required="/usr/bin/prodlet
/usr/share/applications/$id.desktop
/usr/share/metainfo/$id.metainfo.xml
/usr/share/man/man1/prodlet.1
/usr/share/doc/prodlet/manual/index.html
/usr/share/doc/prodlet/LICENSE
/usr/share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 32 48 64 128 256; do
    required="$required
/usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
done
has_daemon=0
if grep -q ' \./usr/bin/prodletd$' <<<"$contents"; then
    has_daemon=1
    required="$required
/usr/bin/prodletd
/usr/share/man/man1/prodletd.1
/usr/lib/systemd/system/prodletd.service
/usr/lib/systemd/user/prodletd.service"
fi

echo "== install"
prodlet_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "./$deb"
check "the package is installed" sh -c "dpkg-query -W -f='\${Status}' prodlet | grep -q 'install ok installed'"
dpkg-query -W -f='Depends: ${Depends}\nRecommends: ${Recommends}\nInstalled-Size: ${Installed-Size} KiB\n' prodlet

missing=""
while IFS= read -r file; do
    if [ ! -e "$file" ]; then missing="$missing $file"; fi
done <<<"$required"
check "every expected file is in place${missing:+; missing:$missing}" test -z "$missing"
# Every file and link that the package holds, as dpkg-deb lists it.
packaged=$(awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' <<<"$contents")
absent=""
while IFS= read -r file; do
    if [ ! -e "$file" ]; then absent="$absent $file"; fi
done <<<"$packaged"
check "all $(echo "$packaged" | wc -l) files of the package are installed${absent:+; absent:$absent}" test -z "$absent"
check "/usr/bin/prodlet finds all its libraries" sh -c '! ldd /usr/bin/prodlet | grep -q "not found"'

echo "== validators"
check "desktop-file-validate" desktop-file-validate "/usr/share/applications/$id.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "/usr/share/metainfo/$id.metainfo.xml"
man_clean() {
    local out
    out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null)
    [ -z "$out" ] || { echo "$out"; return 1; }
}
check "man prodlet is found" sh -c 'man -w prodlet | grep -qx /usr/share/man/man1/prodlet.1'
check "the manual page renders without warnings" man_clean /usr/share/man/man1/prodlet.1
check "the manual is well-formed" xmllint --noout /usr/share/doc/prodlet/manual/index.html

if [ "$has_daemon" = 1 ]; then
    # prodletd.1 points to prodlet.1, which describes both.
    check "man prodletd shows the shared page" sh -c 'MANWIDTH=80 man prodletd 2>/dev/null | grep -q "prodletd --once"'
    if command -v systemd-analyze >/dev/null 2>&1; then
        check "systemd-analyze verify (system unit)" systemd-analyze verify /usr/lib/systemd/system/prodletd.service
        # The user manager wants a runtime directory, which CI has not.
        runtime=$(mktemp -d)
        check "systemd-analyze verify (user unit)" \
            env XDG_RUNTIME_DIR="$runtime" systemd-analyze --user verify /usr/lib/systemd/user/prodletd.service
        rm -rf "$runtime"
    fi
fi

echo "== the installed programs"
# From their installed paths, with no display: prodlet answers --version
# before it looks for one; prodletd --once probes a server on 127.0.0.1:80
# inside a private network namespace, with its settings in a scratch folder
# found through XDG_CONFIG_HOME (the host is named there, not seeded).
scratch=$(mktemp -d /tmp/prodlet-package-XXXXXX)
mkdir -p "$scratch/config/prodlet" "$scratch/requests" "$scratch/windows"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quorvane Software\\Prodlet\\Settings]\n"ComboName0"="127.0.0.1"\n"ComboNameSel"="0"\n' \
    >"$scratch/config/prodlet/registry.reg"
cp "$scratch/config/prodlet/registry.reg" "$scratch/registry.before"
version_ok() {
    local out
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/prodlet --version) || return 1
    grep -q "^prodlet $version\$" <<<"$out"
}
check "/usr/bin/prodlet --version without a display" version_ok
once_on_loopback() {
    # shellcheck disable=SC2016  # expanded by the inner shell
    tests/netns/in-netns.sh bash -c '
        python3 tests/e2e/http_recorder.py "$1/requests" & server=$!
        for _ in $(seq 150); do [ -e "$1/requests/listening" ] && break; sleep 0.2; done
        env -u DISPLAY -u WAYLAND_DISPLAY -u PRODLET_HIVE XDG_CONFIG_HOME="$1/config" PRODLET_WINDIR="$1/windows" \
            timeout 120 /usr/bin/prodletd --once >"$1/once.out" 2>"$1/once.err"
        code=$?
        kill "$server" 2>/dev/null
        exit "$code"' bash "$scratch"
}
if [ "$has_daemon" = 1 ]; then
    check "/usr/bin/prodletd --once against a loopback server: status 0" once_on_loopback
    check "the server saw the probe" grep -q '^GET / HTTP/1.0' "$scratch/requests/0.req"
    check "--once left the settings file as it was" cmp -s "$scratch/registry.before" "$scratch/config/prodlet/registry.reg"
    if [ "$failures" != 0 ]; then
        for log in "$scratch/once.out" "$scratch/once.err"; do echo "--- $log"; cat "$log"; done
    fi
fi
rm -rf "$scratch"

echo "== remove"
prodlet_as_root dpkg -r prodlet
trap - EXIT
check "the package is gone" sh -c "! dpkg-query -W -f='\${Status}' prodlet 2>/dev/null | grep -q 'install ok installed'"
left=""
while IFS= read -r file; do
    if [ -e "$file" ]; then left="$left $file"; fi
done <<<"$required
$packaged"
check "no file of the package is left${left:+; left:$left}" test -z "$left"
check "/usr/share/doc/prodlet is gone" test ! -e /usr/share/doc/prodlet
# Removal keeps the package's record for its postrm; purging drops that too.
prodlet_as_root dpkg --purge prodlet
check "dpkg no longer knows the package" sh -c '! dpkg-query -W prodlet >/dev/null 2>&1'

echo "package: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
