#!/bin/bash
# Prepares what the real-kernel guest needs, from Debian packages alone, and caches it
# outside the source tree. Idempotent: a warm cache makes this a few cheap checks.
# Prints the guest directory (kernel, initramfs pieces, test module) on its last line.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache_root=/var/cache/dravoke-e2e
export DEBIAN_FRONTEND=noninteractive

log() { echo "prepare-guest: $*" >&2; }

need_pkgs=()
for p in qemu-system-x86 busybox-static xz-utils cpio kmod g++ make libc6-dev cmake \
    android-liblog-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || need_pkgs+=("$p")
done
if [ "${#need_pkgs[@]}" -gt 0 ]; then
    # A fresh machine may have empty package lists.
    if ! apt-cache policy "${need_pkgs[0]}" 2>/dev/null | grep -q 'Candidate: [0-9]'; then
        apt-get update -qq >&2
    fi
    log "installing ${need_pkgs[*]}"
    apt-get install -y -qq --no-install-recommends "${need_pkgs[@]}" >&2
fi

# The concrete kernel package behind the metapackage, e.g. linux-image-6.1.0-57-amd64.
image_pkg=$(apt-cache depends linux-image-amd64 2>/dev/null |
    awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
if [ -z "$image_pkg" ]; then
    apt-get update -qq >&2
    image_pkg=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
fi
kver=${image_pkg#linux-image-}
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
    # that follow the stream, so judge the result by its ELF magic instead.
    vmlinuz=$guest/root/boot/vmlinuz-$kver
    offset=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$vmlinuz" | head -n1 | cut -d: -f1)
    [ -n "$offset" ] || { log "no XZ payload in $vmlinuz"; exit 1; }
    tail -c +"$((offset + 1))" "$vmlinuz" | xz -dc >"$guest/vmlinux.tmp" 2>/dev/null || true
    if [ "$(head -c4 "$guest/vmlinux.tmp" | od -An -tx1 | tr -d ' \n')" != 7f454c46 ]; then
        log "extracted kernel is not an ELF file"
        exit 1
    fi
    mv "$guest/vmlinux.tmp" "$guest/vmlinux"
    rm -rf "$guest/deb"
    echo "$image_pkg $pkg_ver" >"$guest/kernel.stamp"
fi

# The stand-in for the receiver driver's procfs file, built against the matching headers.
headers=/usr/src/linux-headers-$kver
if [ ! -f "$headers/Makefile" ]; then
    log "installing linux-headers-$kver"
    apt-get install -y -qq --no-install-recommends "linux-headers-$kver" >&2
fi
kmod_sum=$(cat "$here"/kmod/* | sha256sum | cut -c1-16)
if [ "$(cat "$guest/kmod.stamp" 2>/dev/null)" != "$kmod_sum" ]; then
    log "building the test kernel module"
    rm -rf "$guest/kmod"
    cp -r "$here/kmod" "$guest/kmod"
    make -s -C "$headers" M="$guest/kmod" modules >&2
    echo "$kmod_sum" >"$guest/kmod.stamp"
fi

echo "$guest"
