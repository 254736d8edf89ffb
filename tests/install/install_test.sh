#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# cmake --install gives a tool that runs from the prefix (Debian's liblog lies outside the
# loader's folders), its manual page, its completion and the licence, and the copy of the Linux
# keymap library with its own licence, which the tool finds from its own path whatever the
# prefix, as on a box without ir-keytable.
#   tests/install/install_test.sh BUILD-DIR [EMULATOR...]
set -uo pipefail
build=$1
shift
prefix=$(mktemp -d)
moved=$(mktemp -d)
empty=$(mktemp -d)
trap 'rm -rf "$prefix" "$moved" "$empty"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || exit 1
failed=0
for file in bin/dravoke bin/dravoke-keymap share/man/man1/dravoke-keymap.1 \
    share/bash-completion/completions/dravoke-keymap share/doc/dravoke/LICENSE \
    share/dravoke/rc_keymaps.txt share/doc/dravoke/rc_keymaps/COPYING; do
    [ -s "$prefix/$file" ] || { echo "FAIL: not installed: $file"; failed=1; }
done
if ! "$@" "$prefix/bin/dravoke-keymap" --help >/dev/null; then
    echo "FAIL: the installed dravoke-keymap does not run"
    failed=1
fi
# Moved to another prefix, with ir-keytable's folders hidden as on a box: the copy beside it.
cp -a "$prefix/." "$moved/"
if [ "$(id -u)" -eq 0 ] && unshare -m true 2>/dev/null; then
    listed=$(unshare -m bash -c 'empty=$1; shift
        for dir in /etc/rc_keymaps /lib/udev/rc_keymaps /usr/lib/udev/rc_keymaps; do
            [ -d "$dir" ] && mount --bind "$empty" "$dir"
        done
        exec "$@" import --list' _ "$empty" "$@" "$moved/bin/dravoke-keymap")
    if ! grep -qx beelink_gs1 <<<"$listed" || [ "$(grep -c . <<<"$listed")" -lt 50 ]; then
        echo "FAIL: moved to $moved, without ir-keytable's folders, import --list gives: $listed"
        failed=1
    fi
else
    echo "note: hiding ir-keytable's folders takes root; the moved tool's copy is not tried"
fi
[ "$failed" -eq 0 ] && echo "installed, and the installed tool runs and finds its keymap library"
exit "$failed"
