#!/usr/bin/env bash
# Every test of the project, from a fresh clone: the unit tests in a normal build and in an
# AddressSanitizer + UndefinedBehaviorSanitizer build, then cross-built for the boxes' ARM
# classes (armhf, arm64) and run under qemu-user.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh cmake make g++ libgtest-dev libbenchmark-dev android-liblog-dev clang-format \
    googletest g++-arm-linux-gnueabihf g++-aarch64-linux-gnu qemu-user-static blueprint-tools

jobs=$(nproc)
run_suite() {
    local dir=$1
    shift
    local start=$SECONDS
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest --output-on-failure -j "$jobs")
    echo "($dir: configure, build and test took $((SECONDS - start)) s)"
}

echo "== unit tests"
run_suite build
echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
run_suite build-asan -DDRAVOKE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
echo "== unit tests on 32-bit ARM (armhf) under qemu-user"
run_suite build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/armhf.cmake
echo "== unit tests on 64-bit ARM (arm64) under qemu-user"
run_suite build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/arm64.cmake

echo "== formatting"
git ls-files '*.cpp' '*.h' '*.c' | xargs -r clang-format --dry-run -Werror
# Android.bp must parse and keep the platform's own formatting.
unformatted=$(bpfmt -l Android.bp)
[ -z "$unformatted" ] || { echo "bpfmt would change: $unformatted" >&2; exit 1; }
