#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages that the build and the tests need; does nothing when they
# are all there already.
set -euo pipefail

missing=()
for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
# A package named with an architecture (android-liblog-dev:armhf) comes through Debian's
# multiarch, which dpkg must be told about first.
for package in "${missing[@]}"; do
    arch=${package#*:}
    if [ "$arch" != "$package" ] && [ "$arch" != "$(dpkg --print-architecture)" ] &&
        ! grep -qx "$arch" <<<"$(dpkg --print-foreign-architectures)"; then
        $sudo dpkg --add-architecture "$arch"
    fi
done
"$(dirname "$0")/refresh-package-lists.sh"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
