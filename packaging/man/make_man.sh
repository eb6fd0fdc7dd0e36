#!/bin/bash
# Writes a manual page from a program's own --help output and a hand-written
# roff source, so that the page cannot drift from the help text.
#
#   bash make_man.sh PROGRAM SOURCE.in VERSION DATE OUT
#
# SOURCE.in holds the hand-written sections (NAME, DESCRIPTION, ...) and exactly
# one line @HELP@. The page is
#   .TH line, no hyphenation, left-aligned text;
#   SOURCE.in, with SYNOPSIS (from the help's "usage:" line) put right after
#   the NAME section, and @HELP@ replaced by the rest of the help text.
# Help text before its first heading continues the section @HELP@ stands in
# (the DESCRIPTION); help entries that come before any heading get a section
# OPTIONS of their own.
#
# How the help text is read (the description column D is the column in which
# most descriptions and their continuation lines start; E is the indentation
# of the entries):
#   column-0 line ending in ":"        heading: a man section when it names one
#                                      (commands, options, examples, exit status,
#                                      ...), else a subsection under OPTIONS
#   column-0 "Label words: text"       heading Label words, then text as a paragraph
#                                      (at a paragraph start or after a sentence)
#   other column-0 lines               paragraph, filled
#   indent E, description from D       entry: term in bold, description filled;
#                                      a long term stands alone, its description
#                                      on the next line at D
#   indent E, "-term" alone            entry without a description
#   between E and D after an entry     paragraphs of the entry ("KIND: ..."), each
#                                      starting at the first such indentation
#   other indented lines               paragraph, filled
#   under an Examples heading          indented lines kept one per line
# Nothing is left out: every word of the help appears in the page.
set -euo pipefail

