#!/usr/bin/env bash
# Writes the HTML data dictionary of the bundled samples with orvalle-report
# and takes its picture with headless Chromium, at a fixed window size and
# with a fresh profile, so every run draws the same page.
# Needs: chromium (Debian package).
#   tools/dictionary_screenshot.sh build/default/export/cli/orvalle-report docs/dictionary-html.png
set -euo pipefail
report=$(realpath "${1:-build/default/export/cli/orvalle-report}")
out=$(realpath -m "${2:-docs/dictionary-html.png}")
cd "$(dirname "$0")/.."   # so the page names the samples as assets/Samples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$report" --format html assets/Samples -o "$work/dictionary.html"
# Chromium's sandbox cannot run as root; the page has no script to contain.
sandbox=()
[ "$(id -u)" -eq 0 ] && sandbox=(--no-sandbox)
chromium --headless "${sandbox[@]}" --disable-gpu --hide-scrollbars --force-device-scale-factor=1 \
  --user-data-dir="$work/profile" --window-size=1100,1400 \
  --screenshot="$out" "file://$work/dictionary.html"
