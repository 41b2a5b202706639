# bash completion for parvex                                 -*- shell-script -*-
# Installed as share/bash-completion/completions/parvex, where bash-completion
# loads it on first use; or source it from ~/.bashrc.

_parvex()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    (( COMP_CWORD > 0 )) && prev=${COMP_WORDS[COMP_CWORD-1]}

    # The subcommand: the first word after "parvex" that is not an option.
    local i command=
    for (( i = 1; i < COMP_CWORD; i++ )); do
        case ${COMP_WORDS[i]} in
            -*) ;;
            *) command=${COMP_WORDS[i]}; break ;;
        esac
    done

    COMPREPLY=()
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=( $(compgen -W '-h --help --version' -- "$cur") )
        else
            COMPREPLY=( $(compgen -W 'cut join info verify repair' -- "$cur") )
        fi
        return 0
    fi

    # Arguments of the option before the cursor.
    case $command:$prev in
        cut:-d|cut:--destination|join:-d|join:--destination|repair:-d|repair:--destination)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            return 0 ;;
        cut:-s|cut:--size)
            COMPREPLY=( $(compgen -W '1.44M 1.25M 100K 10M 100MB 1G' -- "$cur") )
            return 0 ;;
        cut:--pieces)
            COMPREPLY=( $(compgen -W '2 3 4 5 10' -- "$cur") )
            return 0 ;;
        cut:--recovery)
            COMPREPLY=( $(compgen -W '1 2 5 10% 20%' -- "$cur") )
            return 0 ;;
        cut:--name)
            return 0 ;;
        join:-o|join:--checksum|verify:--checksum)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return 0 ;;
    esac

    local options
    case $command in
        cut)
            options='-d --destination -s --size --pieces -x --self-join
                     -p --pause -y --yes -n --no -q --quiet --no-checksum
                     --recovery --name -h --help' ;;
        join)
            options='-d --destination -o -p --pause -y --yes -n --no
                     -q --quiet --checksum --no-verify --no-repair -h --help' ;;
        info)
            options='-h --help' ;;
        verify)
            options='-q --quiet --checksum -h --help' ;;
        repair)
            options='-d --destination -y --yes -n --no -q --quiet -h --help' ;;
        *)
            return 0 ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=( $(compgen -W "$options" -- "$cur") )
    else
        # FILE: any file (a piece, the name a set was cut from, or - for
        # standard input with cut).
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
    return 0
}
complete -F _parvex parvex
