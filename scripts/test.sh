#!/usr/bin/env bash
# Every test of the project, from a fresh clone: the unit tests in a normal build and in an
# AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh cmake make g++ libgtest-dev libbenchmark-dev android-liblog-dev clang-format

jobs=$(nproc)
run_suite() {
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

echo "== unit tests"
run_suite build
echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
run_suite build-asan -DDRAVOKE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

echo "== formatting"
git ls-files '*.cpp' '*.h' '*.c' | xargs -r clang-format --dry-run -Werror

echo "== real-kernel end-to-end bench (QEMU guest)"
tests/e2e/run.sh "$PWD"
