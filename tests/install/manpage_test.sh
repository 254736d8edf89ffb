#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# The manual page holds the tool's help word for word: every paragraph of the main --help and of
# each command's (so every command, option, exit status and file) appears in the page as man
# shows it, but for "usage:" and a heading line ("Files:"), which become the page's own.
#   tests/install/manpage_test.sh PAGE [EMULATOR...] TOOL
set -euo pipefail
page=$1
shift
tool=("$@")
words() { tr -s ' \t\n' '   ' | sed -e 's/^ //; s/ $//'; }
# Each paragraph on one line, hence no word broken at a line's end.
shown=$(groff -man -Tascii -P-cbou -rLL=5000n "$page" | words)
failed=0
hold_paragraphs() {  # hold_paragraphs WHAT HELP
    local paragraph
    while IFS= read -r -d '' paragraph; do
        paragraph=$(sed -e '1s/^usage: //' -e '1{/^[A-Z][a-z ]*:$/d}' <<<"$paragraph" | words)
        [ -z "$paragraph" ] || grep -qF -- "$paragraph" <<<"$shown" ||
            { printf 'FAIL: the page lacks this paragraph of %s:\n    %s\n' "$1" "$paragraph"; failed=1; }
    done < <(awk 'BEGIN { RS = ""; ORS = "\0" } { print }' <<<"$2")
}
main=$("${tool[@]}" --help)
hold_paragraphs "dravoke-keymap --help" "$main"
# The commands: the words that begin a line of the main help and that the tool takes for one,
# found without the page generator's reading of the help.
commands=0
for word in $(grep -oE '^[a-z][a-z-]*' <<<"$main" | sort -u); do
    help=$("${tool[@]}" "$word" --help 2>/dev/null) || continue
    commands=$((commands + 1))
    hold_paragraphs "dravoke-keymap $word --help" "$help"
done
[ "$commands" -ge 2 ] || { echo "FAIL: $commands commands in dravoke-keymap --help"; failed=1; }
[ "$failed" -eq 0 ] && echo "the page holds dravoke-keymap --help and the help of its $commands commands"
exit "$failed"
