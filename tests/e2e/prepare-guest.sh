#!/bin/bash
# Prepares what the real-kernel guest needs, from Debian packages alone, and caches it
# outside the source tree. Idempotent: a warm cache makes this a few cheap checks.
# Prints the guest directory (kernel, initramfs pieces, test module) on its last line.
#   prepare-guest.sh [--arch x86_64|armhf]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
arch=x86_64
[ "${1:-}" = --arch ] && arch=${2:?}
export DEBIAN_FRONTEND=noninteractive

log() { echo "prepare-guest: $*" >&2; }

case $arch in
x86_64)
    cache_root=/var/cache/dravoke-e2e
    image_meta=linux-image-amd64
    arch_pkgs=(qemu-system-x86 busybox-static)
    ;;
armhf)
    # The boxes' own class: the daemon and the test programs are cross-built, the target's
    # liblog comes through Debian's multiarch and qemu-user lists the daemon's libraries.
    # Its cache is a folder below the x86_64 one, so that neither preparation's clean-up of
    # old kernels (one level down from its own root) reaches the other's guest.
    cache_root=/var/cache/dravoke-e2e/armhf
    image_meta=linux-image-armmp:armhf
    arch_pkgs=(qemu-system-arm g++-arm-linux-gnueabihf qemu-user-static android-liblog-dev:armhf)
    ;;
*)
    log "unknown architecture $arch (x86_64 or armhf)"
    exit 2
    ;;
esac

# Installs the packages not installed yet.
install_missing() {
    local p need=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || need+=("$p")
    done
    [ "${#need[@]}" -gt 0 ] || return 0
    # A fresh machine may have empty package lists.
    if ! apt-cache policy "${need[0]}" 2>/dev/null | grep -q 'Candidate: [0-9]'; then
        apt-get update -qq >&2
    fi
    log "installing ${need[*]}"
    apt-get install -y -qq --no-install-recommends "${need[@]}" >&2
}

# Read whole first: under pipefail, grep -q stopping early could fail the pipe.
if [ "$arch" = armhf ] && ! grep -qx armhf <<<"$(dpkg --print-foreign-architectures)"; then
    log "adding the armhf architecture to dpkg"
    dpkg --add-architecture armhf
    apt-get update -qq >&2
fi
install_missing "${arch_pkgs[@]}" xz-utils cpio kmod g++ make libc6-dev cmake android-liblog-dev \
    libtomlplusplus-dev ir-keytable

