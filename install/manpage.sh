#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# Writes the manual page dravoke-keymap(1) from the tool's own --help and each command's, through
# help2man, so that the page and the help cannot disagree. The texts are only laid out the way
# help2man reads help (headings, indented tables); nothing is added but the page's NAME line and
# each command's name over its part.
#   install/manpage.sh OUTPUT [EMULATOR...] TOOL
# (a cross build runs the tool under its emulator, as it runs the tests)
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: install/manpage.sh OUTPUT [EMULATOR...] TOOL" >&2; exit 2; }
output=$1
shift
tool=("$@")

# One paragraph at a time: a heading line ("Files:") becomes help2man's section marker
# ("*Files*"), and the rows of a table ("--dir DIR   text", "check [DIR]   text", each with its
# continuation lines) are indented, which is how help2man tells a table from text.
lay_out() {
    awk 'BEGIN { RS = ""; FS = "\n" }
    {
        first = 1
        table = $1 ~ /^-/ || $1 ~ /^[^ ]+( [^ ]+)?   *[^ ]/
        if ($1 ~ /^[A-Z][a-z ]*:$/) {
            printf "*%s*\n", substr($1, 1, length($1) - 1)
            first = 2
            table = 1
        }
        for (i = first; i <= NF; i++) {
            printf "%s%s\n", table ? "  " : "", $i
        }
        printf "\n"
    }'
}

# A command's help as a subsection of COMMANDS: "NAME:" over its usage lines (each with its
# continuation lines joined), then the rest laid out as above.
lay_out_command() {
    local name=$1 help=$2
    printf '%s:\n' "$name"
    awk '/^$/ { exit }
    { line = $0; sub(/^usage: /, "", line) }
    NR == 1 || line ~ /^ +dravoke-keymap / { sub(/^ +/, "", line); usages[++n] = line; next }
    { sub(/^ +/, " ", line); usages[n] = usages[n] line }
    END { for (i = 1; i <= n; i++) printf "  %s\n\n", usages[i] }' <<<"$help"
    awk 'BEGIN { RS = "" } NR > 1 { print; print "" }' <<<"$help" | lay_out
}

main=$("${tool[@]}" --help)
# The commands are the first words of the rows under "Commands:".
commands=$(awk '/^Commands:$/ { inside = 1; next } /^$/ { inside = 0 } inside && /^[^ ]/ { print $1 }' \
    <<<"$main")
[ -n "$commands" ] || { echo "manpage.sh: no commands in the tool's --help" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
    sed -e '1s/^usage:/Usage:/' <<<"$main" | lay_out
    echo "*Commands*"
    for command in $commands; do
        help=$("${tool[@]}" "$command" --help)
        lay_out_command "$command" "$help"
    done
} >"$work/help.txt"

# help2man reads the help from a program of the tool's name.
printf '#!/bin/sh\ncat "%s"\n' "$work/help.txt" >"$work/dravoke-keymap"
chmod +x "$work/dravoke-keymap"
help2man --no-info --section=1 --source=dravoke --version-string=dravoke-keymap \
    --name="check and write dravoke's key layouts, and read the IR receiver beside it" \
    --output="$output" "$work/dravoke-keymap"
