#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# Boots the real-kernel guest and shows dravoke at work: two customer remotes and the TV's
# Standby, and what the box sees on the virtual keyboard, printed like evtest.
#   tests/e2e/demo.sh [REPO-ROOT]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "${1:-$here/../..}" && pwd)

echo "demo: preparing the guest (the first run downloads Debian's kernel)..."
guest=$("$here/prepare-guest.sh" 2>/dev/null | tail -n1)
# shellcheck source=guest-lib.sh
source "$here/guest-lib.sh"
e2e_build_initramfs "$guest"
e2e_build_binaries "$root"

share=$(mktemp -d /tmp/dravoke-demo.XXXXXX)
trap 'rm -rf "$share"' EXIT
e2e_make_share "$share" demo
echo "demo: booting Debian's kernel $(basename "$guest") in QEMU (TCG)..."
e2e_boot "$guest" "$share"
