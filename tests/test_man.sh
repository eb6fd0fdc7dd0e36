#!/bin/bash
# Checks the manual pages against the programs they describe:
#   bash tests/test_man.sh BIN_DIR MAN_DIR
# MAN_DIR holds the generated velquor.1, velquor-cli.1 and zelbsim.1 (a page
# is looked for only when BIN_DIR holds its program).
#  - each page renders without a groff warning;
#  - every part of the program's current --help (the usage line, each heading,
#    entry and paragraph) appears in the rendered page, in the help's order,
#    and each example line stays a line of its own: a stale page, or text the
#    converter dropped or roff swallowed, fails;
#  - the converter keeps awkward text verbatim (a leading dot or quote, a
#    backslash, a long term on its own line) and fails, leaving no page, for
#    a program whose --help fails or prints nothing.
# Exits 0 when every check passes, else 1 with one line per failure.
set -u
if [ $# -ne 2 ]; then
    echo "usage: bash tests/test_man.sh BIN_DIR MAN_DIR" >&2
    exit 2
fi
bin=$1 mandir=$2
make_man=$(cd "$(dirname "$0")/.." && pwd)/packaging/man/make_man.sh
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() {
    echo "test_man: $*" >&2
    failed=1
}

# Plain text of a page: no bold, underline or colour.
render() { LC_ALL=C groff -man -Tascii -P-c -P-b -P-u -P-o "$1" 2>/dev/null; }

# Every groff warning of a page, for the terminal devices.
check_warnings() {
    local page=$1 dev out
    for dev in ascii utf8; do
        out=$(LC_ALL=C groff -man -T"$dev" -ww -z "$page" 2>&1)
        [ -z "$out" ] || fail "$(basename "$page"): groff -T$dev warns: $out"
    done
}

# The help text HELP against the rendered PAGE: the help is cut into parts
# at each blank line and each line indented no deeper than its entries; each
# part, whitespace-normalised (lower case, colons dropped: headings become
# upper case and lose theirs), must follow the previous one in the page.
# Lines under an "Examples:" heading must be lines of the page as they are.
check_help() {
    local name=$1 help=$2 page=$3
    awk -v name="$name" '
    function norm(s) { gsub(/[ \t\n]+/, " ", s); gsub(/:/, "", s); sub(/^ /, "", s); sub(/ $/, "", s); return tolower(s) }
    function ind(s) { match(s, /^ */); return RLENGTH }
    function part(s) {
        s = norm(s)
        if (s == "") return
        k = index(substr(P, pos), s)
        if (k == 0) { printf "%s: help text missing or out of order in the page: %s\n", name, substr(s, 1, 70); bad = 1 }
        else pos += k + length(s) - 1
    }
    FNR == NR { P = P " " $0; t = $0; sub(/^ +/, "", t); sub(/ +$/, "", t); line[t] = 1; next }
    FNR == 1 { P = norm(P); pos = 1 }
    { H[++n] = $0; if ($0 != "" && ind($0) > 0 && (E == 0 || ind($0) < E)) E = ind($0) }
    END {
        if (n == 0 || P == "") { printf "%s: no help text or an empty page\n", name; exit 1 }
        sub(/^[Uu]sage: */, "", H[1])
        cur = ""
        for (i = 1; i <= n; i++) {
            s = H[i]
            if (s == "" || ind(s) <= E) { part(cur); cur = "" }
            if (ind(s) == 0 && s != "") ex = (tolower(s) ~ /^examples?:$/)
            else if (ex && s != "") {
                t = s; sub(/^ +/, "", t)
                if (!(t in line)) { printf "%s: example not kept as a line: %s\n", name, t; bad = 1 }
            }
            cur = cur " " s
        }
        part(cur)
        exit bad
    }' <(render "$page") - <<<"$help" >&2 || failed=1
}

for prog in velquor velquor-cli zelbsim; do
    [ -x "$bin/$prog" ] || continue  # a build without Qt has no window program
    page=$mandir/$prog.1
    if [ ! -r "$page" ]; then
        fail "$page: missing"
        continue
    fi
    check_warnings "$page"
    if ! help=$(QT_QPA_PLATFORM=offscreen "$bin/$prog" --help </dev/null) || [ -z "$help" ]; then
        fail "$prog --help failed"
        continue
    fi
    check_help "$prog" "$help" "$page"
done

# Awkward input for the converter.
cat >"$tmp/fake" <<'EOF'
#!/bin/bash
cat <<'TEXT'
usage: fake [options] FILE
.dot at the start of a line, and a back\slash with \fB and \n after it
'quoted' words at the start of the next one.

options:
  --plain               a plain entry
  --a-very-long-term-that-stands-alone=VALUE
                        its description, \e and 'quote'
  --dotted              described over two lines, the second
                        .starting with a dot
  'q'                   'a quoted term

Examples:
  fake --plain 'a b'  \
    --dotted
TEXT
EOF
printf '.SH NAME\nfake \\- test\n.SH DESCRIPTION\nA test.\n@HELP@\n.SH SEE ALSO\nnothing\n' >"$tmp/fake.in"
chmod +x "$tmp/fake"
if bash "$make_man" "$tmp/fake" "$tmp/fake.in" 1.0 2000-01-01 "$tmp/fake.1"; then
    check_warnings "$tmp/fake.1"
    check_help fake "$("$tmp/fake" --help)" "$tmp/fake.1"
    text=$(render "$tmp/fake.1" | tr -s ' \n' '  ')
    for want in '.dot at the start of a line, and a back\slash with \fB and \n after it' \
        "'quoted' words at the start" '--a-very-long-term-that-stands-alone=VALUE' \
        "its description, \\e and 'quote'" '.starting with a dot' "'q' 'a quoted term" \
        'SYNOPSIS fake [options] FILE'; do
        [[ $text == *"$want"* ]] || fail "fake: the page lacks: $want"
    done
else
    fail "make_man.sh failed on the fake program"
fi
for body in 'exit 3' 'exit 0' 'echo'; do
    printf '#!/bin/bash\n%s\n' "$body" >"$tmp/bad"
    chmod +x "$tmp/bad"
    if bash "$make_man" "$tmp/bad" "$tmp/fake.in" 1.0 2000-01-01 "$tmp/bad.1" 2>/dev/null; then
        fail "make_man.sh succeeded for a --help that does \"$body\""
    fi
    if [ -e "$tmp/bad.1" ] || [ -e "$tmp/bad.1.tmp" ]; then
        fail "make_man.sh left a page for \"$body\""
    fi
done

[ "$failed" = 0 ] && echo "test_man: all pages agree with the programs' help"
exit "$failed"
