#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# The bash and zsh completions know every command oskelctl --help lists and every option each
# command's usage lists. bash's completion is run for real; zsh's is parsed and searched.
# Usage: check-completion.sh OSKELCTL BASH_COMPLETION ZSH_COMPLETION
set -eu
oskelctl=$1
bash_file=$2
zsh_file=$3
fail() {
    echo "check-completion: $*" >&2
    exit 1
}

commands=$( ("$oskelctl" --help | sed -n 's/^  \([a-z][a-z]*\)  .*/\1/p'; echo help) | sort | tr '\n' ' ')
[ -n "$commands" ] || fail "no commands in oskelctl --help"

# The options a command's usage lists, one a line ("  --lang LANG  ...", "  -o, --output ...");
# next and previous take write's, but for --recent.
options_of() {
    case $1 in
        next | previous) options_of write | grep -vx -- --recent ;;
        *) "$oskelctl" "$1" --help | grep '^  -' | sed 's/  [^-].*//; s/ [A-Z][A-Z]*//g' |
               tr ', ' '\n\n' | grep -- '^-' | sort -u ;;
    esac
}

# What bash completes for the words given, one a line, sorted.
bash_complete() {
    bash -c '
        . /usr/share/bash-completion/bash_completion
        . "$0"
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        _oskelctl oskelctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort -u
    ' "$bash_file" "$@"
}

got=$(bash_complete oskelctl "" | grep -v -- '^-' | tr '\n' ' ')
[ "$got" = "$commands" ] || fail "bash completes the commands \"$got\", not \"$commands\""

zsh -n "$zsh_file" || fail "$zsh_file does not parse"
for command in $commands; do
    [ "$command" = help ] && continue
    grep -q "'$command:" "$zsh_file" || fail "zsh does not know the command $command"
    expected=$( (options_of "$command"; echo --help) | sort -u | tr '\n' ' ')
    got=$(bash_complete oskelctl "$command" - | tr '\n' ' ')
    [ "$got" = "$expected" ] ||
        fail "bash completes \"$got\" for $command, not \"$expected\""
    for option in $(options_of "$command"); do
        known=no
        for form in "'$option[" ")$option[" ")$option=[" "'$option=[" "{$option+," "{$option," ",$option=}" "($option "; do
            grep -qF -- "$form" "$zsh_file" && known=yes
        done
        [ $known = yes ] || fail "zsh does not know $option for $command"
    done
done

# Values: the languages, and the places in the recent list.
got=$(bash_complete oskelctl show --lang "" | tr '\n' ' ')
[ "$got" = "en-US zh-CN " ] || fail "bash completes the languages as \"$got\""
echo "completion ok"
