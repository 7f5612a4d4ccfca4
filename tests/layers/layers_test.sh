#!/usr/bin/env bash
# The folders are the layers: each folder's includes and library links reach
# only the folders the README's layout list lets it use, and every folder
# that makes a library of the program is on that list.
# usage: layers_test.sh SOURCE-DIR
set -u
root=$1
failures=0
fail() { printf 'FAIL: %s\n' "$1"; failures=$((failures + 1)); }

declare -A allowed
mapfile -t rows < <(sed -n '/^<!-- layers -->$/,/^<!-- \/layers -->$/p' "$root/README.md" | grep -v '^<!--\|^```')
if ((${#rows[@]} < 5)); then
    fail "the README's layout list has ${#rows[@]} rows"
    exit 1
fi
for row in "${rows[@]}"; do
    read -r folder uses <<<"$row"
    allowed[$folder]=" $folder $uses "
done

# Every folder of the program that makes a library or a program is listed.
while IFS= read -r file; do
    folder=${file%/CMakeLists.txt}
    [[ -v allowed[$folder] ]] || fail "$folder makes a target but is not in the README's layout list"
done < <(cd "$root" && grep -lE '^add_(library|executable)\(' -r --include=CMakeLists.txt . \
             | sed 's#^\./##' | grep -vE '^(tests|bench|fuzz|packaging|build)/')

# Each library or program's folder, by its name.
declare -A home
for folder in "${!allowed[@]}"; do
    list="$root/$folder/CMakeLists.txt"
    [[ -f $list ]] || continue
    while IFS= read -r target; do
        home[$target]=$folder
    done < <(grep -oE '^add_(library|executable)\([A-Za-z0-9_-]+' "$list" | sed 's/.*(//')
done

for folder in "${!allowed[@]}"; do
    # Includes of the project's own headers.
    while IFS=: read -r file header; do
        used=${header%/*}
        [[ ${allowed[$folder]} == *" $used "* ]] \
            || fail "${file#"$root"/} includes $header, which $folder may not use"
    done < <(find "$root/$folder" -maxdepth 1 \( -name '*.cpp' -o -name '*.h' \) \
                 -exec grep -oHE '^#include "[a-z/]+/[a-z_]+\.h"' {} + | sed 's/#include "//; s/"$//')
    # Links to the project's own libraries.
    list="$root/$folder/CMakeLists.txt"
    [[ -f $list ]] || continue
    while IFS= read -r call; do
        for word in $call; do
            [[ -v home[$word] ]] || continue
            [[ ${allowed[$folder]} == *" ${home[$word]} "* ]] \
                || fail "$folder links $word of ${home[$word]}, which it may not use"
        done
    done < <(tr '\n' ' ' <"$list" | grep -oE 'target_link_libraries\([^)]*\)' | sed 's/[()]/ /g')
done

if ((failures > 0)); then
    exit 1
fi
echo "layers: ${#allowed[@]} folders, every include and link within its layer"
