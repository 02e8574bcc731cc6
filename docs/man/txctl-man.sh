#!/bin/sh
# Writes the txctl manual page from the program's own help, so the page lists
# exactly the commands and options the program has:
#
#   txctl-man.sh TXCTL INCLUDE OUT
#
# runs `TXCTL --help`, then `TXCTL NAME --help` for every command listed under
# "Commands:", turns each command's help into a section of COMMANDS, and hands
# that together with the hand-written INCLUDE (description, exit statuses,
# examples, files) to help2man.
set -eu

txctl=$1
include=$2
out=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM

"$txctl" --help >"$tmp/help"

# The command names: the first word of each line under "Commands:" up to the
# next blank line.
awk '/^Commands:/ { on = 1; next }
     on && /^[[:space:]]*$/ { exit }
     on && /^  [a-z]/ { print $1 }' "$tmp/help" >"$tmp/names"

# One command's help as roff: "Usage:" as its own line, "Heading:" lines in
# bold, "  term  description" lines as tagged paragraphs (deeper-indented lines
# continue the description), everything else as running text.
to_roff() {
    awk -v name="$1" '
    function esc(s) {
        gsub(/\\/, "\\e", s)
        gsub(/-/, "\\-", s)
        if (s ~ /^[.\x27]/) s = "\\&" s
        return s
    }
    function indent(s) { match(s, /^ */); return RLENGTH }
    function term_line(term, desc) {
        print ".TP"; print "\\fB" esc(term) "\\fR"
        if (desc != "") print esc(desc)
        para = 0; item = 1
    }
    /^[[:space:]]*$/ { if (!para) print ".PP"; para = 1; item = 0; next }
    /^Usage:/ {
        # However the program names itself (a path, or the command alone),
        # the page says "txctl COMMAND".
        sub(/^Usage:[[:space:]]*/, "")
        first = $1; sub(/.*\//, "", first)
        rest = $0; sub(/^[^ ]+ ?/, "", rest)
        if (first == "txctl") line = "txctl " rest
        else if (first == name) line = "txctl " name (rest == "" ? "" : " " rest)
        else line = $0
        print ".PP"; print "\\fBUsage:\\fR " esc(line); print ".br"
        para = 0; item = 0; next
    }
    /^[A-Z][A-Za-z ]*:$/ { print ".PP"; print "\\fB" esc($0) "\\fR"; para = 0; item = 0; next }
    /^ +[^ ]/ && match($0, /[^ ]  +[^ ]/) {
        term = substr($0, 1, RSTART); desc = substr($0, RSTART + 1)
        sub(/^ +/, "", term); sub(/^ +/, "", desc)
        termindent = indent($0)
        term_line(term, desc); next
    }
    # A long term alone on its line, its description below it.
    /^ +-/ && (!item || indent($0) <= termindent) {
        line = $0; sub(/^ +/, "", line); termindent = indent($0)
        term_line(line, ""); next
    }
    /^ +[^ ]/ && item { line = $0; sub(/^ +/, "", line); print esc(line); next }
    { line = $0; sub(/^ +/, "", line); print esc(line); para = 0 }
    '
}

{
    echo "[COMMANDS]"
    if [ ! -s "$tmp/names" ]; then
        echo "No commands yet."
    fi
    while read -r name; do
        # The synopsis as the command list shows it: the text before the summary.
        synopsis=$(awk -v n="$name" '/^Commands:/ { on = 1; next }
            on && $1 == n { sub(/^  /, ""); sub(/  .*/, ""); print; exit }' "$tmp/help")
        if ! "$txctl" "$name" --help >"$tmp/cmd" 2>"$tmp/err" || [ ! -s "$tmp/cmd" ]; then
            echo "txctl-man.sh: \"txctl $name --help\" failed or printed nothing:" >&2
            cat "$tmp/err" >&2
            exit 1
        fi
        printf '.SS "%s"\n' "$(printf '%s' "$synopsis" | sed 's/\\/\\e/g; s/-/\\-/g; s/"/\\(dq/g')"
        to_roff "$name" <"$tmp/cmd"
    done <"$tmp/names"
    echo
    cat "$include"
} >"$tmp/txctl.h2m"

help2man --no-info --section=1 --include="$tmp/txctl.h2m" --output="$out" "$txctl"
