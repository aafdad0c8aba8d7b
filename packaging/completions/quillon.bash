# bash completion for quillon: generated from quillon's option table (src/app/CommandOptions.cpp); a test keeps them equal
_quillon()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
    --report)
        COMPREPLY=($(compgen -f -- "$cur"))
        return ;;
    --output|-o)
        COMPREPLY=($(compgen -f -- "$cur"))
        return ;;
    --format)
        COMPREPLY=($(compgen -W 'txt rtf htm csv json pdf html' -- "$cur"))
        return ;;
    --type)
        COMPREPLY=($(compgen -W 'details tree sizes folders' -- "$cur"))
        return ;;
    --sort)
        COMPREPLY=($(compgen -W 'name size date' -- "$cur"))
        return ;;
    --depth)
        COMPREPLY=($(compgen -W 'all' -- "$cur"))
        return ;;
    --types)
        COMPREPLY=()
        return ;;
    --font)
        COMPREPLY=()
        return ;;
    --size)
        COMPREPLY=()
        return ;;
    --summary)
        COMPREPLY=($(compgen -W 'top types duplicates all' -- "$cur"))
        return ;;
    --top)
        COMPREPLY=()
        return ;;
    --compare)
        COMPREPLY=($(compgen -f -- "$cur"))
        return ;;
    --job)
        COMPREPLY=($(compgen -f -- "$cur"))
        return ;;
    --threads)
        COMPREPLY=()
        return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--report --output -o --format --type --sort --descending --ascending --depth --no-subfolders --types --font --size --summary --summary-alone --top --same-bytes --compare --job --crc --threads --help -h --version' -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _quillon quillon
