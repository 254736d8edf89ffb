#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Every file of the project that the compiler read for dravoke or dravoke-keymap, sources and
# the headers they include, as the build's dependency files list them, says the project's
# licence, Apache-2.0, in its first two lines: a file under another licence (the Linux keymap
# library is GPL-2.0 data, read at run time) must never be compiled into the programs. Files
# from outside the checkout (the C library, liblog, toml++) are their packages' own.
# usage: programs_licence_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(realpath "$1")
build_dir=$2

# The project's files that the dependency files of the programs' targets name; in a build
# folder used before, a source since removed leaves its dependency file behind.
compiled_files() {
    local file
    find "$@" -name '*.o.d' -print0 2>/dev/null | xargs -0 -r cat |
        tr ' \\' '\n\n' | sed -n "s|^$source_dir/||p" | sort -u |
        while read -r file; do [ -e "$source_dir/$file" ] && echo "$file"; done
}

# Those of them whose first two lines do not say Apache-2.0, from folder $1.
foreign_files() {
    local root=$1 file
    while read -r file; do
        head -2 "$root/$file" | grep -q 'SPDX-License-Identifier: Apache-2.0$' || echo "$file"
    done
}

# The check can fail: a header under another licence, as a dependency file would name it.
planted=$(mktemp -d)
trap 'rm -rf "$planted"' EXIT
mkdir -p "$planted/src/tool" "$planted/deps"
printf '// SPDX-License-Identifier: GPL-2.0-only\n' >"$planted/src/tool/table.h"
printf '// SPDX-License-Identifier: Apache-2.0\n' >"$planted/src/tool/a.cpp"
printf 'a.o: %s/src/tool/a.cpp \\\n %s/src/tool/table.h\n' "$planted" "$planted" >"$planted/deps/a.o.d"
caught=$(source_dir=$(realpath "$planted/src") compiled_files "$planted/deps" | foreign_files "$planted/src")
[ "$caught" = "tool/table.h" ] || { echo "FAIL: the check misses a GPL header: '$caught'"; exit 1; }

dirs=()
for target in dravoke dravoke-keymap dravoke_core dravoke_tool; do
    dirs+=("$build_dir/CMakeFiles/$target.dir")
done
files=$(compiled_files "${dirs[@]}")
count=$(echo "$files" | grep -c . || true)
[ "$count" -gt 100 ] || { echo "FAIL: only $count of the project's files found compiled into the programs"; exit 1; }
foreign=$(echo "$files" | foreign_files "$source_dir")
if [ -n "$foreign" ]; then
    echo "FAIL: compiled into dravoke or dravoke-keymap, but not under Apache-2.0:"
    echo "$foreign"
    exit 1
fi
echo "$count files of the project are compiled into dravoke and dravoke-keymap, each under Apache-2.0"
