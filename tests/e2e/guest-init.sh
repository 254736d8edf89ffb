#!/bin/busybox sh
# SPDX-License-Identifier: Apache-2.0
# PID 1 of the test guest: mount what a box has, load the input modules, fetch the
# binaries from the host's shared folder, run the driver and hand its status back.
/bin/busybox mkdir -p /proc /sys /dev /tmp /run /share /usr/bin /sbin
/bin/busybox --install -s /bin
export PATH=/bin:/sbin:/usr/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
# devtmpfs exists in the kernel but nothing mounts it for us.
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
for m in $(cat /modules/boot.order); do
    insmod "/modules/$m" || echo "init: insmod $m failed"
done
if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 share /share; then
    echo "init: cannot mount the shared folder"
    poweroff -f
fi
cp -a /share/sysroot/. /
# The programs' word size (ELF class, 1 or 2): 32-bit ones on a 64-bit kernel run through
# its compat layer.
echo "init: $(uname -m) guest, kernel $(uname -r), $(($(od -An -tu1 -j4 -N1 /usr/bin/dravoke) * 32))-bit userspace"
mode=$(cat /share/mode)
mkdir -p /share/out
/usr/bin/e2e-driver "$mode"
rc=$?
echo "$rc" >/share/out/status
sync
# On x86_64, isa-debug-exit turns the byte into QEMU's exit status (byte * 2 + 1). ARM's
# virt machine has no such port; the host reads the status file after the power-off.
[ "$(uname -m)" = x86_64 ] && /usr/bin/e2e-driver exit "$rc"
poweroff -f
