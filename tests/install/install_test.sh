#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# cmake --install gives a tool that runs from the prefix (Debian's liblog lies outside the
# loader's folders), its manual page, its completion and the licence.
#   tests/install/install_test.sh BUILD-DIR [EMULATOR...]
set -uo pipefail
build=$1
shift
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || exit 1
failed=0
for file in bin/dravoke bin/dravoke-keymap share/man/man1/dravoke-keymap.1 \
    share/bash-completion/completions/dravoke-keymap share/doc/dravoke/LICENSE; do
    [ -s "$prefix/$file" ] || { echo "FAIL: not installed: $file"; failed=1; }
done
if ! "$@" "$prefix/bin/dravoke-keymap" --help >/dev/null; then
    echo "FAIL: the installed dravoke-keymap does not run"
    failed=1
fi
[ "$failed" -eq 0 ] && echo "installed, and the installed tool runs"
exit "$failed"
