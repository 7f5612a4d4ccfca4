#!/usr/bin/env bash
# Writes the HTML data dictionary of a source with orvalle-report and takes
# the picture of its top, the diagram, with headless Chromium, at a fixed window size
# and with a fresh profile, so every run draws the same page.
# Needs: chromium (Debian package).
#   tools/diagram_screenshot.sh build/default/export/cli/orvalle-report \
#     ../shared/fixtures/VFPX__Samples/Northwind/northwind.dbc docs/dictionary-diagram.png
set -euo pipefail
report=$(realpath "$1")
source=$(realpath "$2")
out=$(realpath -m "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$(dirname "$source")"  # so the page names the source by its own name
"$report" --format html "$(basename "$source")" -o "$work/dictionary.html"
# The picture shows the page from its title to its diagram: the contents,
# long for a container with views, are hidden.
sed -i 's|</style>|nav { display: none; }</style>|' "$work/dictionary.html"
# Chromium's sandbox cannot run as root; the page has no script to contain.
sandbox=()
[ "$(id -u)" -eq 0 ] && sandbox=(--no-sandbox)
chromium --headless "${sandbox[@]}" --disable-gpu --hide-scrollbars --force-device-scale-factor=1 \
  --user-data-dir="$work/profile" --window-size=1100,1000 \
  --screenshot="$out" "file://$work/dictionary.html"
