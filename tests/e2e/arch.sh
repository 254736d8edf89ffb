# SPDX-License-Identifier: Apache-2.0
# shellcheck shell=bash disable=SC2034  # the variables are for the scripts that source this
# The bench's configurations: the kernel the guest boots and the userspace that runs on it.
# Sourced by prepare-guest.sh and guest-lib.sh, which read everything that differs between
# configurations from here.
#
#   configuration    kernel   userspace  boxes it stands for
#   x86_64           amd64    amd64      the developer's machine and emulators
#   armhf            armhf    armhf      older 32-bit boxes
#   armhf-on-arm64   arm64    armhf      a 64-bit kernel under 32-bit Android (compat layer)
#   arm64            arm64    arm64      newer boxes
#
# e2e_arch_table CONFIGURATION sets:
#   e2e_kernel_arch  Debian architecture of the kernel
#   e2e_cache        the kernel's cache root, one per kernel: each holds <kernel version>/
#                    folders and nothing else with a kernel.stamp, so that one preparation's
#                    removal of old kernels never reaches another kernel's guests
#   e2e_image_meta   the metapackage whose dependency names the kernel package
#   e2e_kernel_pkgs  host packages the kernel side needs (QEMU)
#   e2e_kmod_arch    ARCH= for kbuild, empty for the host's own
#   e2e_kmod_triple  the cross compilers' prefix for the test modules, empty for the host's
#   e2e_virtio       the shared folder's virtio transport module
#   e2e_qemu, e2e_qemu_cpu, e2e_console   how to boot an ARM virt machine
#   e2e_user_arch    Debian architecture of the daemon, the tool and the guest's programs
#   e2e_user_pkgs    host packages the userspace side needs
#   e2e_user_triple  the cross compilers' prefix, empty for the host's own
#   e2e_toolchain    the repository's CMake toolchain file, empty for the host's own
#   e2e_loader       how to list a program's libraries (the target's loader under qemu-user)
#   e2e_build_cache  where the daemon and the guest's programs are built, one per userspace,
#                    so that both configurations with an armhf userspace share one build
e2e_arch_table() {
    local kernel user root=/var/cache/dravoke-e2e
    case $1 in
    x86_64) kernel=amd64 user=amd64 ;;
    armhf) kernel=armhf user=armhf ;;
    armhf-on-arm64) kernel=arm64 user=armhf ;;
    arm64) kernel=arm64 user=arm64 ;;
    *)
        echo "unknown architecture $1 (x86_64, armhf, armhf-on-arm64 or arm64)" >&2
        return 2
        ;;
    esac

    e2e_kernel_arch=$kernel
    e2e_qemu='' e2e_qemu_cpu='' e2e_console=''
    case $kernel in
    amd64)
        e2e_cache=$root
        e2e_image_meta=linux-image-amd64
        e2e_kernel_pkgs=(qemu-system-x86)
        e2e_kmod_arch='' e2e_kmod_triple=''
        e2e_virtio=virtio_pci
        ;;
    armhf)
        e2e_cache=$root/armhf
        e2e_image_meta=linux-image-armmp:armhf
        e2e_kernel_pkgs=(qemu-system-arm)
        e2e_kmod_arch=arm e2e_kmod_triple=arm-linux-gnueabihf
        e2e_virtio=virtio_mmio  # ARM's virt machine puts virtio devices on MMIO
        e2e_qemu=qemu-system-arm e2e_qemu_cpu=cortex-a15 e2e_console=ttyAMA0
        ;;
    arm64)
        e2e_cache=$root/arm64
        e2e_image_meta=linux-image-arm64:arm64
        e2e_kernel_pkgs=(qemu-system-arm)  # which holds qemu-system-aarch64
        e2e_kmod_arch=arm64 e2e_kmod_triple=aarch64-linux-gnu
        e2e_virtio=virtio_mmio
        e2e_qemu=qemu-system-aarch64 e2e_qemu_cpu=cortex-a72 e2e_console=ttyAMA0
        ;;
    esac

    e2e_user_arch=$user
    case $user in
    amd64)
        e2e_user_pkgs=(busybox-static android-liblog-dev)
        e2e_user_triple='' e2e_toolchain=''
        e2e_loader=(ldd)
        e2e_build_cache=$root/build
        ;;
    armhf)
        e2e_user_pkgs=(g++-arm-linux-gnueabihf qemu-user-static android-liblog-dev:armhf)
        e2e_user_triple=arm-linux-gnueabihf e2e_toolchain=armhf.cmake
        e2e_loader=(qemu-arm-static /lib/ld-linux-armhf.so.3 --list)
        e2e_build_cache=$root/armhf/build
        ;;
    arm64)
        e2e_user_pkgs=(g++-aarch64-linux-gnu qemu-user-static android-liblog-dev:arm64)
        e2e_user_triple=aarch64-linux-gnu e2e_toolchain=arm64.cmake
        e2e_loader=(qemu-aarch64-static /lib/ld-linux-aarch64.so.1 --list)
        e2e_build_cache=$root/arm64/build
        ;;
    esac
}
