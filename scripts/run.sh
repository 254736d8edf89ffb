#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The main job: boots Debian's kernel in a QEMU guest and shows the unmodified daemon at
# work there, with two customer remotes and the TV's Standby. On a box, the daemon itself
# is the main job (see "Installing on a box" in the README).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh cmake make g++ libgtest-dev libbenchmark-dev android-liblog-dev \
    libtomlplusplus-dev ir-keytable help2man
exec tests/e2e/demo.sh "$PWD"
