#!/usr/bin/env bash
# Builds the Debian package of Vandrel (build/package/vandrel_*.deb) and tries
# it: installs it with apt-get into a fresh Debian 12 system made with
# debootstrap, and starts both programs there once.
#
#   scripts/package.sh              build, then try the package
#   scripts/package.sh --build-only build the package only
#
# Needs the network and root for debootstrap and chroot (through sudo when
# not run as root). VANDREL_DEBIAN_MIRROR names the Debian mirror to use;
# unset, debootstrap's own default is used. The packages debootstrap fetches
# and those apt-get adds are kept under build/debootstrap, so a second run
# downloads nothing it already has.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${build_packages[@]}" "${package_packages[@]}"

started=$(date +%s)
build="$top/build/package"
# A package never looks for the build machine's source tree.
(cd "$top" && cmake --preset package >/dev/null)
cmake --build "$build"
rm -f "$build"/vandrel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/vandrel_*.deb)
deb=${debs[0]}
echo "Built $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
[ "${1:-}" = "--build-only" ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Trying the package needs root (chroot)" >&2; exit 1; }
    as_root=(sudo)
fi
suite=bookworm
mirror=(${VANDREL_DEBIAN_MIRROR:+"$VANDREL_DEBIAN_MIRROR"})
cache="$top/build/debootstrap"
tarball="$cache/$suite-minbase.tar.gz"
archives="$cache/apt-archives"
mkdir -p "$cache" "$archives/partial"

work=$(mktemp -d "${TMPDIR:-/tmp}/vandrel-package.XXXXXX")
root="$work/root"
mounts=()
cleanup() {
    local status=$? mount
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        mount=${mounts[i]}
        "${as_root[@]}" umount "$mount" 2>/dev/null || "${as_root[@]}" umount -l "$mount" || true
    done
    # Never delete through a mount that is still there.
    if findmnt -rno TARGET | grep -q "^$work/"; then
        echo "Left $work in place: something is still mounted below it" >&2
    else
        "${as_root[@]}" rm -rf --one-file-system "$work"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mount_in_root() {
    "${as_root[@]}" mount "$@"
    mounts+=("${!#}")
}

if [ ! -s "$tarball" ]; then
    echo "Fetching the packages of a minimal $suite system (once; kept in $tarball)"
    "${as_root[@]}" debootstrap --variant=minbase --make-tarball="$tarball.part" \
        "$suite" "$work/fetch" "${mirror[@]}" >/dev/null
    "${as_root[@]}" mv "$tarball.part" "$tarball"
fi
echo "Making a fresh $suite system in $root"
"${as_root[@]}" debootstrap --variant=minbase --unpack-tarball="$tarball" \
    "$suite" "$root" "${mirror[@]}" >/dev/null

mount_in_root -t proc proc "$root/proc"
mount_in_root --bind "$archives" "$root/var/cache/apt/archives"
"${as_root[@]}" cp "$deb" "$top/tests/data/audio/lame_cbr128_joint.mp3" "$root/tmp/"
"${as_root[@]}" cp /etc/resolv.conf "$root/etc/resolv.conf"
in_root() {
    "${as_root[@]}" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/root \
        DEBIAN_FRONTEND=noninteractive chroot "$root" "$@"
}
echo "Installing $(basename "$deb") with apt-get"
in_root apt-get update -q >/dev/null
in_root apt-get install -y -q "/tmp/$(basename "$deb")" >"$work/apt.log" 2>&1 ||
    { tail -n 40 "$work/apt.log" >&2; exit 1; }
grep -E "^[0-9]+ upgraded" "$work/apt.log" || true

echo "--- in the fresh system"
in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' vandrel
in_root vandrel-scan --version
in_root vandrel --version
in_root vandrel-scan --all-columns --format tsv /tmp/lame_cbr128_joint.mp3 | cut -f1-8
in_root test -f /usr/share/doc/vandrel/user-guide.html
echo "$(in_root ls /usr/share/vandrel/examples | wc -l) example files"
# The window, started by a user who may not write beside the program: it
# must keep its settings under ~/.config/vandrel, and close cleanly on SIGTERM.
in_root useradd --create-home tester
in_root su tester -c \
    'cd && QT_QPA_PLATFORM=offscreen timeout --preserve-status -s TERM 5 vandrel /tmp'
in_root su tester -c 'ls ~/.config/vandrel' | tr '\n' ' '
echo
in_root sh -c 'ls /usr/bin/vandrel*' | tr '\n' ' '
echo
in_root test ! -e /usr/bin/vandrel.ini
echo "--- the package installs and runs ($(($(date +%s) - started)) s)"
