#!/bin/bash
# The real-kernel end-to-end bench: builds the daemon from the repository given (default:
# this checkout), boots Debian's kernel in QEMU and runs the cases and the latency bench
# against the unmodified binary. Exits non-zero on any failed case.
#   tests/e2e/run.sh [REPO-ROOT]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "${1:-$here/../..}" && pwd)
start=$(date +%s)

guest=$("$here/prepare-guest.sh" | tail -n1)
# shellcheck source=guest-lib.sh
source "$here/guest-lib.sh"
e2e_build_initramfs "$guest"
e2e_build_binaries "$root"

share=$(mktemp -d /tmp/dravoke-e2e.XXXXXX)
trap 'rm -rf "$share"' EXIT
e2e_make_share "$share" test

echo "e2e: booting $(basename "$guest") under TCG with $root's dravoke"
set +e
e2e_boot "$guest" "$share" | tee "$share/console.txt"
status=${PIPESTATUS[0]}
set -e
summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$share/console.txt" | tail -n1 || true)
echo "e2e: wall time $(($(date +%s) - start)) s"
if [ -z "$summary" ]; then
    echo "e2e: the guest printed no result (status $status)"
    echo "0 passed, 1 failed"
    exit 1
fi
failed=$(echo "$summary" | awk '{print $3}')
# The guest's tally closes the output too, for whoever reads only the last line.
echo "$summary"
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ]
