# SPDX-License-Identifier: Apache-2.0
# Shared by run.sh and demo.sh: builds what the guest runs and boots it. Sourced, not run.
# Everything built lands under the cache, outside the source tree.
# The caller may set e2e_arch first: x86_64 (the default), armhf, armhf-on-arm64 or arm64
# (see arch.sh).

e2e_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
e2e_arch=${e2e_arch:-x86_64}
# shellcheck source=arch.sh
source "$e2e_here/arch.sh"
e2e_arch_table "$e2e_arch"

# Prints "<module>.ko" names of a module and its dependencies, dependencies first.
e2e_module_order() {
    local moddir=$1 mod=$2 dep line
    line=$(grep -E "(^|/)$mod\.ko:" "$moddir/modules.dep" | head -n1)
    [ -n "$line" ] || { echo "guest: no module $mod" >&2; return 1; }
    for dep in ${line#*:}; do
        e2e_module_order "$moddir" "$(basename "$dep" .ko)"
    done
    echo "$mod.ko"
}

# Builds the initramfs (busybox, modules, init) once per kernel and init script.
# Sets e2e_initramfs.
e2e_build_initramfs() {
    local guest=$1 kver moddir kmod key tree m busybox=/bin/busybox
    # A userspace other than the host's has its own busybox, as prepare-guest.sh unpacks it.
    [ -z "$e2e_user_triple" ] || busybox=$guest/busybox-$e2e_user_arch/bin/busybox
    kver=$(basename "$guest")
    moddir=$guest/root/lib/modules/$kver
    kmod=$guest/kmod-$(cat "$e2e_here"/kmod/* | sha256sum | cut -c1-16)  # as prepare-guest.sh names it
    key=$(cat "$e2e_here/guest-init.sh" "$busybox" "$kmod"/*.ko | sha256sum | cut -c1-16)
    e2e_initramfs=$guest/initramfs-$key.cpio
    # Another checkout may be booting an older one: only those unused for a day go.
    find "$guest" -maxdepth 1 -name 'initramfs-*.cpio' -mmin +1440 -delete 2>/dev/null || true
    if [ -f "$e2e_initramfs" ]; then
        touch "$e2e_initramfs"
        return 0
    fi
    tree=$(mktemp -d)
    mkdir -p "$tree/bin" "$tree/modules" "$tree/dev"
    # The kernel opens the console before init runs, so the node must be in the archive.
    mknod -m 600 "$tree/dev/console" c 5 1
    cp "$busybox" "$tree/bin/busybox"
    cp "$e2e_here/guest-init.sh" "$tree/init"
    chmod 755 "$tree/init"
    # Loaded by init: the shared folder's transport and evdev. The driver itself loads
    # uinput and the protocol stand-in, since some cases need them absent.
    for m in "$e2e_virtio" 9pnet_virtio 9p evdev; do
        e2e_module_order "$moddir" "$m"
    done | awk '!seen[$0]++' >"$tree/modules/boot.order"
    for m in $(cat "$tree/modules/boot.order") uinput.ko; do
        cp "$(find "$moddir/kernel" -name "$m" | head -n1)" "$tree/modules/"
    done
    cp "$kmod"/*.ko "$tree/modules/"
    (cd "$tree" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) >"$e2e_initramfs.tmp.$$"
    mv "$e2e_initramfs.tmp.$$" "$e2e_initramfs"
    rm -rf "$tree"
}

# Builds the daemon from the given repository (Release, as a box would run it) and the
# static test programs; for an ARM userspace with the repository's own toolchain file and
# the same cross compiler. Sets e2e_daemon and e2e_tools.
e2e_build_binaries() {
    local root=$1 key bdir cross=() tools_cc=()
    if [ -n "$e2e_toolchain" ]; then
        cross=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/$e2e_toolchain")
        tools_cc=(CXX="$e2e_user_triple-g++" CC="$e2e_user_triple-gcc" CROSS_FLAGS=-Wno-psabi)
    fi
    key=$(echo "$root" | sha256sum | cut -c1-12)
    bdir=$e2e_build_cache/$key
    mkdir -p "$bdir"
    cmake -S "$root" -B "$bdir/daemon" "${cross[@]}" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        >"$bdir/cmake.log" 2>&1 || { cat "$bdir/cmake.log" >&2; return 1; }
    cmake --build "$bdir/daemon" --target dravoke dravoke-keymap -j "$(nproc)" >"$bdir/build.log" 2>&1 ||
        { cat "$bdir/build.log" >&2; return 1; }
    e2e_daemon=$bdir/daemon/dravoke
    e2e_keymap_tool=$bdir/daemon/dravoke-keymap
    e2e_keymap_library=$bdir/daemon/share/dravoke/rc_keymaps.txt
    e2e_tools=$bdir/tools
    mkdir -p "$e2e_tools"
    make -s -C "$e2e_here" -f tools.mk OUT="$e2e_tools" "${tools_cc[@]}" >&2
}

# Lays out the shared folder: the binaries at the paths the guest runs them from, and
# the shared libraries the daemon needs at the paths the host's loader found them.
e2e_make_share() {
    local share=$1 mode=$2 lib
    rm -rf "$share"
    mkdir -p "$share/sysroot/usr/bin" "$share/sysroot/etc" "$share/out"
    cp "$e2e_daemon" "$share/sysroot/usr/bin/dravoke"
    cp "$e2e_keymap_tool" "$share/sysroot/usr/bin/dravoke-keymap"
    cp "$e2e_tools/e2e-driver" "$e2e_tools/e2e-forwarder" "$share/sysroot/usr/bin/"
    # The copy of the Linux keymap library beside the tool, as cmake --install lays it out: the
    # guest has no ir-keytable, as a box has none, and import and learn read the copy.
    mkdir -p "$share/sysroot/usr/share/dravoke"
    cp "$e2e_keymap_library" "$share/sysroot/usr/share/dravoke/"
    # A cross-built program's libraries, as its own loader finds them (Debian's multiarch
    # packages of the target, the daemon's liblog among them), under qemu-user.
    for lib in $("${e2e_loader[@]}" "$e2e_daemon" | awk '/=> \// {print $3} /^[ \t]*\/.*ld-linux/ {print $1}'); do
        mkdir -p "$share/sysroot$(dirname "$lib")"
        cp -L "$lib" "$share/sysroot$lib"
    done
    # The loader finds liblog in its own folder only through the host's cache.
    cp /etc/ld.so.cache "$share/sysroot/etc/"
    echo "$mode" >"$share/mode"
}

# Boots the guest with TCG and returns the driver's exit status (or 125 when the guest
# did not report one). The serial console goes to stdout with its CRs and the firmware's
# banner removed.
e2e_boot() {
    local guest=$1 share=$2 rc
    if [ -n "$e2e_qemu" ]; then
        e2e_boot_virt "$guest" "$share"
        return
    fi
    set +e
    timeout "${e2e_qemu_timeout:-270}" qemu-system-x86_64 -M pc -accel tcg -cpu max -smp 1 -m 512 \
        -kernel "$guest/vmlinux" -initrd "$e2e_initramfs" \
        -append "console=ttyS0 quiet loglevel=1 panic=-1 tsc=reliable" \
        -nographic -no-reboot -monitor none -serial stdio -nodefaults \
        -device isa-debug-exit,iobase=0xf4,iosize=0x04 \
        -virtfs local,path="$share",mount_tag=share,security_model=none,id=share \
        </dev/null | tr -d '\r' | sed -u -e '/SeaBIOS/d' -e 's/^.*Booting from ROM\.*//'
    rc=${PIPESTATUS[0]}
    set -e
    # isa-debug-exit reports ((status + 1) << 1) | 1; anything else means no status arrived.
    if [ $((rc & 1)) -eq 1 ] && [ "$rc" -ge 3 ] && [ "$rc" -ne 125 ] && [ "$rc" -lt 256 ]; then
        return $(((rc >> 1) - 1))
    fi
    echo "guest: no status from the guest (qemu exit $rc)" >&2
    return 125
}

# ARM's virt machine has no exit port: the guest's init writes the driver's status to the
# shared folder and powers off through PSCI, after which QEMU exits 0.
e2e_boot_virt() {
    local guest=$1 share=$2 rc status
    rm -f "$share/out/status"
    set +e
    timeout "${e2e_qemu_timeout:-270}" "$e2e_qemu" -M virt -cpu "$e2e_qemu_cpu" -smp 1 -m 512 \
        -kernel "$guest/root/boot/vmlinuz-$(basename "$guest")" -initrd "$e2e_initramfs" \
        -append "console=$e2e_console quiet loglevel=1 panic=-1" \
        -nographic -no-reboot -monitor none -serial stdio -nodefaults \
        -fsdev local,path="$share",security_model=none,id=share \
        -device virtio-9p-device,fsdev=share,mount_tag=share \
        </dev/null | tr -d '\r'
    rc=${PIPESTATUS[0]}
    set -e
    status=$(cat "$share/out/status" 2>/dev/null || true)
    if [ "$rc" -eq 0 ] && [[ "$status" =~ ^[0-9]+$ ]] && [ "$status" -lt 256 ]; then
        return "$status"
    fi
    echo "guest: no status from the guest (qemu exit $rc)" >&2
    return 125
}

# Boots the guest with its console shown (latency lines labelled with the architecture) and
# kept in the share, then prints the wall time and the guest's "N passed, N failed", which
# also closes the output. Fails on a failed case, a failed guest or a missing tally.
#   e2e_boot_and_tally GUEST SHARE LABEL START-SECONDS
e2e_boot_and_tally() {
    local guest=$1 share=$2 label=$3 start=$4 status summary
    set +e
    e2e_boot "$guest" "$share" | sed -u "s/^bench: /bench ($e2e_arch): /" |
        tee "$share/console.txt"
    status=${PIPESTATUS[0]}
    set -e
    summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$share/console.txt" | tail -n1 || true)
    echo "$label wall time $(($(date +%s) - start)) s"
    if [ -z "$summary" ]; then
        echo "$label the guest printed no result (status $status)"
        echo "0 passed, 1 failed"
        return 1
    fi
    echo "$summary"
    [ "$status" -eq 0 ] && [ "$(echo "$summary" | awk '{print $3}')" -eq 0 ]
}
