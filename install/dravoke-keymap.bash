# SPDX-License-Identifier: Apache-2.0
# bash completion for dravoke-keymap: its commands, each command's options, the values of
# --protocol and --android, folders and files, and for import the keymaps of the Linux keymap
# library that the tool reads.
# All of it is asked of the tool being completed (its --help, each command's, import --list),
# so that it offers what that tool takes.

# The rows of a --help's option OPTION, with their continuation lines.
_dravoke_keymap_option_rows() {
    awk -v option="$1" '$1 == option { inside = 1; print; next } inside && /^ / { print; next }
        { inside = 0 }'
}

_dravoke_keymap() {
    local tool=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} option="" command="" help
    # bash keeps the "=" of "--android=13" as a word of its own.
    if [ "$cur" = "=" ]; then
        option=${COMP_WORDS[COMP_CWORD - 1]}
        cur=""
    elif [ "$COMP_CWORD" -ge 2 ] && [ "${COMP_WORDS[COMP_CWORD - 1]}" = "=" ]; then
        option=${COMP_WORDS[COMP_CWORD - 2]}
    elif [ "$COMP_CWORD" -ge 1 ]; then
        option=${COMP_WORDS[COMP_CWORD - 1]}
    fi
    COMPREPLY=()
    if [ "$COMP_CWORD" -eq 1 ]; then
        # The commands are the first words of the rows under "Commands:".
        COMPREPLY=($(compgen -W "$("$tool" --help 2>/dev/null | awk '/^Commands:$/ { inside = 1;
            next } /^$/ { inside = 0 } inside && /^[^ ]/ { print $1 }') --help" -- "$cur"))
        return
    fi
    command=${COMP_WORDS[1]}
    help=$("$tool" "$command" --help 2>/dev/null) || return
    case $option in
    --protocol)
        # "--protocol nec|rc5", an option of every command
        COMPREPLY=($(compgen -W "$("$tool" --help 2>/dev/null |
            _dravoke_keymap_option_rows --protocol | awk 'NR == 1 { gsub(/\|/, " ", $2);
            print $2 }')" -- "$cur"))
        return
        ;;
    --android)
        # "(9 to 16 ...", and any version named as 12L is
        COMPREPLY=($(compgen -W "$(_dravoke_keymap_option_rows --android <<<"$help" |
            grep -oE '[0-9]+ to [0-9]+|\<[0-9]+L\>' | awk 'NF == 3 { for (v = $1; v <= $3; v++)
            print v; next } { print }')" -- "$cur"))
        return
        ;;
    --dir | --out | --root)
        compopt -o filenames
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    --library)
        # a folder of keymaps, or a copy of the library in the tool's form
        compopt -o filenames
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    --map)
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        # The options a command takes are those of its usage lines.
        COMPREPLY=($(compgen -W "$(awk '/^$/ { exit } { print }' <<<"$help" |
            grep -oE -- '--[a-z][a-z-]*' | sort -u) --help" -- "$cur"))
        return
    fi
    case $command in
    check | show)
        compopt -o filenames
        COMPREPLY=($(compgen -d -- "$cur"))
        ;;
    import)
        # The library's keymaps, with the --library given so far.
        local i library=()
        for ((i = 2; i < COMP_CWORD; i++)); do
            [ "${COMP_WORDS[i]}" = --library ] && library=(--library "${COMP_WORDS[i + 1]}")
        done
        compopt -o filenames
        COMPREPLY=($(compgen -W "$("$tool" import "${library[@]}" --list 2>/dev/null)" -- "$cur")
            $(compgen -f -- "$cur"))
        ;;
    export)
        compopt -o filenames
        COMPREPLY=($(compgen -f -X '!*.kl' -- "$cur") $(compgen -d -- "$cur"))
        ;;
    esac
}
complete -F _dravoke_keymap dravoke-keymap
