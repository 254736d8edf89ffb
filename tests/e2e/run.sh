#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# The real-kernel end-to-end bench: builds the daemon from the repository given (default:
# this checkout), boots Debian's kernel in QEMU and runs the cases and the latency bench
# against the unmodified binary. Exits non-zero on any failed case. --arch picks the
# configuration (arch.sh): the boxes' armhf on Debian's armhf kernel or, through the
# compat layer, on its arm64 kernel (armhf-on-arm64), or arm64 throughout; the daemon and
# the guest's programs are then cross-built.
#   tests/e2e/run.sh [REPO-ROOT] [--arch x86_64|armhf|armhf-on-arm64|arm64]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root_arg=
arch=x86_64
while [ $# -gt 0 ]; do
    case $1 in
    --arch)
        arch=${2:?--arch takes x86_64, armhf, armhf-on-arm64 or arm64}
        shift 2
        ;;
    *)
        root_arg=$1
        shift
        ;;
    esac
done
root=$(cd "${root_arg:-$here/../..}" && pwd)
start=$(date +%s)

guest=$("$here/prepare-guest.sh" --arch "$arch" | tail -n1)
e2e_arch=$arch
# shellcheck source=guest-lib.sh
source "$here/guest-lib.sh"
e2e_build_initramfs "$guest"
e2e_build_binaries "$root"

share=$(mktemp -d /tmp/dravoke-e2e.XXXXXX)
trap 'rm -rf "$share"' EXIT
e2e_make_share "$share" test

echo "e2e: booting $(basename "$guest") under TCG with $root's dravoke"
e2e_boot_and_tally "$guest" "$share" "e2e: $arch" "$start"
