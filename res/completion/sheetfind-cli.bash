# SPDX-License-Identifier: MIT
# Bash completion for sheetfind-cli.
#
# The subcommands and their options are read from the program's own --help, so the
# completion offers exactly what the installed program takes; only the values of
# the options with a fixed set of values are listed here.

_sheetfind_cli_commands() {
    # The overview lists each subcommand on a line of its own, indented by two.
    "$1" --help 2>/dev/null | sed -n 's/^  \([a-z][a-z-]*\)  .*/\1/p'
}

_sheetfind_cli_options() {
    "$1" "$2" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u
}

_sheetfind_cli() {
    local cur prev words cword
    _init_completion || return
    local program=${words[0]}

    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$(_sheetfind_cli_commands "$program") --help --version" -- "$cur"))
        return
    fi
    local command=${words[1]}
    case $prev in
        -s | --scale)
            COMPREPLY=($(compgen -W "1m 250k 50k" -- "$cur"))
            return
            ;;
        -f | --format)
            COMPREPLY=($(compgen -W "text geojson" -- "$cur"))
            return
            ;;
        --input)
            COMPREPLY=($(compgen -W "decimal dms utm mgrs" -- "$cur"))
            return
            ;;
        --delimiter)
            COMPREPLY=($(compgen -W ", ; tab" -- "$cur"))
            return
            ;;
        -o | --output)
            _filedir
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_sheetfind_cli_options "$program" "$command")" -- "$cur"))
        return
    fi
    case $command in
        annotate | cover) _filedir ;;
    esac
}
complete -F _sheetfind_cli sheetfind-cli
