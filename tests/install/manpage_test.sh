#!/bin/bash
# The manual page holds the tool's help, word for word: every paragraph of the main --help and
# of each command's --help (so every command, option, exit status and file) appears in the
# page as man shows it, its words in the same order.
#   tests/install/manpage_test.sh PAGE [EMULATOR...] TOOL
set -euo pipefail
page=$1
shift
tool=("$@")

# Text as its words, apart by single spaces.
words() { tr -s ' \t\n' '   ' | sed -e 's/^ //; s/ $//'; }
# The page as man shows it, each paragraph on one line, hence with no word broken.
shown=$(groff -man -Tascii -P-cbou -rLL=5000n "$page" | words)

failed=0
# Each paragraph but the usage line's "usage:" and a heading line ("Files:"), which the page
# turns into its own sections.
hold_paragraphs() {
    local what=$1 help=$2 paragraph
    while IFS= read -r -d '' paragraph; do
        paragraph=$(sed -e '1s/^usage: //' -e '1{/^[A-Z][a-z ]*:$/d}' <<<"$paragraph" | words)
        [ -n "$paragraph" ] || continue
        if ! grep -qF -- "$paragraph" <<<"$shown"; then
            echo "FAIL: the page lacks this paragraph of $what:"
            echo "    $paragraph"
            failed=1
        fi
    done < <(awk 'BEGIN { RS = ""; ORS = "\0" } { print }' <<<"$help")
}

main=$("${tool[@]}" --help)
hold_paragraphs "dravoke-keymap --help" "$main"
# The commands are the words that begin a line of the main help and that the tool takes for
# one: found without reading the help's layout the way the page's generator does.
commands=0
for word in $(grep -oE '^[a-z][a-z-]*' <<<"$main" | sort -u); do
    help=$("${tool[@]}" "$word" --help 2>/dev/null) || continue
    commands=$((commands + 1))
    hold_paragraphs "dravoke-keymap $word --help" "$help"
done
if [ "$commands" -lt 2 ]; then
    echo "FAIL: found $commands commands in dravoke-keymap --help"
    failed=1
fi
[ "$failed" -eq 0 ] && echo "the page holds dravoke-keymap --help and the help of its $commands commands"
exit "$failed"
