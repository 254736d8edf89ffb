#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Every test of the project, from a fresh clone: the unit tests in a normal build and in an
# AddressSanitizer + UndefinedBehaviorSanitizer build, then cross-built for the boxes' ARM
# classes (armhf, arm64) and run under qemu-user; then the real-kernel bench in its four
# configurations: x86_64, armhf, armhf on the arm64 kernel, arm64.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh cmake make g++ libgtest-dev libbenchmark-dev android-liblog-dev clang-format \
    googletest g++-arm-linux-gnueabihf g++-aarch64-linux-gnu qemu-user-static blueprint-tools clang \
    libtomlplusplus-dev ir-keytable help2man groff-base \
    android-liblog-dev:armhf android-liblog-dev:arm64

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

# Android builds with clang, whose warnings differ from GCC's; with -Werror a clang-only
# warning would break the box's build, which cannot be run here. Every source of Android.bp,
# checked with its flags for 32-bit ARM.
echo "== daemon and unit tests under clang for 32-bit ARM, with Android.bp's warnings"
start=$SECONDS
shopt -s nullglob
android_sources=(daemon/*.cpp core/*.cpp keymap/*.cpp inject/*.cpp receiver/*.cpp cec/*.cpp tool/*.cpp tool/*/*.cpp
    tests/{daemon,core,keymap,inject,receiver,cec,platform,tool,support}/*.cpp tests/tool/*/*.cpp)
shopt -u nullglob
printf '%s\n' "${android_sources[@]}" |
    xargs -P "$jobs" -n 4 clang++ --target=arm-linux-gnueabihf -std=c++17 -fsyntax-only \
        -Wall -Wextra -Werror -Wmissing-declarations -Wmissing-prototypes \
        -I. -Ihost -Itests -isystem /usr/src/googletest/googletest/include \
        -isystem /usr/include/android
echo "(clang check took $((SECONDS - start)) s)"

echo "== fuzz targets of the parsers (libFuzzer, ASan + UBSan), 15 s each"
scripts/fuzz.sh 15

echo "== soak on the real kernel (QEMU guest, x86_64)"
tests/e2e/soak.sh "$PWD"

echo "== formatting"
git ls-files '*.cpp' '*.h' '*.c' | xargs -r clang-format --dry-run -Werror
# Android.bp files must parse and keep the platform's own formatting.
unformatted=$(bpfmt -l Android.bp third_party/rc_keymaps/Android.bp)
[ -z "$unformatted" ] || { echo "bpfmt would change: $unformatted" >&2; exit 1; }

echo "== licence lines"
# Every source file says its licence in its first two lines (after a #! line), so that a box
# image's licence scan need not guess; the keymap corpus, the licences' texts and the documents
# are not sources. Which licence each says is held where it matters: the unit tests fail when a
# file compiled into dravoke or dravoke-keymap is not under Apache-2.0.
unlabelled=$(git ls-files | grep -v -e '^tests/fuzz/corpus/' -e '\.md$' -e '^LICENSE$' -e '/COPYING$' -e '^\.gitignore$' -e '^\.clang-format$' |
    while read -r file; do head -2 "$file" | grep -q 'SPDX-License-Identifier: ' || echo "$file"; done)
[ -z "$unlabelled" ] || { echo "no SPDX-License-Identifier line: $unlabelled" >&2; exit 1; }

# Every configuration runs even when one fails; the tallies close the output, each with its
# wall time and the daemon's median key latency as a ratio of the forwarder's and of the polling
# forwarder's in the same guest.
tallies=()
passed=0
failed=0
for arch in x86_64 armhf armhf-on-arm64 arm64; do
    echo "== real-kernel end-to-end bench on $arch (QEMU guest)"
    log=$(mktemp)
    set +e
    tests/e2e/run.sh "$PWD" --arch "$arch" | tee "$log"
    status=${PIPESTATUS[0]}
    set -e
    tally=$(tail -n1 "$log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' || echo "0 passed, 1 failed")
    wall=$(sed -n "s/^e2e: $arch wall time //p" "$log")
    single=$(sed -n "s/^bench ($arch): one at a time .*median ratio //p" "$log")
    burst=$(sed -n "s/^bench ($arch): bursts of 16 .*median ratio //p" "$log")
    floor_single=$(sed -n "s/^bench ($arch): floor, one at a time .*median ratio //p" "$log")
    floor_burst=$(sed -n "s/^bench ($arch): floor, bursts of 16 .*median ratio //p" "$log")
    rm -f "$log"
    read -r arch_passed _ arch_failed _ <<<"$tally"
    # A run that failed without a failed case (a build error, no guest) counts as one.
    [ "$status" -ne 0 ] && [ "$arch_failed" -eq 0 ] && arch_failed=1
    line="$arch: $arch_passed passed, $arch_failed failed, wall time ${wall:-?}"
    tallies+=("$line; median key latency ${single:-?}x the forwarder's (${floor_single:-?}x the polling one's) one at a time, ${burst:-?}x (${floor_burst:-?}x) in bursts")
    passed=$((passed + arch_passed))
    failed=$((failed + arch_failed))
done
echo "== real-kernel end-to-end bench, all four configurations"
printf '%s\n' "${tallies[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]

