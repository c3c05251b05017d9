# bash completion for quorin                                 -*- shell-script -*-

# One line per command: its name, its options, then ":" and what its
# arguments are, in order. An option that takes a value says what the value
# is after "=". What a value or an argument is: "/" a folder, "*" any file,
# "-" a name with nothing to offer, "{a,b}" one of the words given,
# otherwise the extensions of the files it takes ("tga|dds"). A last kind
# ending in "..." goes for every argument from there on.
_quorin_commands=(
    'build      -o=quorin --output=quorin --strict : toml'
    'check      --mod=/ --json                : toml|quorin'
    'extract    --mod=/ -o=/ --output=/ --list : -'
    'inspect    --json                        : quorin'
    'unpack     --force                       : quorin /'
    'picture    --format={dxt1,dxt5,auto} --mipmaps={full,none} --quality={fast,normal,best} --rle -o=/ --output-folder=/ --to={png,tga,dds} -j=- --jobs=- -q --quiet : tga|dds|bmp|ico|jpg|jpeg|wmf|emf|png...'
    'install    --mod=/ --dry-run --replace --recover-only : quorin|toml'
    'uninstall  --mod=/ --force               : -'
    'model      --json --uv=png --size=- --texture=dds --gltf=glb|gltf --cas=cas : cas|glb|gltf'
)

_quorin_files()
{
    case $1 in
        -) ;;
        /) _filedir -d ;;
        \*) _filedir ;;
        \{*\}) local words=${1:1:${#1}-2}
             COMPREPLY=($(compgen -W "${words//,/ }" -- "$cur")) ;;
        *) _filedir "$1" ;;
    esac
}

_quorin()
{
    local cur prev words cword split
    _init_completion -s || return

    # quorin's own options take no value, so its first other word is the command.
    local i command=
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            command=${words[i]}
            break
        fi
    done
    local line names=()
    for line in "${_quorin_commands[@]}"; do
        names+=("${line%% *}")
    done
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '-h --help' -- "$cur"))
        else
            COMPREPLY=($(compgen -W '${names[*]}' -- "$cur"))
        fi
        return
    fi

    local rest= found=
    for line in "${_quorin_commands[@]}"; do
        if [[ ${line%% *} == "$command" ]]; then
            rest=${line#* }
            found=1
        fi
    done
    [[ -n $found ]] || return
    local -a options kinds
    read -ra options <<<"${rest%%:*}"
    read -ra kinds <<<"${rest#*:}"
    local option flags=(-h --help)
    local -A takes=()
    for option in "${options[@]}"; do
        flags+=("${option%%=*}")
        [[ $option == *=* ]] && takes[${option%%=*}]=${option#*=}
    done

    if [[ -n $prev && -n ${takes[$prev]-} ]]; then
        _quorin_files "${takes[$prev]}"
        return
    fi
    $split && return
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '${flags[*]}' -- "$cur"))
        return
    fi

    # Which argument this is: the words after the command that are neither
    # options nor their values.
    local count=0
    for ((i = i + 1; i < cword; i++)); do
        if [[ ${words[i]} == -* ]]; then
            [[ ${words[i]} != *=* && -n ${takes[${words[i]}]-} ]] && i=$((i + 1))
        else
            count=$((count + 1))
        fi
    done
    local last=$((${#kinds[@]} - 1))
    ((count > last && last >= 0)) && [[ ${kinds[last]} == *... ]] && count=$last
    ((count < ${#kinds[@]})) && _quorin_files "${kinds[count]%...}"
} &&
    complete -F _quorin quorin
