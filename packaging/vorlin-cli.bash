# bash completion for vorlin-cli: its commands, each command's options, and file names.
_vorlin_cli() {
    local cur prev words cword
    _init_completion || return

    # The command: one word, or two for key, container and model.
    local command="${words[1]}"
    case "$command" in
        key | container | model) command+=" ${words[2]}" ;;
    esac
    local first=2
    [[ "$command" == *" "* ]] && first=3

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "key check render container model cat find pose texture export
                                 import help --help -h --version" -- "$cur"))
        return
    fi
    if ((cword == 2)); then
        case "${words[1]}" in
            help) COMPREPLY=($(compgen -W "key check render container model cat find pose texture" -- "$cur")); return ;;
            key) COMPREPLY=($(compgen -W "dump save check curves mirror" -- "$cur")); return ;;
            container) COMPREPLY=($(compgen -W "list" -- "$cur")); return ;;
            model) COMPREPLY=($(compgen -W "dump" -- "$cur")); return ;;
        esac
    fi
    ((cword < first)) && return

    # An option's value.
    case "$prev" in
        --model | --source-model) _filedir 3do; return ;;
        --map) _filedir json; return ;;
        --root) COMPREPLY=($(compgen -W "keep inplace none" -- "$cur")); return ;;
        --cmp) _filedir cmp; return ;;
        --out)
            case "$command" in
                export) _filedir '@(glb|gltf)' ;;
                import) _filedir key ;;
                *) _filedir '@(png|webp|gif)' ;;
            esac
            return ;;
        --junit) _filedir xml; return ;;
        --models) COMPREPLY=($(compgen -W "auto" -- "$cur")); return ;;
        --view) COMPREPLY=($(compgen -W "front back left right top bottom" -- "$cur")); return ;;
        --project) _filedir -d; return ;;
        --jk) _filedir gob; return ;;
        --mots) _filedir goo; return ;;
        --node | --index | --from | --to | --geoset | --jobs | --frame | --frames | --size | --pair | \
            --yaw | --pitch | --zoom | --background | --sheet | --step | --anim | --fps | \
            --tolerance | --scale) return ;;
    esac

    local options=""
    case "$command" in
        "key save") options="--recalc" ;;
        "key check") options="--model" ;;
        "key mirror") options="--model --pair" ;;
        "key curves") options="--node --index --model --from --to --csv" ;;
        "model dump") options="--geoset" ;;
        find) options="--project --jk --mots" ;;
        texture) options="--cmp --out" ;;
        check) options="--model --models --json --junit --jobs" ;;
        render) options="--out --frame --frames --size --view --yaw --pitch --zoom --wireframe
                         --node --cmp --background --sheet --project --jk --mots" ;;
        export) options="--out --cmp --step --project --jk --mots" ;;
        import) options="--model --out --anim --source-model --map --fps --from --to --tolerance
                         --root --scale --project --jk --mots" ;;
    esac
    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "$options --help -h" -- "$cur"))
        return
    fi
    case "$command" in
        "key "*) _filedir key ;;
        "model dump") _filedir 3do ;;
        check) _filedir '@(key|gob|goo)' ;;
        render) _filedir '@(3do|key)' ;;
        "container list") _filedir '@(gob|goo)' ;;
        texture) _filedir mat ;;
        export) _filedir '@(3do|key)' ;;
        import) _filedir '@(bvh|fbx|gltf|glb|dae|key)' ;;
        *) _filedir ;;
    esac
} &&
    complete -F _vorlin_cli vorlin-cli
