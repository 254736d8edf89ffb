#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# The soak on the real kernel: builds the daemon from the repository given (default: this
# checkout) and boots its own guest, with limits of its own, for receiver flaps, random raw
# codes against a model, a flood of uevent datagrams and a stalled daemon. Prints the
# figures; exits non-zero on loss, disorder, a key left down or growth.
#   tests/e2e/soak.sh [REPO-ROOT]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "${1:-$here/../..}" && pwd)
start=$(date +%s)

guest=$("$here/prepare-guest.sh" | tail -n1)
# shellcheck source=guest-lib.sh
source "$here/guest-lib.sh"
e2e_build_initramfs "$guest"
e2e_build_binaries "$root"

share=$(mktemp -d /tmp/dravoke-soak.XXXXXX)
trap 'rm -rf "$share"' EXIT
e2e_make_share "$share" soak

echo "soak: booting $(basename "$guest") under TCG with $root's dravoke"
# The guest's watchdog ends a stuck driver after 600 s; this is the host's limit beyond it.
e2e_qemu_timeout=700
e2e_boot_and_tally "$guest" "$share" "soak:" "$start"
