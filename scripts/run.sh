#!/usr/bin/env bash
# Builds the daemon and runs it on this machine with the platform's fixed paths.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh cmake make g++ libgtest-dev libbenchmark-dev android-liblog-dev
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target dravoke
exec build/dravoke
