#!/usr/bin/env bash
# Every option orvalle-report --help names is in its manual page and is
# offered by its bash completion.
# usage: documented_options_test.sh ORVALLE-REPORT MANUAL-PAGE COMPLETION-FILE
set -u
program=$1
page=$2
completion=$3

help=$("$program" --help) || { echo "FAIL: orvalle-report --help did not exit 0"; exit 1; }
# An option is a dash or two and a lower-case word, after a space, a comma or
# the start of a line.
mapfile -t options < <(grep -oE '(^|[ ,])--?[a-z][a-z-]*' <<<"$help" | sed 's/^[ ,]//' | sort -u)
if ((${#options[@]} < 4)); then
    printf 'FAIL: too few options found in --help: %s\n' "${options[*]}"
    exit 1
fi

# shellcheck source=/dev/null
source "$completion"
offered() {
    COMP_WORDS=(orvalle-report "$1")
    COMP_CWORD=1
    COMPREPLY=()
    _orvalle_report 2>/dev/null
    local word
    for word in "${COMPREPLY[@]}"; do
        [[ $word == "$1" ]] && return 0
    done
    return 1
}

failures=0
for option in "${options[@]}"; do
    # The page writes each dash as \-; the option is a word of its own there.
    if ! grep -qE -- "(^|[ [(])${option//-/\\\\-}([^a-z\\]|\$)" "$page"; then
        printf 'FAIL: the manual page does not name %s\n' "$option"
        failures=$((failures + 1))
    fi
    if ! offered "$option"; then
        printf 'FAIL: the completion does not offer %s\n' "$option"
        failures=$((failures + 1))
    fi
done
if ((failures)); then
    exit 1
fi
printf 'documented and completed: %s\n' "${options[*]}"