if [ $# -ne 5 ]; then
    echo "usage: bash make_man.sh PROGRAM SOURCE.in VERSION DATE OUT" >&2
    exit 2
fi
prog=$1 src=$2 version=$3 date=$4 out=$5
name=$(basename "$prog")

if [ ! -r "$src" ]; then
    echo "make_man.sh: cannot read $src" >&2
    exit 1
fi
if [ "$(grep -c '^@HELP@$' "$src")" != 1 ]; then
    echo "make_man.sh: $src must hold exactly one line @HELP@" >&2
    exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"; rm -f "$out.tmp"' EXIT

# The window program prints its help before it looks for a display; the
# offscreen platform keeps it from failing where there is none. The time limit
# keeps a program that ignores --help from hanging the build.
if ! QT_QPA_PLATFORM=offscreen LC_ALL=C timeout 60 "$prog" --help </dev/null >"$tmp/help.raw"; then
    echo "make_man.sh: $prog --help failed" >&2
    exit 1
fi
# Tabs to spaces (the columns count), carriage returns and trailing blanks off.
expand "$tmp/help.raw" | sed 's/\r$//; s/[[:space:]]*$//' >"$tmp/help.txt"
if ! grep -q '[^[:space:]]' "$tmp/help.txt"; then
    echo "make_man.sh: $prog --help printed nothing" >&2
    exit 1
fi

# ------------------------------------------------------------ help -> roff
# Writes the SYNOPSIS section to the file in variable syn and the rest to
# standard output. POSIX awk (mawk): no gawk extensions.
awk -v syn="$tmp/synopsis.roff" '
function indent(s) { match(s, /^ */); return RLENGTH }
function trim(s) { sub(/^ +/, "", s); sub(/ +$/, "", s); return s }
# roff escapes: backslash, every hyphen as a minus (options copy and paste
# as typed), a control character at the start of a line.
function esc(s,    i, c, r) {
    r = ""
    for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        if (c == "\\") r = r "\\e"
        else if (c == "-") r = r "\\-"
        else r = r c
    }
    return r
}
function textline(s) {
    s = esc(trim(s))
    if (s ~ /^[.\047]/) s = "\\&" s
    return s
}
# A macro argument in double quotes.
function arg(s,    i, c, r) {
    s = esc(trim(s)); r = ""
    for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        r = r (c == "\"" ? "\\(dq" : c)
    }
    return "\"" r "\""
}
# Ends a block of kept lines.
function close_verb() { if (verb) { print ".fi"; verb = 0 } }
function heading(h,    l) {
    close_verb()
    h = trim(h); l = tolower(h)
    in_examples = (l ~ /^examples?$/)
    if (l in known) {
        print ".SH " arg(toupper(h)); opened = 1
    } else {
        if (!opened) { print ".SH OPTIONS"; opened = 1 }
        print ".SS " arg(h)
    }
    state = "none"
}
# Where a help entry of line s would start its description, 0 when the line
# holds no description there.
function desc_split(s) {
    if (length(s) <= D) return 0
    if (substr(s, D, 1) != " " || substr(s, D + 1, 1) == " ") return 0
    if (trim(substr(s, 1, D)) == "") return 0
    return 1
}
{ L[++n] = $0 }
END {
    known["commands"]; known["options"]; known["examples"]; known["example"]
    known["exit status"]; known["environment"]; known["files"]; known["notes"]
    known["description"]; known["see also"]; known["bugs"]

    i = 1
    while (i <= n && L[i] == "") i++
    if (i > n || tolower(L[i]) !~ /^usage:/) {
        print "make_man.sh: the help does not begin with \"usage:\"" > "/dev/stderr"
        exit 1
    }
    # SYNOPSIS: the usage line and the indented lines right after it.
    s = trim(substr(L[i], 7))
    p = index(s, " ")
    if (p) syn_text = "\\fB" esc(substr(s, 1, p - 1)) "\\fR " esc(substr(s, p + 1))
    else syn_text = "\\fB" esc(s) "\\fR"
    print ".SH SYNOPSIS" > syn
    print syn_text > syn
    for (i++; i <= n && L[i] != "" && indent(L[i]) > 0; i++) {
        print ".br" > syn
        print textline(L[i]) > syn
    }
    close(syn)
    first = i

    # E: the smallest indentation; D: the most common description column.
    E = 0
    for (k = first; k <= n; k++)
        if (L[k] != "" && indent(L[k]) > 0 && (E == 0 || indent(L[k]) < E)) E = indent(L[k])
    for (k = first; k <= n; k++) {
        if (L[k] == "" || indent(L[k]) == 0) continue
        if (indent(L[k]) == E) {
            if (match(L[k], /[^ ]  +[^ ]/)) cnt[RSTART + RLENGTH - 2]++
        } else cnt[indent(L[k])]++
    }
    D = 100000; best = 0
    for (c in cnt) if (cnt[c] > best || (cnt[c] == best && c + 0 < D)) { best = cnt[c]; D = c + 0 }

    # Entries are indented as in the help: terms shorter than its term
    # column stand before the description, longer ones above it.
    tpw = (D - E >= 4 && D - E <= 30) ? " " (D - E) : ""

    # state: none, para (column-0 paragraph), ipara (indented paragraph),
    # entry (entry description), sub (paragraph inside an entry).
    state = "none"; opened = 0; verb = 0; in_examples = 0; sub_ind = 0
    for (i = first; i <= n; i++) {
        s = L[i]; ind = indent(s)
        if (s == "") { close_verb(); if (state != "entry" && state != "sub") state = "none"; continue }
        prev_open = (state == "para")
        if (ind == 0) {
            close_verb()
            if (prev_open && !(L[i - 1] ~ /[.]$/ && s ~ /^[A-Z]/)) {
                # A wrapped line of the paragraph.
                print textline(s); continue
            }
            if (s ~ /:$/) { heading(substr(s, 1, length(s) - 1)); continue }
            if (match(s, /^[A-Za-z][A-Za-z ]*: /) && split(substr(s, 1, RLENGTH - 2), w, " ") <= 3) {
                heading(substr(s, 1, RLENGTH - 2))
                s = substr(s, RLENGTH + 1)
            } else if (prev_open) { print textline(s); continue }
            print ".PP"; print textline(s); state = "para"; continue
        }
        if (in_examples) {
            if (!verb) { print ".PP"; print ".nf"; verb = 1 }
            t = substr(s, E + 1)
            if (t ~ /^[.\047]/) t = "\\&" esc(t); else t = esc(t)
            print t; state = "none"; continue
        }
        if (ind == E) {
            # A help entry: description at D, or a term alone with its
            # description on the next line, or an option alone.
            split_here = desc_split(s)
            nxt = (i < n && L[i + 1] != "" && indent(L[i + 1]) >= D)
            lone = (!split_here && (nxt || (substr(trim(s), 1, 1) == "-" && trim(s) !~ /  /)))
            gap_ok = split_here && (substr(s, D - 1, 1) == " " || nxt)
            if ((gap_ok || lone) && !(state == "ipara" && !split_here && !nxt)) {
                if (!opened) { print ".SH OPTIONS"; opened = 1 }
                print ".TP" tpw
                if (gap_ok) {
                    print "\\fB" esc(trim(substr(s, 1, D))) "\\fR"
                    print textline(substr(s, D + 1))
                } else print "\\fB" esc(trim(s)) "\\fR"
                state = "entry"; sub_ind = 0; has_desc = gap_ok; continue
            }
            if (state == "ipara") { print textline(s); continue }
            print ".PP"; print textline(s); state = "ipara"; continue
        }
        if ((state == "entry" || state == "sub") && ind < D) {
            # Paragraphs inside an entry: the first line at this depth starts
            # one (unless it is the description of a term that stood alone),
            # later ones when they begin with "Label:"; other lines wrap.
            if (sub_ind == 0) { sub_ind = ind; if (has_desc) print ".IP" }
            else if (ind == sub_ind && s ~ /^ *[A-Za-z][A-Za-z ]*: /) print ".IP"
            state = "sub"; has_desc = 1; print textline(s); continue
        }
        if (state == "entry" || state == "sub" || state == "ipara") {
            if (state == "entry") has_desc = 1
            print textline(s); continue
        }
        print ".PP"; print textline(s); state = "ipara"
    }
    close_verb()
}
' "$tmp/help.txt" >"$tmp/body.roff"

# ------------------------------------------------------------ the page
upper=$(printf '%s' "$name" | tr '[:lower:]' '[:upper:]' | sed 's/\\/\\e/g; s/-/\\-/g')
{
    printf '.\\" Generated by make_man.sh from %s and "%s --help"; do not edit.\n' \
        "$(basename "$src")" "$name"
    printf '.TH %s 1 "%s" "velquor %s" "User Commands"\n' "$upper" "$date" "$version"
    printf '.nh\n.ad l\n'
    # SYNOPSIS before the second section (the one after NAME), or at @HELP@.
    awk -v syn="$tmp/synopsis.roff" -v body="$tmp/body.roff" '
    function put(f,    l) { while ((getline l < f) > 0) print l; close(f) }
    /^\.SH/ { sh++; if (sh == 2 && !done) { put(syn); done = 1 } }
    $0 == "@HELP@" { if (!done) { put(syn); done = 1 } put(body); next }
    { print }
    ' "$src"
} >"$out.tmp"
mv "$out.tmp" "$out"
