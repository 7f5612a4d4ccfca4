#!/usr/bin/env bash
# Sources the bash completion of orvalle-report and checks what it offers for
# a few command lines, as bash would ask it: COMP_WORDS, COMP_CWORD, then the
# completion function.
# usage: completion_test.sh COMPLETION-FILE ORVALLE-REPORT SAMPLE-FOLDER
set -u
completion=$1
program=$2
samples=$3

# The table completion asks orvalle-report itself, found on PATH.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$program" "$work/bin/orvalle-report"
PATH=$work/bin:$PATH

# A folder to complete file names in, the current one.
mkdir "$work/files" "$work/files/reports" "$work/files/shop"
touch "$work/files/report.txt" "$work/files/shop.dbc" "$work/files/other.txt"
samples=$(cd "$samples" && pwd)
cd "$work/files"

# shellcheck source=/dev/null
source "$completion"

failures=0

# check WHAT EXPECTED WORD...: completes the last WORD of
# "orvalle-report WORD..." and compares the offers, sorted and one a line,
# with EXPECTED.
check() {
    local what=$1 expected=$2
    shift 2
    COMP_WORDS=(orvalle-report "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _orvalle_report 2>/dev/null
    local got=
    ((${#COMPREPLY[@]})) && got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)
    if [[ $got != "$expected" ]]; then
        printf 'FAIL: %s\n  line: orvalle-report %s\n  expected:\n%s\n  got:\n%s\n' \
            "$what" "$*" "$expected" "$got"
        failures=$((failures + 1))
    fi
}

registered=$(complete -p orvalle-report 2>&1)
if [[ $registered != "complete -F _orvalle_report orvalle-report" ]]; then
    printf 'FAIL: the completion is not registered for orvalle-report: %s\n' "$registered"
    failures=$((failures + 1))
fi

check "long options" $'--check\n--constraints\n--data\n--diff\n--format\n--help\n--ignore\n--list\n--migrate\n--output\n--replace\n--schema\n--section\n--strict\n--version' --
check "options after SOURCE" $'--check\n--constraints\n--data\n--diff\n--format\n--help\n--ignore\n--list\n--migrate\n--output\n--replace\n--schema\n--section\n--strict\n--version\n-f\n-h\n-o' "$samples" -
check "what --constraints takes" $'after\noff\nstrict' --constraints ""
check "what --section takes" $'post-data\npre-data' --section ""
check "what --ignore takes" $'name-collision\nno-key\nnullable-key' --ignore n
check "file names after --migrate" $'shop\nshop.dbc' --migrate sh
check "the value of --migrate is not SOURCE" $'customers' --migrate out.sqlite "$samples" cu
check "one option" "--output" --ou
check "every format" $'dot\nhtml\njson\nmarkdown\npostgres\nsqlite\nsvg\ntext' --format ""
check "a format" "markdown" --format m
check "a format after SOURCE" $'postgres' "$samples" --format p
check "file names for SOURCE" $'report.txt\nreports' rep
check "file names after -o" $'shop\nshop.dbc' -o sh
check "file names after --output" "other.txt" "$samples" --output o
check "the value of -o is not SOURCE" $'shop\nshop.dbc' -o report.txt sh
check "tables of SOURCE" $'orderlines\norders' "$samples" or
check "every table of SOURCE" $'categories\ncustomers\norderlines\norders\nproducts' "$samples" ""
check "tables not yet named" $'orderlines' "$samples" orders or
check "tables after -o FILE" $'customers' -o report.txt "$samples" cu
check "tables after --format FORMAT" $'customers' --format json "$samples" cu
check "tables after --" $'products' -- "$samples" p
check "SOURCE after --" "other.txt" -- o
check "no options after --" "" -- --
check "nothing after --list SOURCE" "" --list "$samples" ""
check "nothing after --help" "" --help ""
check "nothing after --version" "" --version ""
check "no tables of a missing SOURCE" "" missing ""
check "file names for OLD" $'report.txt\nreports' --diff rep
check "file names for NEW" $'shop\nshop.dbc' --diff "$samples" sh
check "tables of NEW" $'orderlines\norders' --diff shop.dbc "$samples" or
check "tables of NEW not yet named" $'orderlines' "$samples" --diff "$samples" orders or
check "the formats of a difference" $'html\njson\nmarkdown\ntext' --diff --format ""

if ((failures)); then
    printf '%d completion checks failed\n' "$failures"
    exit 1
fi
echo "every completion check passed"
