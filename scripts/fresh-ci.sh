#!/bin/bash
# Runs CI as a fresh machine would: a clean clone of a branch (main unless
# told) in a Debian 12 minbase root, the team's shared/ folder beside it
# without write bits, and `CI=true bash .ci/run` there under chroot. What
# this machine happens to have installed cannot help the run: only what
# scripts/deps.sh installs is there.
#
# usage: scripts/fresh-ci.sh [BRANCH]        (as root)
#
# The minbase root is built once with debootstrap and kept as a tarball;
# apt's archive of downloaded packages is kept outside the root, so later
# runs download nothing they had before. Both live in $PRODLET_FRESH_CACHE
# (default /var/cache/prodlet-fresh-ci). Each run unpacks a new root in a
# folder of its own, which is removed afterwards (PRODLET_FRESH_KEEP=1 keeps
# it), never while anything is still mounted in it. Ends with .ci/run's
# status and says where its log is.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
branch=${1:-main}
shared=${PRODLET_SHARED:-$repo/../shared}
cache=${PRODLET_FRESH_CACHE:-/var/cache/prodlet-fresh-ci}
mirror=${PRODLET_FRESH_MIRROR:-http://deb.debian.org/debian}

[ "$(id -u)" -eq 0 ] || { echo "fresh-ci.sh: must run as root (debootstrap, chroot, mount)" >&2; exit 2; }
[ -d "$shared" ] || { echo "fresh-ci.sh: no shared folder at $shared (set PRODLET_SHARED)" >&2; exit 2; }
git -C "$repo" rev-parse --verify -q "$branch^{commit}" >/dev/null ||
    { echo "fresh-ci.sh: no branch $branch in $repo" >&2; exit 2; }
if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y debootstrap ||
        { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y debootstrap; }
fi

mkdir -p "$cache/archives/partial"
base=$cache/bookworm-minbase.tar
if [ ! -s "$base" ]; then
    echo "== building the minbase root (once)"
    tmp=$(mktemp -d "$cache/debootstrap-XXXXXX")
    debootstrap --variant=minbase --cache-dir="$cache/archives" bookworm "$tmp/root" "$mirror" \
        >"$cache/debootstrap.log" 2>&1 || { echo "debootstrap failed, see $cache/debootstrap.log" >&2; rm -rf "$tmp"; exit 1; }
    tar -C "$tmp/root" -cf "$base.part" . && mv "$base.part" "$base"
    rm -rf "$tmp"
fi

run=$(mktemp -d /var/tmp/prodlet-fresh-ci-XXXXXX)
root=$run/root
log=$run/ci.log
mounts=()
unmount_all() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount -R "${mounts[i]}" 2>/dev/null || umount -R -l "${mounts[i]}" 2>/dev/null || true
    done
    mounts=()
}
in_root() {  # the processes that run in the root
    local p
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && echo "${p#/proc/}"
    done
}
finish() {
    # Every step is tried whatever the one before it returned: a process
    # that ended by itself makes kill fail, and under set -e that once left
    # the mounts in place.
    set +e
    # What the run left behind (a server, a stopped run's build) goes first:
    # its open files would hold the mounts.
    in_root | xargs -r kill -TERM 2>/dev/null
    sleep 1
    in_root | xargs -r kill -KILL 2>/dev/null
    unmount_all
    # Never remove a root with anything still mounted below it: rm would
    # walk into the machine's own /dev, /proc or /sys.
    if findmnt -rn -o TARGET | grep -q "^$root"; then
        echo "fresh-ci.sh: mounts left below $root; not removing it" >&2
    elif [ -z "${PRODLET_FRESH_KEEP:-}" ]; then
        rm -rf "$root"
    fi
}
trap finish EXIT
trap 'exit 130' INT TERM

mkdir -p "$root"
tar -C "$root" -xf "$base"
# The machine's own package sources (updates and security as well) and
# name service; everything else is the root's own.
rm -f "$root/etc/apt/sources.list"
cp -a /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/" 2>/dev/null ||
    echo "deb $mirror bookworm main" >"$root/etc/apt/sources.list"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# Keep what apt downloads for the next run.
echo 'Binary::apt::APT::Keep-Downloaded-Packages "true";' >"$root/etc/apt/apt.conf.d/01keep-debs"
rm -f "$root/etc/apt/apt.conf.d/docker-clean"

# The clean clone and shared/ beside it, as CI lays them out.
mkdir -p "$root/ci"
git clone -q --no-hardlinks --branch "$branch" "$repo" "$root/ci/main"
cp -a "$shared" "$root/ci/shared"
chmod -R a-w "$root/ci/shared"
head=$(git -C "$root/ci/main" rev-parse --short HEAD)

mount -t proc proc "$root/proc" && mounts+=("$root/proc")
mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys" && mounts+=("$root/sys")
mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev" && mounts+=("$root/dev")
mount --bind "$cache/archives" "$root/var/cache/apt/archives" && mounts+=("$root/var/cache/apt/archives")

echo "== CI of $branch ($head) in a fresh root; log: $log"
start=$SECONDS
set +e
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM=dumb CI=true /bin/bash -c 'cd /ci/main && bash .ci/run' </dev/null >"$log" 2>&1
status=$?
set -e
echo "== .ci/run ended with status $status after $((SECONDS - start)) s; log: $log"
grep -E '^[0-9]+% tests passed|^[0-9]+ passed, [0-9]+ failed|^Done [0-9]+ runs|tests failed out of' "$log" || true
[ "$status" = 0 ] || tail -n 40 "$log"
exit "$status"
