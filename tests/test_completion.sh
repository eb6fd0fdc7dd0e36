#!/usr/bin/env bash
# Drives the bash completion of velquor-cli the way bash calls it and checks
# the replies against the program's --help and a directory of sample files.
# usage: bash tests/test_completion.sh BIN_DIR SCRIPT
set -u
(($# == 2)) || { echo "usage: $0 BIN_DIR SCRIPT" >&2; exit 2; }
bin=$(cd "$1" && pwd) || exit 2
PATH=$bin:$PATH
# shellcheck source=/dev/null
source "$2" || exit 1
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The sorted replies for the command line velquor-cli WORD...; the last WORD
# is the one being completed, with the cursor at its end.
complete_words() {
    COMP_WORDS=(velquor-cli "$@")
    call_completion "${COMP_WORDS[*]}" "${COMP_WORDS[-1]}"
    ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}
# Calls the completion as bash does for COMP_WORDS, the line LINE and the
# cursor at its end; TEXT is the piece readline completes.
call_completion() {  # LINE TEXT
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$1
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _velquor_cli velquor-cli "$2" "${COMP_WORDS[COMP_CWORD - 1]}"
}
# expect "WORD..." EXPECTED...: the replies are exactly the EXPECTED ones.
expect() {
    local line=$1
    local -a words
    read -ra words <<<"$line"
    [[ $line == *' ' || -z $line ]] && words+=('')
    shift
    local got want
    got=$(complete_words "${words[@]}")
    want=$( (($#)) && printf '%s\n' "$@" | LC_ALL=C sort)
    [[ $got == "$want" ]] || fail "velquor-cli $line<TAB>: got [${got//$'\n'/|}], want [${want//$'\n'/|}]"
}

tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT

# Commands and options as --help lists them: the first word of each command
# line, and the option names of the left column of the options.
help=$(velquor-cli --help) || fail "velquor-cli --help failed"
mapfile -t cmds < <(sed -n '/^commands:/,/^options:/s/^  \([a-z][a-z0-9-]*\).*/\1/p' <<<"$help" | sort -u)
mapfile -t opts < <(sed -n '/^options:/,/^$/s/^  \(--.*\)/\1/p' <<<"$help" |
    sed 's/  .*//' | grep -o -- '--[a-z0-9-]*' | sort -u)
((${#cmds[@]} >= 10 && ${#opts[@]} >= 20)) ||
    fail "--help parsed into ${#cmds[@]} commands and ${#opts[@]} options"
mkdir "$tmp/w" "$tmp/pt" && cd "$tmp/w" || exit 1
expect "" "${cmds[@]}"
expect "--" "${opts[@]}"
expect "firmware --ch" --check
expect "upload --ch"
expect "--config x.cfg up" upload
expect "--monitor 3 --json --lang de p" ping

# Files by extension, with the folder to walk into.
touch a.vqf b.h86 c.bin d.dat e.vqm f.txt "g h.vqf" i.hex J.H86 k.cfg
mkdir sub && touch sub/x.vqf sub/y.txt ../pt/ttyV0 ../pt/ttyV1
vqf=(a.vqf "g h.vqf" sub) h86=(b.h86 i.hex J.H86 sub) ddc=(c.bin d.dat sub)
for c in upload download check-dump; do expect "$c " "${vqf[@]}"; done
for c in firmware "firmware --check" bootstrap "--port /dev/x firmware"; do expect "$c " "${h86[@]}"; done
for c in ddc-read ddc-write ddc-convert edid; do expect "$c " "${ddc[@]}"; done
expect "macro " e.vqm sub
expect "download --yes --backup sub " "${vqf[@]}"
expect "upload g" "g h.vqf"
[[ $(complete_words upload 'g\ ') == "g h.vqf" ]] || fail "upload g\\ <TAB> does not give 'g h.vqf'"
expect 'upload "g' "g h.vqf"
expect "upload sub/" sub/x.vqf
# Bash quotes a reply with blanks, and marks folders, only when the function
# asks it to treat the replies as file names.
# shellcheck disable=SC2317  # called by the completion function
compopt() { [[ $* == '-o filenames' ]] && as_files=1; }
as_files=0
complete_words upload g >/dev/null
((as_files)) || fail "upload <TAB> does not ask for file-name quoting (compopt -o filenames)"
unset -f compopt
expect "upload a.vqf "
expect "ping "
expect "--config " k.cfg sub
expect "--log f" f.txt
expect "--backup " sub

# A file name with ":" or "=", which bash splits into words of their own: the
# line reads on as velquor-cli will read it, and the reply stands for the
# piece after the last split.
split_complete() {  # LINE: the words as bash makes them, then the replies
    local line="velquor-cli $1" t
    COMP_WORDS=()
    for t in $line; do
        while [[ $t =~ ^([^:=]*)([:=]+)(.*)$ ]]; do
            [[ -n ${BASH_REMATCH[1]} ]] && COMP_WORDS+=("${BASH_REMATCH[1]}")
            COMP_WORDS+=("${BASH_REMATCH[2]}")
            t=${BASH_REMATCH[3]}
        done
        [[ -n $t ]] && COMP_WORDS+=("$t")
    done
    [[ $line == *' ' ]] && COMP_WORDS+=('')
    call_completion "$line" "${line##*[ :=]}"  # readline completes behind the last break
    printf '%s\n' "${COMPREPLY[@]}"
}
touch 'm:1.vqf' 'n=2.h86'
[[ $(split_complete 'upload m:1.vqf --mo') == --monitor ]] || fail "upload m:1.vqf --mo<TAB>"
[[ $(split_complete '--config m:1.cfg pi') == ping ]] || fail "--config m:1.cfg pi<TAB>"
[[ $(split_complete 'upload m:1.v') == 1.vqf ]] || fail "upload m:1.v<TAB>: $(split_complete 'upload m:1.v')"
[[ $(split_complete 'firmware n=') == 2.h86 ]] || fail "firmware n=<TAB>: $(split_complete 'firmware n=')"

# Option values.
expect "--port $tmp/pt/" "$tmp/pt/ttyV0" "$tmp/pt/ttyV1"
for w in $(complete_words --port ''); do
    [[ $w == /dev/* ]] || fail "--port <TAB> offers $w, not a device"
done
expect "--lang " de en fr
expect "--lang e" en
expect "key " down left ok right up
expect "key up "
expect "--variant z" zelb3
for o in --com --monitor --timeout --ip --boards --step --from --to; do expect "$o "; done

# The buttons of a macro file; a name beyond ASCII comes as the listing
# shows it, in UTF-8.
printf 'Bright <up>\n:1 0x2001 1\nBig Light <on>\n:1 0x2001 1\nGr\xf6\xdfe <a>\n:1 0x2001 1\n' >m.vqm
expect "macro m.vqm " Bright "Big Light" $'Gr\xc3\xb6\xc3\x9fe'
expect "macro m.vqm g" $'Gr\xc3\xb6\xc3\x9fe'
expect "macro m.vqm bi" "Big Light"
expect "macro m.vqm Bright "

if ((failures)); then
    echo "$failures completion check(s) failed" >&2
    exit 1
fi
echo "completion: all checks passed"
