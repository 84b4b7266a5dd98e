# SPDX-License-Identifier: GPL-2.0-or-later
# bash completion for oskelctl: its commands, each command's options, and the files it takes.

_oskelctl() {
    local cur prev words cword
    _init_completion || return

    local commands="detect version write read verify firmware show recent doctor reset import
        diff next previous help"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            command=${words[i]}
            break
        fi
    done

    case $prev in
        --lang)
            COMPREPLY=($(compgen -W "zh-CN en-US" -- "$cur"))
            return
            ;;
        --recent)
            local count
            count=$(oskelctl recent 2>/dev/null | wc -l)
            COMPREPLY=($(compgen -W "$(seq 1 "$count" 2>/dev/null)" -- "$cur"))
            return
            ;;
        -o | --output)
            _filedir pro
            return
            ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands --help" -- "$cur"))
        return
    fi

    local options=""
    case $command in
        write) options="--keys-only --lights-only --verify --lang --force --recent" ;;
        next | previous) options="--keys-only --lights-only --verify --lang --force" ;;
        verify) options="--lang" ;;
        show) options="--lang --json" ;;
        import) options="-o --output" ;;
        diff) options="--json --lang" ;;
        doctor) options="--json" ;;
        reset) options="--keys --lights" ;;
        firmware) options="--no-backup" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
        return
    fi
    case $command in
        write | read | verify | show) _filedir pro ;;
        firmware) _filedir hex ;;
        import) _filedir json ;;
        diff)
            _filedir pro
            COMPREPLY+=($(compgen -W "-" -- "$cur"))
            ;;
    esac
} && complete -F _oskelctl oskelctl
