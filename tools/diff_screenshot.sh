#!/usr/bin/env bash
# Writes the HTML structure difference between an older state of the bundled
# samples (their JSON dictionary, altered as a site's might have been half a
# year ago) and the samples as they are, and takes its picture with headless
# Chromium at a fixed window size and with a fresh profile.
# Needs: chromium and python3 (Debian packages).
#   tools/diff_screenshot.sh build/default/export/cli/orvalle-report docs/diff-html.png
set -euo pipefail
report=$(realpath "${1:-build/default/export/cli/orvalle-report}")
out=$(realpath -m "${2:-docs/diff-html.png}")
cd "$(dirname "$0")/.."   # so the page names the samples as assets/Samples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$report" --format json assets/Samples -o "$work/now.json"
# The older state: customers.company 30 wide and no email yet, orders'
# ship_via still called shipvia and freight a Numeric(10,2), no order lines.
python3 - "$work/now.json" "$work/shop-2026-06.json" <<'PY'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
tables = {t["name"]: t for t in d["tables"]}
customers = tables["customers"]
customers["fields"][1]["width"] = 30
del customers["fields"][3]
for position, field in enumerate(customers["fields"], 1):
    field["position"] = position
orders = tables["orders"]
orders["fields"][4]["name"] = "shipvia"
orders["fields"][5].update(type="N", typeName="Numeric", width=10, decimals=2)
d["tables"] = [t for t in d["tables"] if t["name"] != "orderlines"]
json.dump(d, open(sys.argv[2], "w", encoding="utf-8"), indent=4)
PY
# Both sides named as a user would type them, from one folder.
ln -s "$PWD/assets" "$work/assets"
cd "$work"
status=0
"$report" --diff --format html shop-2026-06.json assets/Samples -o diff.html || status=$?
[ "$status" -eq 1 ] || { echo "orvalle-report --diff ended with $status, not 1" >&2; exit 1; }
# Chromium's sandbox cannot run as root; the page has no script to contain.
sandbox=()
[ "$(id -u)" -eq 0 ] && sandbox=(--no-sandbox)
chromium --headless "${sandbox[@]}" --disable-gpu --hide-scrollbars --force-device-scale-factor=1 \
  --user-data-dir="$work/profile" --window-size=900,380 \
  --screenshot="$out" "file://$work/diff.html"
