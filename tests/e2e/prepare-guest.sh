#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# Prepares what the real-kernel guest needs, from Debian packages alone, and caches it
# outside the source tree. Idempotent: a warm cache makes this a few cheap checks.
# Prints the guest directory (kernel, initramfs pieces, test module) on its last line.
#   prepare-guest.sh [--arch x86_64|armhf|armhf-on-arm64|arm64]   (see arch.sh)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
arch=x86_64
[ "${1:-}" = --arch ] && arch=${2:?}
export DEBIAN_FRONTEND=noninteractive

log() { echo "prepare-guest: $*" >&2; }

# shellcheck source=arch.sh
source "$here/arch.sh"
e2e_arch_table "$arch" || exit 2

refresh_lists() { "$here/../../scripts/refresh-package-lists.sh"; }

# Installs the packages not installed yet.
install_missing() {
    local p need=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || need+=("$p")
    done
    [ "${#need[@]}" -gt 0 ] || return 0
    # A fresh machine may have empty package lists.
    if ! apt-cache policy "${need[0]}" 2>/dev/null | grep -q 'Candidate: [0-9]'; then
        refresh_lists
    fi
    log "installing ${need[*]}"
    apt-get install -y -qq --no-install-recommends "${need[@]}" >&2
}

# The kernel's and the userspace's packages come through Debian's multiarch.
for a in "$e2e_kernel_arch" "$e2e_user_arch"; do
    # Read whole first: under pipefail, grep -q stopping early could fail the pipe.
    if [ "$a" != "$(dpkg --print-architecture)" ] && ! grep -qx "$a" <<<"$(dpkg --print-foreign-architectures)"; then
        log "adding the $a architecture to dpkg"
        dpkg --add-architecture "$a"
        refresh_lists
    fi
done
install_missing "${e2e_kernel_pkgs[@]}" "${e2e_user_pkgs[@]}" xz-utils cpio kmod g++ make libc6-dev cmake \
    android-liblog-dev libtomlplusplus-dev ir-keytable help2man

# The concrete kernel package behind the metapackage, e.g. linux-image-6.1.0-57-amd64.
image_pkg=$(apt-cache depends "$e2e_image_meta" 2>/dev/null |
    awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
if [ -z "$image_pkg" ]; then
    refresh_lists
    image_pkg=$(apt-cache depends "$e2e_image_meta" | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
fi
kver=${image_pkg#linux-image-}
kver=${kver%:"$e2e_kernel_arch"}
pkg_ver=$(apt-cache policy "$image_pkg" | awk '/Candidate:/ {print $2}')
guest=$e2e_cache/$kver
mkdir -p "$guest"
# A kernel update leaves the previous kernel's guest behind; it is of no further use.
for old in "$e2e_cache"/*/kernel.stamp; do
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
    # machines boot the zImage (arm64: the Image) as it is.
    if [ "$e2e_kernel_arch" = amd64 ]; then
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

# Unpacks the candidate of a package of another architecture into DEST, once a version.
unpack() {
    local pkg=$1 dest=$2 ver deb
    ver=$(apt-cache policy "$pkg" | awk '/Candidate:/ {print $2}')
    [ "$(cat "$dest.stamp" 2>/dev/null)" = "$pkg $ver" ] && return 0
    log "fetching $pkg $ver"
    rm -rf "$dest"
    deb=$(mktemp -d "$guest/deb.XXXXXX")
    (cd "$deb" && apt-get download -q "$pkg" >&2)
    mkdir -p "$dest"
    dpkg-deb -x "$deb"/*.deb "$dest"
    rm -rf "$deb"
    echo "$pkg $ver" >"$dest.stamp"
}

# The ARM kernels' headers, unpacked rather than installed (their build tools are programs
# of the kernel's architecture): the host's packages of the same kbuild and common headers
# take their place, and the modules are cross-compiled with the cross compiler of the GCC
# version the kernel names.
unpack_cross_headers() {
    local pkg=linux-headers-$kver:$e2e_kernel_arch kbuild deps gcc
    unpack "$pkg" "$guest/headers"
    mapfile -t deps < <(apt-cache show --no-all-versions "$pkg" |
        sed -n 's/^Depends: //p' | tr ',' '\n' | awk '$1 ~ /^linux-(headers-.*-common|kbuild-)/ {print $1}')
    # e.g. gcc-12 (arm64) or linux-compiler-gcc-12-arm (armhf): gcc-12-<triple> builds for it.
    gcc=$(apt-cache show --no-all-versions "$pkg" | sed -n 's/^Depends: //p' | grep -o 'gcc-[0-9]\+' | head -n1)
    [ -n "$gcc" ] || { log "$pkg names no GCC version"; exit 1; }
    install_missing "${deps[@]}" "$gcc-$e2e_kmod_triple"
    kbuild=$(readlink "$headers/scripts")  # ../../lib/linux-kbuild-X.Y/scripts
    kbuild=$(dirname "${kbuild#../../}")
    mkdir -p "$guest/headers/usr/lib"
    ln -sfn "/usr/$kbuild" "$guest/headers/usr/$kbuild"
}

# The test modules (kmod/Kbuild lists them: the stand-in for the receiver driver's procfs
# file among them), built against the matching headers.
if [ -z "$e2e_kmod_triple" ]; then
    headers=/usr/src/linux-headers-$kver
    if [ ! -f "$headers/Makefile" ]; then
        log "installing linux-headers-$kver"
        apt-get install -y -qq --no-install-recommends "linux-headers-$kver" >&2
    fi
    kmod_make=()
else
    headers=$guest/headers/usr/src/linux-headers-$kver
    kmod_make=(ARCH="$e2e_kmod_arch" CROSS_COMPILE="$e2e_kmod_triple-")
fi
# The guest's own busybox, for a userspace other than the host's.
[ -z "$e2e_user_triple" ] || unpack "busybox-static:$e2e_user_arch" "$guest/busybox-$e2e_user_arch"
# Built once per source, in a folder named by it, so that checkouts with other modules can
# share the cache and run at the same time; a build lands whole or not at all.
kmod_dir=$guest/kmod-$(cat "$here"/kmod/* | sha256sum | cut -c1-16)
if [ ! -d "$kmod_dir" ]; then
    [ -z "$e2e_kmod_triple" ] || unpack_cross_headers
    log "building the test kernel modules"
    rm -rf "$kmod_dir.tmp.$$"
    cp -r "$here/kmod" "$kmod_dir.tmp.$$"
    make -s -C "$headers" M="$kmod_dir.tmp.$$" "${kmod_make[@]}" modules >&2
    mv -T "$kmod_dir.tmp.$$" "$kmod_dir" 2>/dev/null || rm -rf "$kmod_dir.tmp.$$"
fi
touch "$kmod_dir"
# Modules of sources unused for a day.
find "$guest" -maxdepth 1 -name 'kmod-*' -mmin +1440 -exec rm -rf {} + 2>/dev/null || true

echo "$guest"
