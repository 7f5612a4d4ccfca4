#!/usr/bin/env bash
# The wizard under wine on a virtual display, driven as a user would: the
# start window shows, "Load Sample/Example Database" and "Next >" lead to the
# table window, "Select All" and "Start Exporting" write a report of the
# sample database, and the settings land in the registry key
# HKCU\Software\Tarnvista\Orvalle. Needs: wine, xvfb, xdotool, imagemagick.
#   wizard_smoke.sh STAGE [PICTURE]   PICTURE: a screenshot of the start window
set -euo pipefail
stage=$1
picture=${2:-}
export WINEDEBUG=-all
export DISPLAY=:${ORVALLE_SMOKE_DISPLAY:-79}
work=$(mktemp -d)
Xvfb "$DISPLAY" -screen 0 1024x700x24 >/dev/null 2>&1 &
xvfb=$!
cleanup() { pkill -f 'Orvalle.exe' || true; kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
sleep 1
wine reg delete 'HKCU\Software\Tarnvista\Orvalle' /f >/dev/null 2>&1 || true

# A window named exactly `name`, waited for up to 60 s.
window() {
  local found=""
  for _ in $(seq 120); do
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1) && [ -n "$found" ] && break
    sleep 0.5
  done
  [ -n "$found" ] || { echo "no window named $1" >&2; exit 1; }
  echo "$found"
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 1; }

wine "$stage/Orvalle.exe" >/dev/null 2>&1 &
start=$(window Orvalle)
xdotool windowmove "$start" 0 0
sleep 2
if [ -n "$picture" ]; then
  eval "$(xdotool getwindowgeometry --shell "$start")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -define png:exclude-chunks=date,time "$picture"
fi
click "$start" 144 103 # Load Sample/Example Database
click "$start" 268 150 # Next >
sleep 2
tables=$(window Orvalle)
click "$tables" 144 173 # Select All
click "$tables" 268 218 # Start Exporting
sleep 2
report="Z:${work//\//\\}\\report.txt"
xdotool type --delay 20 "$report"
xdotool key Return
for _ in $(seq 60); do
  [ -s "$work/report.txt" ] && break
  sleep 0.5
done
grep -q "Table Name : products" "$work/report.txt" || { echo "no report of the samples was written" >&2; exit 1; }
settings=$(wine reg query 'HKCU\Software\Tarnvista\Orvalle' 2>/dev/null | tr -d '\r')
grep -q 'Samples' <<<"$settings" || { echo "the settings are not in the registry: $settings" >&2; exit 1; }
echo "The wizard wrote a report of the sample database; its settings are in HKCU\\Software\\Tarnvista\\Orvalle."
