# bash completion for velquor-cli                          -*- shell-script -*-
#
# Loaded by command name from /usr/share/bash-completion/completions/. Uses
# bash builtins only (compgen, compopt), so it also works without the
# bash-completion package.
#
# The words are read the way velquor-cli parses them: options may stand
# before or after the command, an option that takes a value always takes the
# next word (even one starting with "-"), `key` takes the next word as its
# key, and the first remaining word is the command. A command with a FILE
# takes the next non-option word as it; `macro FILE` then takes a button.

# The word as the shell would pass it: quotes and backslash escapes removed
# (compgen matches file names literally). Sets _velquor_cli_word.
_velquor_cli_dequote() {
    local w=$1 out='' c i
    case $w in
    \'*)
        w=${w#\'}
        _velquor_cli_word=${w%\'}
        return
        ;;
    \"*)
        w=${w#\"}
        w=${w%\"}
        ;;
    esac
    for ((i = 0; i < ${#w}; i++)); do
        c=${w:i:1}
        if [[ $c == \\ ]] && ((i + 1 < ${#w})); then
            ((i++))
            c=${w:i:1}
        fi
        out+=$c
    done
    _velquor_cli_word=$out
}

# The path $1 with a leading "~/" turned into $HOME, so that tests on it
# work; sets _velquor_cli_path.
_velquor_cli_expand() {
    case $1 in
    \~) _velquor_cli_path=${HOME-} ;;
    \~/*) _velquor_cli_path=${HOME-}/${1#\~/} ;;
    *) _velquor_cli_path=$1 ;;
    esac
}

# Adds the files that begin with word $1 and end in one of the extensions
# $2.. (compared without regard to case; none given: every file) to COMPREPLY,
# together with the directories, so that one can walk into them.
_velquor_cli_files() {
    local word=$1 f low ext keep
    shift
    compopt -o filenames 2>/dev/null
    while IFS= read -r f; do
        keep=$(($# == 0))
        if ((!keep)); then
            _velquor_cli_expand "$f"
            [[ -d $_velquor_cli_path ]] && keep=1
        fi
        low=${f,,}
        for ext in "$@"; do
            [[ $low == *."$ext" ]] && keep=1
        done
        ((keep)) && COMPREPLY+=("$f")
    done < <(compgen -f -- "$word")
}

# True when a UART stands behind the legacy port ttyS<n> ($1): sysfs gives it
# a device and its `type` is not 0. A missing or unreadable type counts as a
# UART, as velquor-cli counts it when it gives out the COM numbers.
_velquor_cli_uart() {
    local dir=/sys/class/tty/$1 type=''
    [[ -e $dir/device ]] || return 1
    [[ -r $dir/type ]] || return 0
    IFS= read -r type <"$dir/type"
    type=${type#"${type%%[![:space:]]*}"}
    [[ ! $type =~ ^[+-]?0+([^0-9]|$) ]]
}

# The serial devices of this machine that begin with $1; ordinary file names
# as well once the word holds a "/" (a pseudo-terminal link, say).
_velquor_cli_ports() {
    local word=$1 d n
    local -A seen=()
    for d in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*; do
        [[ -e $d && $d == "$word"* ]] || continue
        case $d in
        /dev/ttyS*)
            n=${d#/dev/ttyS}
            [[ $n =~ ^[0-9]{1,4}$ ]] || continue
            _velquor_cli_uart "ttyS$n" || continue
            ;;
        esac
        COMPREPLY+=("$d")
        seen[$d]=1
    done
    if [[ $word == */* ]]; then
        compopt -o filenames 2>/dev/null
        while IFS= read -r d; do
            [[ -n ${seen[$d]-} ]] || COMPREPLY+=("$d")
        done < <(compgen -f -- "$word")
    fi
}

# The buttons of the macro file $2, as `$1 macro FILE` lists them ("N name"
# lines, in the terminal's UTF-8, which is how the program takes them back),
# that begin with $3 (without regard to case). A button without a name is
# offered by its number.
_velquor_cli_buttons() {
    local prog file word=${3,,} line nr name
    _velquor_cli_expand "$1"
    prog=$_velquor_cli_path
    _velquor_cli_expand "$2"
    file=$_velquor_cli_path
    [[ -f $file && -r $file ]] || return
    type -P -- "$prog" >/dev/null || return
    # A configuration that cannot exist: the program starts on its defaults
    # and does not act on the user's: a traffic log switched on there would
    # be emptied by each start.
    local -a run=("$prog" --config /dev/null/none macro "$file")
    type -P timeout >/dev/null && run=(timeout 3 "${run[@]}")
    compopt -o filenames 2>/dev/null  # quotes names that hold blanks
    while IFS= read -r line; do
        [[ $line =~ ^([1-9])\ (.*)$ ]] || continue
        nr=${BASH_REMATCH[1]}
        name=${BASH_REMATCH[2]}
        [[ -n $name ]] || name=$nr
        [[ ${name,,} == "$word"* ]] && COMPREPLY+=("$name")
    done < <("${run[@]}" </dev/null 2>/dev/null)
}

# The words of the line as velquor-cli will get them. Bash also splits its
# words at ":" and "=" (COMP_WORDBREAKS), which file names may hold; pieces
# that touch in the line are joined again. Sets _velquor_cli_wordv and
# _velquor_cli_cword.
_velquor_cli_words() {
    local line=${COMP_LINE-} pos=0 i w gap end=${COMP_POINT-}
    [[ -n $end ]] || end=${#line}
    _velquor_cli_wordv=()
    _velquor_cli_cword=0
    for ((i = 0; i < ${#COMP_WORDS[@]}; i++)); do
        w=${COMP_WORDS[i]}
        if [[ -n $w ]]; then
            gap=${line:pos}
            gap=${gap%%"$w"*}
        elif ((end > pos)); then
            gap=${line:pos:end-pos}
        else
            gap=''
        fi
        if ((i > 0)) && [[ -z $gap ]] &&
            [[ $w == [:=]* || ${_velquor_cli_wordv[-1]} == *[:=] ]]; then
            _velquor_cli_wordv[-1]+=$w
        else
            _velquor_cli_wordv+=("$w")
        fi
        pos=$((pos + ${#gap} + ${#w}))
        ((i == COMP_CWORD)) && _velquor_cli_cword=$((${#_velquor_cli_wordv[@]} - 1))
    done
}

_velquor_cli() {
    _velquor_cli_words
    local -a words=("${_velquor_cli_wordv[@]}")
    local cword=$_velquor_cli_cword
    local cur=${words[cword]-}
    # What bash replaces with a reply (its $2): the piece after the last ":"
    # or "=" of the word.
    local piece=${2-${COMP_WORDS[COMP_CWORD]-}}
    local commands='ping key info reset erase upload download check-dump firmware
        bootstrap ddc-read ddc-write ddc-convert edid scan macro'
    local options='--config --save --port --com --ip --ip-list --group --monitor
        --timeout --no-parity --lang --log --yes --no --backup --baud --high-timeout
        --variant --lpt --i2c --boards --fix-checksum --step --from --to --quiet
        --json --help --version'
    local valued=' --config --port --log --ip --backup --i2c --variant --lang --com
        --ip-list --monitor --timeout --baud --lpt --boards --step --from --to '
    valued=${valued//$'\n'/ }
    COMPREPLY=()

    # What the words before the cursor are: the command, its file and button,
    # and whether the current word is an option's (or key's) value.
    local cmd='' file='' button='' needs_file=0 value_of='' w i
    for ((i = 1; i < cword; i++)); do
        w=${words[i]}
        if [[ $valued == *" $w "* ]]; then
            if ((i + 1 == cword)); then value_of=$w; fi
            ((i++))
            continue
        fi
        [[ $w == -* ]] && continue
        if ((needs_file)) && [[ -z $file ]]; then
            _velquor_cli_dequote "$w"
            file=$_velquor_cli_word
        elif [[ $cmd == macro && -z $button ]]; then
            button=$w
        elif [[ -z $cmd ]]; then
            cmd=$w
            case $w in
            upload | download | check-dump | firmware | bootstrap | ddc-read | ddc-write | \
                ddc-convert | edid | macro) needs_file=1 ;;
            key)
                if ((i + 1 == cword)); then value_of=key; fi
                ((i++))
                ;;
            esac
        else
            return 0  # one command only: nothing fits here
        fi
    done

    _velquor_cli_dequote "$cur"
    local word=$_velquor_cli_word
    case $value_of in
    --port) _velquor_cli_ports "$word" ;;
    --i2c)
        for w in /dev/i2c-*; do
            [[ -e $w && $w == "$word"* ]] && COMPREPLY+=("$w")
        done
        ;;
    --config)
        _velquor_cli_files "$word" cfg
        local d=0
        for w in "${COMPREPLY[@]}"; do
            _velquor_cli_expand "$w"
            [[ -d $_velquor_cli_path ]] && ((d++))
        done
        # No configuration file here: offer every file instead.
        if ((d == ${#COMPREPLY[@]})); then
            COMPREPLY=()
            _velquor_cli_files "$word"
        fi
        ;;
    --log) _velquor_cli_files "$word" ;;
    --backup)
        compopt -o filenames 2>/dev/null
        while IFS= read -r w; do COMPREPLY+=("$w"); done < <(compgen -d -- "$word")
        ;;
    --lang) mapfile -t COMPREPLY < <(compgen -W 'de en fr' -- "$cur") ;;
    --variant) mapfile -t COMPREPLY < <(compgen -W 'zelb3 am29lv150' -- "$cur") ;;
    --baud)
        mapfile -t COMPREPLY < <(compgen -W '9600 19200 38400 115200 288000 384000 576000' -- "$cur")
        ;;
    --lpt) mapfile -t COMPREPLY < <(compgen -W '1 2 3 4' -- "$cur") ;;
    --ip-list) mapfile -t COMPREPLY < <(compgen -W '1 2 3 4 5 6 7 8 9' -- "$cur") ;;
    key) mapfile -t COMPREPLY < <(compgen -W 'up down left right ok' -- "$cur") ;;
    ?*) ;;  # a number or an address: nothing to offer
    *)
        if [[ $cur == -* ]]; then
            [[ $cmd == firmware ]] && options+=' --check'
            mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        elif [[ -z $cmd ]]; then
            mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
        elif ((needs_file)) && [[ -z $file ]]; then
            case $cmd in
            upload | download | check-dump) _velquor_cli_files "$word" vqf ;;
            firmware | bootstrap) _velquor_cli_files "$word" h86 hex ;;
            ddc-*| edid) _velquor_cli_files "$word" bin dat ;;
            macro) _velquor_cli_files "$word" vqm ;;
            esac
        elif [[ $cmd == macro && -z $button ]]; then
            _velquor_cli_buttons "${1:-${COMP_WORDS[0]}}" "$file" "$word"
        fi
        ;;
    esac
    # Replies for a word that bash split at ":" or "=" stand for its last
    # piece only.
    if [[ $cur != "$piece" && $cur == *"$piece" ]]; then
        _velquor_cli_dequote "${cur%"$piece"}"
        local head=$_velquor_cli_word
        for i in "${!COMPREPLY[@]}"; do
            COMPREPLY[i]=${COMPREPLY[i]#"$head"}
        done
    fi
    return 0
} && complete -F _velquor_cli velquor-cli

# ex: filetype=sh
