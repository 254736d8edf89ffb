#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# The bash completion offers what the tool takes: its commands, each command's options (every
# option its help names, none the tool refuses), exactly the versions --android takes, and for
# import the keymaps import --list names.
#   tests/install/completion_test.sh COMPLETION [EMULATOR...] TOOL   (absolute paths)
set -uo pipefail
source "$1" || exit 1
shift
compopt() { :; }  # a builtin only inside a completion bash runs
# The tool under its own name, as the completion finds it, in a folder with no other file.
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
printf '#!/bin/sh\nexec %s "$@"\n' "$(printf '"%s" ' "$@")" >"$bin/dravoke-keymap"
chmod +x "$bin/dravoke-keymap"
PATH=$bin:$PATH
mkdir "$bin/empty" && cd "$bin/empty" || exit 1

offered() {  # what the completion offers for the words given, the last one being completed
    COMP_WORDS=(dravoke-keymap "$@") COMP_CWORD=$# COMPREPLY=()
    _dravoke_keymap
    printf '%s\n' "${COMPREPLY[@]}" | grep -v '^$' | sort -u
}
failed=0
expect() {  # expect WHAT WANT GOT
    [ "$2" = "$3" ] || { printf 'FAIL: %s\n  want: %s\n  got:  %s\n' "$1" "$(echo $2)" "$(echo $3)"; failed=1; }
}

# The commands: the words that begin a line of the main help and that the tool takes for one.
commands=$(for word in $(dravoke-keymap --help | grep -oE '^[a-z][a-z-]*' | sort -u); do
    dravoke-keymap "$word" --help >/dev/null 2>&1 && echo "$word"
done)
expect "the commands" "$(printf '%s\n' $commands --help | sort)" "$(offered "")"
for command in $commands; do
    options=$(offered "$command" -)
    documented=$(dravoke-keymap "$command" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
    expect "$command: the options its help names" "$documented" "$(comm -12 <(echo "$documented") <(echo "$options"))"
    for option in $options; do
        # Taken with a value (one offered, when any) or without, the help still comes.
        value=$(offered "$command" "$option" "" | head -n1)
        dravoke-keymap "$command" "$option" "${value:-x}" --help >/dev/null 2>&1 ||
            dravoke-keymap "$command" "$option" --help >/dev/null 2>&1 ||
            expect "$command takes $option" "taken" "refused"
    done
    grep -qx -- --android <<<"$options" || continue
    # The versions check takes (every command alike), of a wide range and those offered.
    versions=$(offered "$command" --android = "")
    taken=${taken-$(for v in $(seq 0 20) 12L $versions; do
        refused=$(dravoke-keymap check --android "$v" --dir /nonexistent 2>&1)
        grep -q 'android takes' <<<"$refused" || echo "$v"
    done | sort -u)}
    expect "$command --android=: the versions the tool takes" "$taken" "$versions"
done
keymaps=$(dravoke-keymap import --list | sort)
expect "import: the keymaps import --list names" "$keymaps" "$(offered import "")"
[ "$(wc -l <<<"$keymaps")" -gt 50 ] || expect "import --list: over 50 keymaps" "over 50" "$keymaps"
[ "$failed" -eq 0 ] && echo "the completion offers the $(wc -w <<<"$commands") commands, their options and values, and $(wc -l <<<"$keymaps") keymaps"
exit "$failed"
