#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the libFuzzer targets of tests/fuzz/ with clang (ASan + UBSan) and runs each for
# SECONDS (default 15), starting from the seeds kept in tests/fuzz/corpus/. Prints the
# executions and findings of each target; exits non-zero on any finding.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
[[ $seconds =~ ^[1-9][0-9]*$ ]] || { echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2; }

scripts/install-deps.sh cmake make clang libclang-rt-14-dev android-liblog-dev libtomlplusplus-dev \
    zlib1g-dev

out=build-fuzz
start=$SECONDS
cmake -S tests/fuzz -B "$out" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None >/dev/null
cmake --build "$out" -j "$(nproc)" >"$out/build.log" 2>&1 || { cat "$out/build.log" >&2; exit 1; }
echo "fuzz: built in $((SECONDS - start)) s"

# target and the longest input worth trying: a layout line fits its 1023-character buffer, a
# datagram (after its sender's 4-byte port) is cut at 1023 bytes, an inotify read takes 512
# bytes; Android's reader of a whole layout has no line limit, nor has that of an .idc; a keymap
# of twice the library's largest, a learning session of some hundred steps, a compressed
# configuration of a few KiB, a few keymaps of the library's copy.
targets=("key_layout_line 1100" "key_layout_file 8192" "uevent_datagram 2052" "inotify_walk 600"
    "android_layout 8192" "device_files 4096" "keytable_plain 8192" "keytable_toml 8192"
    "learn_session 2048" "config_gz 4096" "library_copy 8192")
total=0
for entry in "${targets[@]}"; do
    read -r target max_len <<<"$entry"
    corpus=$out/corpus/$target
    findings=$out/findings/$target
    rm -rf "$findings"
    mkdir -p "$corpus" "$findings"
    log=$out/$target.log
    set +e
    # New inputs go to the build folder's corpus; the kept seeds are only read.
    "$out/${target}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "tests/fuzz/corpus/$target" \
        >"$log" 2>&1
    status=$?
    set -e
    runs=$(awk -F': *' '/stat::number_of_executed_units/ {print $NF}' "$log")
    found=$(find "$findings" -type f | wc -l)
    # A run that ended on its own without leaving an input behind is still a finding.
    [ "$status" -ne 0 ] && [ "$found" -eq 0 ] && found=1
    echo "fuzz: $target: ${runs:-0} executions in $seconds s, $found findings"
    if [ "$found" -ne 0 ]; then
        grep -E -A20 'ERROR|runtime error|deadly signal' "$log" | head -n 40 >&2 || tail -n 40 "$log" >&2
        ls "$findings" >&2
    fi
    total=$((total + found))
done
echo "fuzz: ${#targets[@]} targets, $total findings ($((SECONDS - start)) s)"
[ "$total" -eq 0 ]
