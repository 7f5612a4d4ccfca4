#!/usr/bin/env bash
# orvalle --version prints "orvalle VERSION" and a newline, exits 0 and
# opens no window: it must work where there is no display at all.
# usage: version_test.sh ORVALLE VERSION
set -u
program=$1
version=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'orvalle %s\n' "$version" > "$work/expected"

status=0
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=no-such-platform \
    XDG_CONFIG_HOME="$work/config" \
    timeout 20 "$program" --version > "$work/out" 2> "$work/err" || status=$?

failures=0
if ((status != 0)); then
    printf 'FAIL: orvalle --version exited %d\n' "$status"
    failures=$((failures + 1))
fi
if ! cmp -s "$work/expected" "$work/out"; then
    printf 'FAIL: orvalle --version printed:\n'
    od -c "$work/out" | head -n 5
    failures=$((failures + 1))
fi
if [[ -s $work/err ]]; then
    printf 'FAIL: orvalle --version wrote to standard error:\n'
    head -n 5 "$work/err"
    failures=$((failures + 1))
fi
if [[ -e $work/config ]]; then
    printf 'FAIL: orvalle --version wrote settings\n'
    failures=$((failures + 1))
fi
((failures == 0)) || exit 1
echo "orvalle --version: $(cat "$work/out")"
