#!/usr/bin/env bash
# The installer under wine: a silent install puts the programs in Program
# Files, Orvalle in the Start menu and in Windows' list of installed
# programs, and the installed orvalle-report.exe reports the samples; a
# silent uninstall takes exactly that away again, leaving a file the user
# added. Needs: wine, xvfb.
#   installer_smoke.sh SETUP.EXE
set -euo pipefail
setup=$1
export WINEDEBUG=-all
export DISPLAY=:${ORVALLE_SMOKE_DISPLAY:-79}
Xvfb "$DISPLAY" -screen 0 800x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
sleep 1
fail() { echo "installer: $1" >&2; exit 1; }
drive_c=${WINEPREFIX:-$HOME/.wine}/drive_c
folder="$drive_c/Program Files/Orvalle"
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvalle"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvalle'

wine "$setup" /S
[ -f "$folder/Orvalle.exe" ] && [ -f "$folder/orvalle-report.exe" ] || fail "the programs are not in Program Files"
[ -f "$menu/Orvalle.lnk" ] || fail "Orvalle is not in the Start menu"
wine reg query "$key" >/dev/null 2>&1 || fail "Orvalle is not in the list of installed programs"
wine 'C:\Program Files\Orvalle\orvalle-report.exe' 'C:\Program Files\Orvalle\Samples' | grep -q "Table Name : products" \
  || fail "the installed orvalle-report.exe does not report the samples"

echo "a report of my own" > "$folder/mine.txt"
wine "$folder/Uninstall.exe" /S
# The uninstaller runs from a copy of itself, after the call returns.
for _ in $(seq 60); do
  [ -f "$folder/Uninstall.exe" ] || break
  sleep 0.5
done
[ "$(ls -A "$folder")" = mine.txt ] || fail "the uninstaller left: $(ls -A "$folder" | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the Start menu entry is still there"
! wine reg query "$key" >/dev/null 2>&1 || fail "Orvalle is still in the list of installed programs"
rm -rf "$folder"
echo "The installer installs Orvalle and its uninstaller removes it again."