# The concrete kernel package behind the metapackage, e.g. linux-image-6.1.0-57-amd64.
image_pkg=$(apt-cache depends "$image_meta" 2>/dev/null |
    awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
if [ -z "$image_pkg" ]; then
    apt-get update -qq >&2
    image_pkg=$(apt-cache depends "$image_meta" | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
fi
kver=${image_pkg#linux-image-}
kver=${kver%:armhf}
pkg_ver=$(apt-cache policy "$image_pkg" | awk '/Candidate:/ {print $2}')
guest=$cache_root/$kver
mkdir -p "$guest"
# A kernel update leaves the previous kernel's guest behind; it is of no further use.
for old in "$cache_root"/*/kernel.stamp; do
    [ -e "$old" ] && [ "$(dirname "$old")" != "$guest" ] && rm -rf "$(dirname "$old")"
done

if [ "$(cat "$guest/kernel.stamp" 2>/dev/null)" != "$image_pkg $pkg_ver" ]; then
    log "fetching $image_pkg $pkg_ver"
    rm -rf "$guest/root" "$guest/vmlinux" "$guest/deb"
    mkdir -p "$guest/deb" "$guest/root"
    (cd "$guest/deb" && apt-get download -q "$image_pkg" >&2)
    dpkg-deb -x "$guest"/deb/*.deb "$guest/root"
    depmod -b "$guest/root" "$kver"

    # QEMU boots the ELF inside the bzImage through its PVH entry, which is much faster
    # than the real-mode set-up path. The payload is XZ; xz complains about the bytes
    # that follow the stream, so judge the result by its ELF magic instead. ARM's virt
    # machine boots the zImage as it is.
    if [ "$arch" = x86_64 ]; then
        vmlinuz=$guest/root/boot/vmlinuz-$kver
        offset=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$vmlinuz" | head -n1 | cut -d: -f1)
        [ -n "$offset" ] || { log "no XZ payload in $vmlinuz"; exit 1; }
        tail -c +"$((offset + 1))" "$vmlinuz" | xz -dc >"$guest/vmlinux.tmp" 2>/dev/null || true
        if [ "$(head -c4 "$guest/vmlinux.tmp" | od -An -tx1 | tr -d ' \n')" != 7f454c46 ]; then
            log "extracted kernel is not an ELF file"
            exit 1
        fi
        mv "$guest/vmlinux.tmp" "$guest/vmlinux"
    fi
    rm -rf "$guest/deb"
    echo "$image_pkg $pkg_ver" >"$guest/kernel.stamp"
fi

# Unpacks the candidate of a package of the guest's architecture into DEST, once a version.
unpack() {
    local pkg=$1 dest=$2 ver
    ver=$(apt-cache policy "$pkg" | awk '/Candidate:/ {print $2}')
    [ "$(cat "$dest.stamp" 2>/dev/null)" = "$pkg $ver" ] && return 0
    log "fetching $pkg $ver"
    rm -rf "$dest" "$guest/deb"
    mkdir -p "$dest" "$guest/deb"
    (cd "$guest/deb" && apt-get download -q "$pkg" >&2)
    dpkg-deb -x "$guest"/deb/*.deb "$dest"
    rm -rf "$guest/deb"
    echo "$pkg $ver" >"$dest.stamp"
}

# The armmp headers, unpacked rather than installed (their build tools are armhf programs):
# the host's packages of the same kbuild and common headers take their place, and the
# module is cross-compiled with the cross compiler of the GCC version the kernel names.
unpack_armhf_headers() {
    local kbuild deps
    unpack "linux-headers-$kver:armhf" "$guest/headers"
    mapfile -t deps < <(apt-cache show --no-all-versions "linux-headers-$kver:armhf" |
        sed -n 's/^Depends: //p' | tr ',' '\n' | awk '$1 ~ /^linux-(headers-.*-common|kbuild-)/ {print $1}')
    install_missing "${deps[@]}"
    kbuild=$(readlink "$headers/scripts")  # ../../lib/linux-kbuild-X.Y/scripts
    kbuild=$(dirname "${kbuild#../../}")
    mkdir -p "$guest/headers/usr/lib"
    ln -sfn "/usr/$kbuild" "$guest/headers/usr/$kbuild"
}

# The stand-in for the receiver driver's procfs file, built against the matching headers.
if [ "$arch" = x86_64 ]; then
    headers=/usr/src/linux-headers-$kver
    if [ ! -f "$headers/Makefile" ]; then
        log "installing linux-headers-$kver"
        apt-get install -y -qq --no-install-recommends "linux-headers-$kver" >&2
    fi
    kmod_make=()
else
    unpack busybox-static:armhf "$guest/busybox"  # the guest's own
    headers=$guest/headers/usr/src/linux-headers-$kver
    kmod_make=(ARCH=arm CROSS_COMPILE=arm-linux-gnueabihf-)
fi
# Built once per source, in a folder named by it, so that checkouts with other modules can
# share the cache and run at the same time; a build lands whole or not at all.
kmod_dir=$guest/kmod-$(cat "$here"/kmod/* | sha256sum | cut -c1-16)
if [ ! -d "$kmod_dir" ]; then
    [ "$arch" = x86_64 ] || unpack_armhf_headers
    log "building the test kernel module"
    rm -rf "$kmod_dir.tmp.$$"
    cp -r "$here/kmod" "$kmod_dir.tmp.$$"
    make -s -C "$headers" M="$kmod_dir.tmp.$$" "${kmod_make[@]}" modules >&2
    mv -T "$kmod_dir.tmp.$$" "$kmod_dir" 2>/dev/null || rm -rf "$kmod_dir.tmp.$$"
fi
touch "$kmod_dir"
# Modules of sources unused for a day.
find "$guest" -maxdepth 1 -name 'kmod-*' -mmin +1440 -exec rm -rf {} + 2>/dev/null || true

echo "$guest"
